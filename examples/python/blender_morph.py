"""Morphs two surfaces into a Blender scene: one mesh object per frame in a
collection, each visible on its own timeline frame only.

    blender -b --python examples/python/blender_morph.py -- a.stl b.obj \\
        [--frames N] [--points P] [--out morph.blend] [--module-dir build/release/python]

Blender runs its Python without the environment's PYTHONPATH, so the
module is looked for in --module-dir, then in the folders PYTHONPATH names.
Without -b the objects appear in the open scene.
"""
import argparse
import os
import sys
import time

import bpy


def parse_args():
    argv = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
    p = argparse.ArgumentParser(prog="blender -b --python blender_morph.py --")
    p.add_argument("source")
    p.add_argument("target")
    p.add_argument("--frames", type=int, default=20, help="frames of the morph (default 20)")
    p.add_argument("--points", type=int, default=20, help="sample points along the shortest side (default 20)")
    p.add_argument("--out", help="save the scene as this .blend file")
    p.add_argument("--module-dir", help="the folder holding the kestrane module")
    p.add_argument("--collection", default="Kestrane morph", help="name of the collection the frames go into")
    return p.parse_args(argv)


def import_kestrane(module_dir):
    folders = [module_dir] if module_dir else []
    folders += [d for d in os.environ.get("PYTHONPATH", "").split(os.pathsep) if d]
    for d in reversed(folders):
        sys.path.insert(0, os.path.abspath(d))
    try:
        import kestrane
    except ImportError as e:
        raise SystemExit("cannot import kestrane (%s): pass --module-dir build/release/python" % e)
    return kestrane


def vertex_colour_material():
    """One material for every frame: the base colour is the frame's vertex colours."""
    material = bpy.data.materials.new("Kestrane vertex colours")
    material.use_nodes = True
    nodes = material.node_tree.nodes
    shader = nodes.get("Principled BSDF")
    colours = nodes.new("ShaderNodeVertexColor")
    colours.layer_name = "Col"
    material.node_tree.links.new(colours.outputs["Color"], shader.inputs["Base Color"])
    return material


def frame_object(name, frame, material, collection):
    mesh = bpy.data.meshes.new(name)
    mesh.from_pydata(frame.vertices.tolist(), [], frame.faces.tolist())
    # The morph's own normals, smooth shaded.
    mesh.polygons.foreach_set("use_smooth", [True] * len(mesh.polygons))
    mesh.use_auto_smooth = True
    mesh.normals_split_custom_set_from_vertices(frame.normals.tolist())
    colours = mesh.color_attributes.new(name="Col", type="BYTE_COLOR", domain="POINT")
    rgba = [0.0] * (4 * len(frame.colours))
    rgb = (frame.colours / 255.0).ravel().tolist()
    for k in range(3):
        rgba[k::4] = rgb[k::3]
    rgba[3::4] = [1.0] * len(frame.colours)
    colours.data.foreach_set("color_srgb", rgba)
    mesh.color_attributes.active_color = colours
    mesh.materials.append(material)
    obj = bpy.data.objects.new(name, mesh)
    collection.objects.link(obj)
    return obj


def key_visibility(obj, timeline_frame, visible):
    obj.hide_viewport = not visible
    obj.hide_render = not visible
    obj.keyframe_insert("hide_viewport", frame=timeline_frame)
    obj.keyframe_insert("hide_render", frame=timeline_frame)


def main():
    a = parse_args()
    kestrane = import_kestrane(a.module_dir)
    started = time.monotonic()

    def progress(event):
        if event.stage == "frame" and event.finished:
            print("kestrane: frame %d of %d, %d triangles" % (event.frame + 1, event.frame_count, event.triangles),
                  flush=True)
    try:
        frames = kestrane.morph(a.source, a.target, frames=a.frames, points=a.points, progress=progress)
    except (OSError, ValueError) as e:
        # Blender ends with this status, where a traceback would leave 0.
        raise SystemExit("kestrane: %s" % e)
    print("kestrane: %d frames in %.1f s" % (len(frames), time.monotonic() - started), flush=True)

    scene = bpy.context.scene
    if not bpy.data.filepath and "Cube" in bpy.data.objects:
        # A new file's default cube would stand in the morph.
        bpy.data.objects.remove(bpy.data.objects["Cube"], do_unlink=True)
    collection = bpy.data.collections.new(a.collection)
    scene.collection.children.link(collection)
    material = vertex_colour_material()
    first = 1
    last = first + len(frames) - 1
    for i, frame in enumerate(frames):
        obj = frame_object("%s %03d" % (a.collection, i + 1), frame, material, collection)
        # Visible on its own timeline frame only: keys where that changes.
        shown = first + i
        if shown > first:
            key_visibility(obj, first, False)
        key_visibility(obj, shown, True)
        if shown < last:
            key_visibility(obj, shown + 1, False)
    scene.frame_start = first
    scene.frame_end = last
    scene.frame_set(first)
    if a.out:
        bpy.ops.wm.save_as_mainfile(filepath=os.path.abspath(a.out))
        print("kestrane: saved " + os.path.abspath(a.out), flush=True)


main()
