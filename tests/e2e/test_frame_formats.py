"""OBJ and STL frame sequences and several formats from one run
(--format), read back here and by meshio (Debian's python3-meshio), with
Blender importing one OBJ and one STL frame when it is installed; the
sphere files beside the frames when -o names a folder; and the outputs
checked against the inputs in every format."""
import filecmp
import json
import os
import shutil
import struct
import subprocess
import tempfile

from batch_support import Checks, parse_args

DEBIAN_PYTHON = "/usr/bin/python3"
FRAMES = 12  # two-digit OBJ and STL numbers


def run(a, argv, cwd):
    p = subprocess.run([a.batch, "-w"] + argv, cwd=cwd, capture_output=True, text=True, timeout=600)
    return p.returncode, p.stdout.split(), p.stderr


def read_obj(path):
    v, vn, faces = [], [], []
    with open(path) as f:
        for line in f:
            kind, *rest = line.split()
            if kind == "v":
                v.append([float(x) for x in rest])
            elif kind == "vn":
                vn.append([float(x) for x in rest])
            elif kind == "f":
                corners = [c.split("//") for c in rest]
                assert all(len(c) == 2 and c[0] == c[1] for c in corners), line
                faces.append(tuple(int(c[0]) - 1 for c in corners))
            else:
                assert kind == "#", line
    return v, vn, faces


def read_stl(path):
    with open(path, "rb") as f:
        data = f.read()
    (count,) = struct.unpack_from("<I", data, 80)
    facets = [struct.unpack_from("<12f", data, 84 + 50 * i) for i in range(count)]
    return data[:80], count, len(data), facets


def read_ply_positions(path):
    with open(path, "rb") as f:
        data = f.read()
    header, body = data.split(b"end_header\n", 1)
    (nv,) = [int(l.split()[2]) for l in header.decode().splitlines() if l.startswith("element vertex")]
    return [struct.unpack_from("<3f", body, 27 * i) for i in range(nv)]


def sub(p, q):
    return [p[i] - q[i] for i in range(3)]


def cross(u, w):
    return [u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]]


def dot(u, w):
    return sum(u[i] * w[i] for i in range(3))


def closed_and_oriented(faces):
    edges = {}
    for a, b, c in faces:
        for e in ((a, b), (b, c), (c, a)):
            edges[e] = edges.get(e, 0) + 1
    return all(k == 1 and edges.get((b, a)) == 1 for (a, b), k in edges.items())


def signed_volume(points, faces):
    return sum(dot(points[a], cross(points[b], points[c])) for a, b, c in faces) / 6.0


def meshio_counts(paths):
    script = ("import json, sys, meshio\n"
              "for p in sys.argv[1:]:\n"
              "    m = meshio.read(p)\n"
              "    print(json.dumps([p, len(m.points), {c.type: len(c.data) for c in m.cells}]))\n")
    p = subprocess.run([DEBIAN_PYTHON, "-c", script] + paths, capture_output=True, text=True, timeout=300)
    if p.returncode != 0:
        return None, p.stderr
    return {os.path.basename(r[0]): (r[1], r[2]) for r in map(json.loads, p.stdout.splitlines())}, ""


BLENDER_IMPORT = r"""
import json, sys, bpy
obj, stl, out = sys.argv[sys.argv.index("--") + 1:]
bpy.ops.wm.read_factory_settings(use_empty=True)
if hasattr(bpy.ops.wm, "obj_import"):
    bpy.ops.wm.obj_import(filepath=obj)
else:
    bpy.ops.import_scene.obj(filepath=obj)
bpy.ops.import_mesh.stl(filepath=stl)
result = {}
for o in bpy.context.scene.objects:
    me = o.data
    result[o.name] = {"vertices": len(me.vertices), "polygons": len(me.polygons),
                      "triangles": sum(len(p.vertices) == 3 for p in me.polygons),
                      "colours": [a.name for a in me.color_attributes]}
with open(out, "w") as f:
    json.dump(result, f)
"""


