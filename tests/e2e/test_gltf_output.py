"""The batch tool's GLB (-g): the morph as one animated binary glTF file.
Read back here against the PLY frames of the same morph, checked by the
Khronos glTF validator (npm package gltf-validator, through
gltf_validate.js) and imported by Debian's Blender headless: one object
per frame with the frame's vertices, each shown alone on its own frame of
the timeline."""
import json
import os
import shutil
import struct
import subprocess
import tempfile

from batch_support import Checks, parse_args, temporaries

FRAMES = 5
POINTS = 20
# Where scripts/install-deps puts the validator; GLTF_VALIDATOR_MODULES overrides it.
VALIDATOR_MODULES = os.environ.get("GLTF_VALIDATOR_MODULES", "/opt/kestrane-node/node_modules")

# Run inside Blender: import the GLB into an empty scene, print what it holds as JSON.
BLENDER_IMPORT = r"""
import json, sys
import numpy
numpy.bool = bool  # Blender 3.4's importer still uses the alias numpy 1.24 removed
import bpy
path, out = sys.argv[sys.argv.index("--") + 1:]
bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.import_scene.gltf(filepath=path)
scene = bpy.context.scene
objects = sorted(scene.objects, key=lambda o: o.name)
result = {"objects": [], "shown": {}}
for o in objects:
    action = o.animation_data.action if o.animation_data else None
    result["objects"].append({
        "name": o.name, "type": o.type,
        "vertices": len(o.data.vertices) if o.type == "MESH" else None,
        "polygons": len(o.data.polygons) if o.type == "MESH" else None,
        "range": list(action.frame_range) if action else None,
        "interpolation": sorted({k.interpolation for c in action.fcurves for k in c.keyframe_points})
                         if action else []})
for f in range(-1, len(objects) + 1):
    scene.frame_set(f)
    result["shown"][str(f)] = [o.name for o in objects if min(o.scale) > 0]
with open(out, "w") as f:
    json.dump(result, f)
"""


def read_glb(path):
    """(json, bin) of a GLB, or raises ValueError naming what is wrong."""
    with open(path, "rb") as f:
        data = f.read()
    magic, version, length = struct.unpack_from("<4sII", data, 0)
    if magic != b"glTF" or version != 2 or length != len(data):
        raise ValueError("header %r %d %d of %d bytes" % (magic, version, length, len(data)))
    json_length, json_type = struct.unpack_from("<II", data, 12)
    if json_type != 0x4E4F534A or json_length % 4:
        raise ValueError("JSON chunk %x of %d bytes" % (json_type, json_length))
    document = json.loads(data[20:20 + json_length].decode("utf-8"))
    bin_length, bin_type = struct.unpack_from("<II", data, 20 + json_length)
    if bin_type != 0x004E4942 or bin_length % 4 or 28 + json_length + bin_length != len(data):
        raise ValueError("BIN chunk %x of %d bytes" % (bin_type, bin_length))
    return document, data[28 + json_length:]


def accessor_floats(document, binary, index):
    a = document["accessors"][index]
    view = document["bufferViews"][a["bufferView"]]
    start = view.get("byteOffset", 0) + a.get("byteOffset", 0)
    width = {"SCALAR": 1, "VEC3": 3, "VEC4": 4}[a["type"]]
    return list(struct.unpack_from("<%df" % (a["count"] * width), binary, start))


def frame_meshes(document):
    """Per node: (name, POSITION accessor index or None, index count)."""
    out = []
    for node in document["nodes"]:
        if "mesh" not in node:
            out.append((node["name"], None, 0))
            continue
        primitive = document["meshes"][node["mesh"]]["primitives"][0]
        out.append((node["name"], primitive["attributes"]["POSITION"],
                    document["accessors"][primitive["indices"]]["count"]))
    return out


def read_ply(path):
    """(positions as floats, triangle count) of one of our binary PLY frames."""
    with open(path, "rb") as f:
        data = f.read()
    end = data.index(b"end_header\n") + len(b"end_header\n")
    header = data[:end].decode("ascii").split("\n")
    vertices = int(next(l for l in header if l.startswith("element vertex")).split()[2])
    faces = int(next(l for l in header if l.startswith("element face")).split()[2])
    positions = []
    for v in range(vertices):
        positions.extend(struct.unpack_from("<3f", data, end + 27 * v))
    return positions, faces


def run(batch, args, cwd):
    p = subprocess.run([batch] + args, cwd=cwd, capture_output=True, text=True, timeout=600)
    return p.returncode, p.stdout.split(), p.stderr


