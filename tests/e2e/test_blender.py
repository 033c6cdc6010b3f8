"""Blender as a client of the Python module: examples/python/blender_morph.py
run by Debian's Blender in the background saves a scene, which a second
Blender run reads back. The scene must hold one object per frame with the
module's own vertices, triangles and colours, each visible (in the viewport
and in renders) on its own timeline frame only."""
import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile

from batch_support import Checks, parse_args

FRAMES = 6
POINTS = 24
COLLECTION = "Kestrane morph"

# Run inside Blender on the saved file: what the scene holds, as JSON.
READ_SCENE = r"""
import json, sys, bpy
out = sys.argv[sys.argv.index("--") + 1]
scene = bpy.context.scene
objects = sorted(bpy.data.collections[%r].objects, key=lambda o: o.name)
result = {"frame_start": scene.frame_start, "frame_end": scene.frame_end, "objects": [], "visible": {}}
for i, o in enumerate(objects):
    me = o.data
    entry = {"name": o.name, "vertices": len(me.vertices), "triangles": sum(len(p.vertices) == 3 for p in me.polygons),
             "polygons": len(me.polygons), "keys": {}}
    colours = me.color_attributes.get("Col")
    entry["colour_domain"] = colours.domain if colours else None
    if i in (0, len(objects) - 1):
        co = [0.0] * (3 * len(me.vertices))
        me.vertices.foreach_get("co", co)
        entry["co"] = co
        if colours:
            rgba = [0.0] * (4 * len(colours.data))
            colours.data.foreach_get("color_srgb", rgba)
            entry["rgb"] = [round(v * 255) for k, v in enumerate(rgba) if k %% 4 != 3]
    action = o.animation_data.action if o.animation_data else None
    for curve in (action.fcurves if action else []):
        entry["keys"][curve.data_path] = [[k.co[0], k.co[1]] for k in curve.keyframe_points]
    result["objects"].append(entry)
for f in range(scene.frame_start - 1, scene.frame_end + 2):
    scene.frame_set(f)
    result["visible"][str(f)] = [[o.name for o in objects if not o.hide_viewport],
                                 [o.name for o in objects if not o.hide_render]]
with open(out, "w") as f:
    json.dump(result, f)
""" % COLLECTION

# Run with the module's interpreter: the same morph's frames, straight from the module.
MODULE_FRAMES = r"""
import json, sys
import numpy as np
import kestrane
frames = kestrane.morph(sys.argv[1], sys.argv[2], frames=int(sys.argv[3]), points=int(sys.argv[4]))
print(json.dumps({"vertices": [len(f.vertices) for f in frames], "triangles": [len(f.faces) for f in frames],
                  "co_first": frames[0].vertices.astype(np.float32).ravel().tolist(),
                  "co_last": frames[-1].vertices.astype(np.float32).ravel().tolist(),
                  "rgb_first": frames[0].colours.ravel().tolist()}))
"""


def module_python(build):
    """The interpreter the module was built for, from the build's cache."""
    try:
        with open(os.path.join(build, "CMakeCache.txt")) as f:
            for line in f:
                if line.startswith("Python3_EXECUTABLE:"):
                    return line.split("=", 1)[1].strip()
    except OSError:
        pass
    return sys.executable


def blender(argv, env, work):
    p = subprocess.run(["blender", "-b"] + argv, cwd=work, env=env, capture_output=True, text=True, timeout=600)
    return p.returncode, p.stdout + p.stderr


def main():
    a = parse_args()
    if shutil.which("blender") is None:
        print("blender not installed: skipped")
        return 0
    module_dir = os.path.abspath(os.path.join(a.bin, "python"))
    if not glob.glob(os.path.join(module_dir, "kestrane*.so")):
        print("the python module was not built (%s): skipped" % module_dir)
        return 0
    check = Checks()
    source = os.path.join(a.examples, "cube.stl")
    target = os.path.join(a.examples, "icosphere.obj")
    script = os.path.join(os.path.abspath(a.src), "examples", "python", "blender_morph.py")
    # The module comes from PYTHONPATH, which Blender itself ignores.
    # Blender's Python takes its library from the first python3 on PATH: a
    # pyenv one before it would leave numpy out.
    python = module_python(a.bin)
    env = dict(os.environ, PYTHONPATH=module_dir,
               PATH=os.path.dirname(python) + os.pathsep + os.environ.get("PATH", ""))
    with tempfile.TemporaryDirectory() as work:
        blend = os.path.join(work, "morph.blend")
        code, log = blender(["--python", script, "--", source, target, "--frames", str(FRAMES),
                             "--points", str(POINTS), "--out", blend], env, work)
        check("blender_morph.py exits 0 and saves the scene", code == 0 and os.path.isfile(blend), log[-3000:])
        if check.failures:
            check.finish()
        reader = os.path.join(work, "read_scene.py")
        with open(reader, "w") as f:
            f.write(READ_SCENE)
        result_file = os.path.join(work, "scene.json")
        code, log = blender([blend, "--python", reader, "--", result_file], env, work)
        check("the saved scene reads back", code == 0 and os.path.isfile(result_file), log[-3000:])
        if check.failures:
            check.finish()
        with open(result_file) as f:
            scene = json.load(f)
        p = subprocess.run([python, "-c", MODULE_FRAMES, source, target, str(FRAMES), str(POINTS)],
                           env=env, capture_output=True, text=True, timeout=600)
        check("the module morphs the same surfaces", p.returncode == 0, p.stderr)
        if check.failures:
            check.finish()
        module = json.loads(p.stdout)

    objects = scene["objects"]
    check("one object per frame", len(objects) == FRAMES, [o["name"] for o in objects])
    check("vertex counts are the frames'", [o["vertices"] for o in objects] == module["vertices"],
          "%s\n%s" % ([o["vertices"] for o in objects], module["vertices"]))
    check("every face a triangle, as many as the frames'",
          [o["triangles"] for o in objects] == module["triangles"] == [o["polygons"] for o in objects])
    check("first and last objects lie where the frames do",
          objects[0].get("co") == module["co_first"] and objects[-1].get("co") == module["co_last"])
    check("vertex colours are the frames'", all(o["colour_domain"] == "POINT" for o in objects) and
          objects[0].get("rgb") == module["rgb_first"])
    check("the timeline runs over the frames", (scene["frame_start"], scene["frame_end"]) == (1, FRAMES),
          (scene["frame_start"], scene["frame_end"]))
    names = [o["name"] for o in objects]
    wrong = []
    for f in range(1, FRAMES + 1):
        expected = [names[f - 1]]
        if scene["visible"][str(f)] != [expected, expected]:
            wrong.append((f, scene["visible"][str(f)]))
    check("exactly one object visible on each timeline frame, the frame's own", not wrong, wrong)
    # Before and after the range the ends hold: the first object, the last.
    check("the ends hold outside the range", scene["visible"]["0"] == [[names[0]], [names[0]]] and
          scene["visible"][str(FRAMES + 1)] == [[names[-1]], [names[-1]]], scene["visible"])
    keyed = all(set(o["keys"]) == {"hide_viewport", "hide_render"} for o in objects)
    check("visibility is keyed in the viewport and for renders", keyed, [o["keys"] for o in objects])
    check.finish()


if __name__ == "__main__":
    sys.exit(main())