def blender_imports(check, work, obj, stl, obj_counts, stl_counts):
    if shutil.which("blender") is None:
        print("blender not installed: its import skipped")
        return
    script, out = os.path.join(work, "import.py"), os.path.join(work, "import.json")
    with open(script, "w") as f:
        f.write(BLENDER_IMPORT)
    p = subprocess.run(["blender", "-b", "--factory-startup", "--python", script, "--", obj, stl, out], cwd=work,
                       capture_output=True, text=True, timeout=600)
    ok = p.returncode == 0 and os.path.exists(out)
    check("Blender imports an OBJ and an STL frame", ok, (p.stdout + p.stderr)[-3000:])
    if not ok:
        return
    with open(out) as f:
        objects = json.load(f)
    names = {os.path.splitext(os.path.basename(n))[0]: n for n in (obj, stl)}
    by_file = {}
    for name, counts in objects.items():
        for stem in names:
            if name.startswith(stem):
                by_file.setdefault(stem, []).append(counts)
    obj_stem, stl_stem = (os.path.splitext(os.path.basename(n))[0] for n in (obj, stl))
    got_obj, got_stl = by_file.get(obj_stem, []), by_file.get(stl_stem, [])
    check("Blender's OBJ object has the frame's vertices, triangles and vertex colours",
          len(got_obj) == 1 and (got_obj[0]["vertices"], got_obj[0]["triangles"]) == obj_counts
          and got_obj[0]["colours"] != [], objects)
    check("Blender's STL object has the frame's triangles and distinct corners",
          len(got_stl) == 1 and (got_stl[0]["vertices"], got_stl[0]["triangles"]) == stl_counts, objects)