def validate(path):
    """The validator's report, or None (and why) when node or the package is missing."""
    if shutil.which("node") is None:
        return None, "node is not installed"
    if not os.path.isfile(os.path.join(VALIDATOR_MODULES, "gltf-validator", "package.json")):
        return None, "gltf-validator is not installed in %s (scripts/install-deps)" % VALIDATOR_MODULES
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "gltf_validate.js")
    p = subprocess.run(["node", script, path], env=dict(os.environ, NODE_PATH=VALIDATOR_MODULES),
                       capture_output=True, text=True, timeout=300)
    if p.returncode != 0:
        counts = {"numErrors": 1, "numWarnings": 0, "numInfos": 0, "numHints": 0}
        return {"issues": dict(counts, messages=[p.stderr])}, ""
    return json.loads(p.stdout), ""


def main():
    a = parse_args()
    check = Checks()
    source = os.path.join(a.examples, "icosphere.off")
    target = os.path.join(a.examples, "torus.off")
    morph = ["-f", str(FRAMES), "-p", str(POINTS)]
    with tempfile.TemporaryDirectory() as work:
        # -g alone: the GLB, and no frame or sphere files.
        code, names, err = run(a.batch, morph + ["-g", "out.glb", source, target], work)
        check("-g alone writes the GLB and names it", code == 0 and names == ["out.glb"], err + " ".join(names))
        check("-g alone writes nothing else, no temporary left", os.listdir(work) == ["out.glb"], os.listdir(work))
        if check.failures:
            check.finish()
        try:
            document, binary = read_glb(os.path.join(work, "out.glb"))
        except (ValueError, struct.error, json.JSONDecodeError) as e:
            check("the GLB's container reads back", False, str(e))
            check.finish()
        check("the GLB's container reads back", True)
        meshes = frame_meshes(document)
        check("one node with a mesh per frame, named by frame",
              [m[0] for m in meshes] == ["frame%03d" % (i + 1) for i in range(FRAMES)] and
              all(m[1] is not None for m in meshes), meshes)
        check("the buffer is the BIN chunk", document["buffers"][0]["byteLength"] == len(binary))

        # The PLY frames of the same morph, and the GLB written beside them.
        os.mkdir(os.path.join(work, "ply"))
        code, names, err = run(a.batch, morph + ["-o", "ply/m", "-u", "-g", "ply/both.glb", source, target], work)
        plys = ["ply/m%03d.ply" % (i + 1) for i in range(FRAMES)]
        check("-g with -o -u writes both, each file named",
              code == 0 and names[:FRAMES + 1] == plys + ["ply/both.glb"] and
              sorted(names[FRAMES + 1:]) == ["ply/sphere001.sph", "ply/sphere%03d.sph" % FRAMES], err + " ".join(names))
        with open(os.path.join(work, "out.glb"), "rb") as f, open(os.path.join(work, "ply", "both.glb"), "rb") as g:
            check("the GLB is the same with frame files or without", f.read() == g.read())
        frames = [read_ply(os.path.join(work, p)) for p in plys]
        positions = [accessor_floats(document, binary, m[1]) for m in meshes]
        check("vertex and triangle counts are the PLY frames'",
              [len(p) // 3 for p in positions] == [len(f[0]) // 3 for f in frames] and
              [m[2] for m in meshes] == [3 * f[1] for f in frames],
              "%s\n%s" % ([len(p) // 3 for p in positions], [len(f[0]) // 3 for f in frames]))
        check("positions are the PLY frames', in the source's units", positions == [f[0] for f in frames])
        bounds_ok = True
        for m, p in zip(meshes, positions):
            a_pos = document["accessors"][m[1]]
            bounds_ok &= a_pos["min"] == [min(p[k::3]) for k in range(3)]
            bounds_ok &= a_pos["max"] == [max(p[k::3]) for k in range(3)]
        check("POSITION min and max are the data's", bounds_ok)

        # A frame range, at another rate.
        code, names, err = run(a.batch, morph + ["-s", "2-4", "--fps", "30", "-g", "range.glb", source, target], work)
        check("-s 2-4 --fps 30 writes the GLB alone", code == 0 and names == ["range.glb"], err)
        range_document, range_binary = read_glb(os.path.join(work, "range.glb"))
        range_meshes = frame_meshes(range_document)
        check("the GLB holds frames 2 to 4 of the morph",
              [m[0] for m in range_meshes] == ["frame002", "frame003", "frame004"] and
              [len(accessor_floats(range_document, range_binary, m[1])) for m in range_meshes] ==
              [len(f[0]) for f in frames[1:4]], range_meshes)
        times = set()
        for sampler in range_document["animations"][0]["samplers"]:
            times.update(accessor_floats(range_document, range_binary, sampler["input"]))
        check("its keys are 1/30 s apart from 0",
              sorted(times) == [struct.unpack("<f", struct.pack("<f", k / 30))[0] for k in range(3)], sorted(times))

        # Rejected options and failed writes.
        for bad in (["--fps", "0", "-g", "bad.glb"], ["--fps", "1001", "-g", "bad.glb"],
                    ["--fps", "24x", "-g", "bad.glb"], ["-g", ""], ["-g", "bad.glb", "--fps"]):
            code, names, err = run(a.batch, morph + [source, target] + bad, work)
            check("%r is a rejected command line" % " ".join(bad), code == 1 and not names and
                  "Illegal argument" in err, err)
        os.mkdir(os.path.join(work, "dir.glb"))
        code, names, err = run(a.batch, morph + ["-g", "dir.glb", source, target], work)
        check("a GLB that cannot be written is refused before any work with status 4 and the reason",
              code == 4 and "`dir.glb' is a directory" in err and "Calculating" not in err and names == [], err)
        code, names, err = run(a.batch, morph + ["-g", "missing/m.glb", source, target], work)
        check("the GLB's directory is checked before any work",
              code == 4 and "output directory `missing'" in err and "Sampling" not in err, err)
        leftovers = temporaries(work) + temporaries(os.path.join(work, "ply"))
        leftovers += [n for n in os.listdir(work) if ".frames-" in n]
        check("no temporary left by any run", leftovers == [], leftovers)

        # -g without a name, before -o, at the default frames: the GLB is
        # named after the base, beside the frames.
        os.mkdir(os.path.join(work, "out"))
        code, names, err = run(a.batch, ["-g", "-o", "out/morph", source, target], work)
        document, _ = read_glb(os.path.join(work, "out", "morph.glb")) if code == 0 else ({}, b"")
        check("-g -o out/morph writes out/morph.glb of 20 frames beside the frames",
              code == 0 and "out/morph.glb" in names and "out/morph020.off" in names and
              len(frame_meshes(document)) == 20 and len(document["animations"][0]["channels"]) == 20,
              err + " ".join(names))

        # The Khronos validator.
        for name in ("out.glb", "range.glb", "out/morph.glb"):
            report, why = validate(os.path.join(work, name))
            if report is None:
                print("skipped: the Khronos validator: " + why)
                break
            issues = report["issues"]
            print("validator on %s: %d errors, %d warnings, %d infos, %d hints" % (
                name, issues["numErrors"], issues["numWarnings"], issues["numInfos"], issues["numHints"]))
            check("the Khronos validator finds no error in %s" % name, issues["numErrors"] == 0,
                  json.dumps(issues["messages"][:20], indent=1))

        # Blender's importer.
        if shutil.which("blender") is None:
            print("skipped: the Blender import: blender is not installed")
            check.finish()
        script = os.path.join(work, "import_glb.py")
        with open(script, "w") as f:
            f.write(BLENDER_IMPORT)
        result_file = os.path.join(work, "scene.json")
        # Debian's Blender runs on the system Python, and takes its library
        # from the first python3 on PATH: Debian's, which has numpy.
        env = dict(os.environ, PATH="/usr/bin" + os.pathsep + os.environ.get("PATH", ""))
        p = subprocess.run(["blender", "-b", "--python", script, "--", os.path.join(work, "out.glb"), result_file],
                           cwd=work, env=env, capture_output=True, text=True, timeout=600)
        check("Blender imports the GLB", p.returncode == 0 and os.path.isfile(result_file),
              (p.stdout + p.stderr)[-3000:])
        if check.failures:
            check.finish()
        with open(result_file) as f:
            scene = json.load(f)
    objects = scene["objects"]
    names = ["frame%03d" % (i + 1) for i in range(FRAMES)]
    check("Blender: one mesh object per frame", [o["name"] for o in objects] == names and
          all(o["type"] == "MESH" for o in objects), [o["name"] for o in objects])
    check("Blender: vertex and face counts are the frames'",
          [o["vertices"] for o in objects] == [len(f[0]) // 3 for f in frames] and
          [o["polygons"] for o in objects] == [f[1] for f in frames],
          "%s\n%s" % ([(o["vertices"], o["polygons"]) for o in objects], [(len(f[0]) // 3, f[1]) for f in frames]))
    ranges = [o["range"] for o in objects]
    check("Blender: the animation runs over %d frames, 0 to %d" % (FRAMES, FRAMES - 1),
          min(r[0] for r in ranges) == 0 and max(r[1] for r in ranges) == FRAMES - 1, ranges)
    check("Blender: the keys hold (constant interpolation)",
          all(o["interpolation"] == ["CONSTANT"] for o in objects), [o["interpolation"] for o in objects])
    shown = scene["shown"]
    check("Blender: each frame of the timeline shows its object alone",
          all(shown[str(f)] == [names[f]] for f in range(FRAMES)) and shown["-1"] == [names[0]] and
          shown[str(FRAMES)] == [names[-1]], shown)
    check.finish()


if __name__ == "__main__":
    main()