def main():
    a = parse_args()
    check = Checks()
    cube, sphere = os.path.join(a.examples, "cube.stl"), os.path.join(a.examples, "icosphere.obj")
    torus = os.path.join(a.examples, "torus.off")
    top = tempfile.mkdtemp(prefix="kestrane-formats-")
    try:
        # PLY, OBJ and STL frames of one run, and the sphere files in its folder.
        work = os.path.join(top, "three")
        os.makedirs(os.path.join(work, "out"))
        code, names, err = run(a, ["--format", "ply,obj,stl", "-f", str(FRAMES), "-p", "16", "-z", "-o", "out/m",
                                   cube, sphere], work)
        frames = []
        for i in range(1, FRAMES + 1):
            frames += ["out/m%03d.ply" % i, "out/m%02d.obj" % i, "out/m%02d.stl" % i]
        spheres = ["out/sphere001.sph", "out/sphere%03d.sph" % FRAMES]
        check("--format ply,obj,stl writes each frame in each format, in order, then the sphere files",
              code == 0 and names == frames + spheres, "%d %s\n%s" % (code, names, err))
        check("the sphere files are in the frames' folder, none in the current directory",
              sorted(os.listdir(work)) == ["out"] and all(os.path.isfile(os.path.join(work, n)) for n in spheres))
        with open(os.path.join(work, spheres[0])) as f:
            check("beside OBJ and STL frames the sphere files are OOGL lists", f.read().startswith("LIST\n"))

        cube_stl = read_stl(cube)[3]
        cube_min = [min(f[3 + 3 * k + ax] for f in cube_stl for k in range(3)) for ax in range(3)]
        cube_max = [max(f[3 + 3 * k + ax] for f in cube_stl for k in range(3)) for ax in range(3)]
        counts = {}
        for i in range(1, FRAMES + 1):
            obj, stl, ply = (os.path.join(work, "out", "m%02d.obj" % i), os.path.join(work, "out", "m%02d.stl" % i),
                             os.path.join(work, "out", "m%03d.ply" % i))
            v, vn, faces = read_obj(obj)
            header, count, size, facets = read_stl(stl)
            positions = read_ply_positions(ply)
            counts[i] = (len(v), len(faces), len(set(tuple(f[3 + 3 * k:6 + 3 * k]) for f in facets for k in range(3))))
            label = "frame %d" % i
            check(label + ": OBJ has a colour and a normal per vertex, a closed outward surface",
                  len(v) == len(vn) == len(positions) > 0 and all(len(p) == 6 and all(0 <= c <= 1 for c in p[3:])
                                                                   for p in v)
                  and all(abs(dot(n, n) - 1) < 1e-3 for n in vn) and closed_and_oriented(faces)
                  and signed_volume([p[:3] for p in v], faces) > 0)
            check(label + ": OBJ positions are the PLY frame's (the source's units)",
                  all(max(abs(p[k] - q[k]) for k in range(3)) <= 1e-6 * max(1.0, max(map(abs, q)))
                      for p, q in zip(v, positions)))
            geometric = [cross(sub(f[6:9], f[3:6]), sub(f[9:12], f[3:6])) for f in facets]
            check(label + ": STL is binary, not headed 'solid', a facet per OBJ triangle",
                  not header.startswith(b"solid") and size == 84 + 50 * count and count == len(faces))
            check(label + ": each STL normal is its facet's, of unit length",
                  all(abs(dot(f[:3], f[:3]) - 1) < 1e-4 and dot(f[:3], g) > 0 for f, g in zip(facets, geometric)
                      if dot(g, g) > 1e-12))
            if i == 1:
                lo = [min(p[k] for p in v) for k in range(3)]
                hi = [max(p[k] for p in v) for k in range(3)]
                voxel = 2.0 / 16
                check("frame 1 lies on the STL cube: %s" % ((lo, hi),),
                      all(abs(lo[k] - cube_min[k]) < 1.5 * voxel and abs(hi[k] - cube_max[k]) < 1.5 * voxel
                          for k in range(3)))
        read, problem = meshio_counts([os.path.join(work, "out", n) for n in ("m01.obj", "m01.stl", "m12.obj")])
        check("meshio reads the OBJ and STL frames with the same counts",
              read is not None and read["m01.obj"] == (counts[1][0], {"triangle": counts[1][1]})
              and read["m01.stl"] == (counts[1][2], {"triangle": counts[1][1]})
              and read["m12.obj"] == (counts[12][0], {"triangle": counts[12][1]}), problem or read)
        blender_imports(check, top, os.path.join(work, "out", "m01.obj"), os.path.join(work, "out", "m%02d.stl" % FRAMES),
                        counts[1][:2], (counts[FRAMES][2], counts[FRAMES][1]))

        # Several formats write what one format writes, byte for byte; VRML
        # frames bring VRML spheres, the others OOGL lists.
        quick = ["-f", "2", "-p", "12"]
        for name, argv in (("one", ["-o", "m"]), ("vrml", ["-v", "-o", "m"]),
                           ("both", ["--format", "off,wrl", "-o", "m"])):
            os.makedirs(os.path.join(top, name))
            code, names, err = run(a, quick + argv + [sphere, torus], os.path.join(top, name))
            check("%s: exit 0" % name, code == 0, err)
        both = os.path.join(top, "both")
        check("--format off,wrl names the frames and both kinds of sphere files",
              sorted(os.listdir(both)) == ["m001.off", "m001.wrl", "m002.off", "m002.wrl", "sphere001.sph",
                                           "sphere001.wrl", "sphere002.sph", "sphere002.wrl"], os.listdir(both))
        check("each format's files are those its own run writes",
              all(filecmp.cmp(os.path.join(both, n), os.path.join(top, d, n), shallow=False)
                  for d, n in (("one", "m001.off"), ("one", "sphere002.sph"), ("vrml", "m002.wrl"),
                               ("vrml", "sphere001.wrl"))))

        # A bad list is a command-line error; -u after --format stands alone.
        code, names, err = run(a, ["--format", "ply,glb", "-o", "m", sphere, torus], top)
        check("an unknown format: exit 1 naming it",
              code == 1 and "Illegal argument `ply,glb' for parameter `--format'." in err, err)
        work = os.path.join(top, "last")
        os.makedirs(work)
        code, names, err = run(a, ["-q", "--format", "obj,stl", "-u"] + quick + ["-o", "m", sphere, torus], work)
        check("the last format choice stands", code == 0 and names == ["m001.ply", "m002.ply"], names)

        # Outputs over inputs are refused before any work, in every format.
        work = os.path.join(top, "safety")
        os.makedirs(os.path.join(work, "d"))
        shutil.copy(sphere, os.path.join(work, "m2.obj"))
        code, names, err = run(a, ["-q", "--format", "ply,obj"] + quick + ["-o", "m", torus, "m2.obj"], work)
        check("an OBJ frame over the target: exit 4, nothing written",
              code == 4 and "the frame file `m2.obj' is the target file `m2.obj'" in err and "Sampling" not in err
              and sorted(os.listdir(work)) == ["d", "m2.obj"], err)
        shutil.copy(torus, os.path.join(work, "d", "sphere001.sph"))
        code, names, err = run(a, quick + ["--format", "stl", "-o", "d/n", "d/sphere001.sph", sphere], work)
        check("a sphere file in the frames' folder over the source: exit 4",
              code == 4 and "the sphere file `d/sphere001.sph' is the source file" in err
              and os.listdir(os.path.join(work, "d")) == ["sphere001.sph"], err)
    finally:
        shutil.rmtree(top, ignore_errors=True)
    check.finish()


if __name__ == "__main__":
    main()
