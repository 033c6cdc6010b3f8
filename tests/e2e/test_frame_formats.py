"""OBJ and STL frames and several formats from one run (--format), read back
here, by meshio (Debian's python3-meshio) and, when installed, by Blender;
the sphere files beside the frames when -o names a folder; and outputs over
inputs refused in every format."""
import filecmp
import json
import os
import shutil
import struct
import subprocess
import tempfile

from batch_support import Checks, parse_args

FRAMES = 12  # two-digit OBJ and STL numbers

BLENDER_IMPORT = r"""
import json, sys, bpy
obj, stl, out = sys.argv[sys.argv.index("--") + 1:]
bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.wm.obj_import(filepath=obj)
bpy.ops.import_mesh.stl(filepath=stl)
with open(out, "w") as f:
    json.dump({o.name: [len(o.data.vertices), len(o.data.polygons), len(o.data.color_attributes)]
               for o in bpy.context.scene.objects}, f)
"""
MESHIO_COUNTS = ("import json, sys, meshio\n"
                 "print(json.dumps([[len(m.points), {c.type: len(c.data) for c in m.cells}]"
                 " for m in map(meshio.read, sys.argv[1:])]))\n")


def run(a, argv, cwd):
    p = subprocess.run([a.batch, "-w"] + argv, cwd=cwd, capture_output=True, text=True, timeout=600)
    return p.returncode, p.stdout.split(), p.stderr


def read_obj(path):
    """(v rows, vn rows, triangles from 0); every face must be a//a b//b c//c."""
    v, vn, faces = [], [], []
    with open(path) as f:
        for line in f:
            kind, *rest = line.split()
            if kind == "f":
                assert all(c.split("//")[0] == c.split("//")[1] for c in rest), line
                faces.append(tuple(int(c.split("//")[0]) - 1 for c in rest))
            elif kind != "#":
                (v if kind == "v" else vn).append([float(x) for x in rest])
    return v, vn, faces


def read_stl(path):
    with open(path, "rb") as f:
        data = f.read()
    (count,) = struct.unpack_from("<I", data, 80)
    return data, [struct.unpack_from("<12f", data, 84 + 50 * i) for i in range(count)]


def ply_positions(path):
    with open(path, "rb") as f:
        header, body = f.read().split(b"end_header\n", 1)
    (n,) = [int(l.split()[2]) for l in header.decode().splitlines() if l.startswith("element vertex")]
    return [struct.unpack_from("<3f", body, 27 * i) for i in range(n)]


def cross(u, w):
    return [u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]]


def dot(u, w):
    return sum(x * y for x, y in zip(u, w))


def check_frame(check, out, i):
    v, vn, faces = read_obj(os.path.join(out, "m%02d.obj" % i))
    data, facets = read_stl(os.path.join(out, "m%02d.stl" % i))
    ply = ply_positions(os.path.join(out, "m%03d.ply" % i))
    volume = sum(dot(v[a][:3], cross(v[b][:3], v[c][:3])) for a, b, c in faces) / 6
    check("frame %d: OBJ colours in 0..1, unit normals, outward triangles, positions the PLY frame's" % i,
          len(v) == len(vn) == len(ply) > 0 and all(len(p) == 6 and 0 <= min(p[3:]) <= max(p[3:]) <= 1 for p in v)
          and all(abs(dot(n, n) - 1) < 1e-3 for n in vn) and volume > 0
          and all(max(abs(p[k] - q[k]) for k in range(3)) <= 1e-6 * max(1, *map(abs, q)) for p, q in zip(v, ply)))
    normals_outward = all(dot(f[:3], cross([f[6 + k] - f[3 + k] for k in range(3)], [f[9 + k] - f[3 + k] for k in range(3)]))
                          > 0 and abs(dot(f[:3], f[:3]) - 1) < 1e-4 for f in facets)
    check("frame %d: binary STL not headed 'solid', a facet per OBJ triangle, unit normals along its winding" % i,
          not data.startswith(b"solid") and len(data) == 84 + 50 * len(facets) and len(facets) == len(faces)
          and normals_outward)
    return len(v), len(faces), len({tuple(f[3 + 3 * k:6 + 3 * k]) for f in facets for k in range(3)})


def main():
    a = parse_args()
    check = Checks()
    cube, sphere = os.path.join(a.examples, "cube.stl"), os.path.join(a.examples, "icosphere.obj")
    torus = os.path.join(a.examples, "torus.off")
    top = tempfile.mkdtemp(prefix="kestrane-formats-")
    try:
        work = os.path.join(top, "three")
        out = os.path.join(work, "out")
        os.makedirs(out)
        code, names, err = run(a, ["--format", "ply,obj,stl", "-f", str(FRAMES), "-p", "16", "-o", "out/m",
                                   cube, sphere], work)
        frames = [n % i for i in range(1, FRAMES + 1) for n in ("out/m%03d.ply", "out/m%02d.obj", "out/m%02d.stl")]
        spheres = ["out/sphere001.sph", "out/sphere%03d.sph" % FRAMES]
        check("each frame in each format, in order, then the sphere files, all in out/",
              code == 0 and names == frames + spheres and os.listdir(work) == ["out"], "%s\n%s" % (names, err))
        counts = {i: check_frame(check, out, i) for i in range(1, FRAMES + 1)}
        first, last = os.path.join(out, "m01.obj"), os.path.join(out, "m%02d.stl" % FRAMES)
        p = subprocess.run(["/usr/bin/python3", "-c", MESHIO_COUNTS, first, last], capture_output=True, text=True)
        check("meshio reads an OBJ and an STL frame with their counts", p.returncode == 0 and json.loads(p.stdout) ==
              [[counts[1][0], {"triangle": counts[1][1]}], [counts[FRAMES][2], {"triangle": counts[FRAMES][1]}]],
              p.stdout + p.stderr)
        if shutil.which("blender"):
            script, result = os.path.join(top, "import.py"), os.path.join(top, "import.json")
            with open(script, "w") as f:
                f.write(BLENDER_IMPORT)
            p = subprocess.run(["blender", "-b", "--factory-startup", "--python", script, "--", first, last, result],
                               capture_output=True, text=True, timeout=600)
            objects = json.load(open(result)) if os.path.exists(result) else {}
            check("Blender imports the OBJ frame with its colours and the STL frame's triangles",
                  sorted(objects.values()) == sorted([[counts[1][0], counts[1][1], 1],
                                                      [counts[FRAMES][2], counts[FRAMES][1], 0]]),
                  "%s\n%s" % (objects, (p.stdout + p.stderr)[-2000:]))
        else:
            print("blender not installed: its import skipped")

        # Several formats write what each writes alone; VRML frames bring VRML spheres.
        small = ["-f", "2", "-p", "12"]
        for name, argv in (("one", ["-o", "m"]), ("vrml", ["-v", "-o", "m"]), ("both", ["--format", "off,wrl", "-o", "m"]),
                           ("last", ["-q", "--format", "obj,stl", "-u", "-o", "m"])):
            os.makedirs(os.path.join(top, name))
            code, names, err = run(a, small + argv + [sphere, torus], os.path.join(top, name))
            check("%s: exit 0" % name, code == 0, err)
        both = os.path.join(top, "both")
        check("--format off,wrl: both frames, both kinds of sphere files, each as its own run writes it",
              sorted(os.listdir(both)) == sorted(["m001.off", "m001.wrl", "m002.off", "m002.wrl", "sphere001.sph",
                                                  "sphere001.wrl", "sphere002.sph", "sphere002.wrl"])
              and all(filecmp.cmp(os.path.join(both, n), os.path.join(top, d, n), shallow=False)
                      for d, n in (("one", "m001.off"), ("one", "sphere002.sph"), ("vrml", "m002.wrl"),
                                   ("vrml", "sphere001.wrl"))), os.listdir(both))
        check("-u after --format stands alone", sorted(os.listdir(os.path.join(top, "last"))) == ["m001.ply", "m002.ply"])
        code, names, err = run(a, ["--format", "ply,glb", "-o", "m", sphere, torus], top)
        check("an unknown format: exit 1 naming it", code == 1 and "`ply,glb' for parameter `--format'" in err, err)

        # Outputs over inputs are refused before any work, in every format and folder.
        work = os.path.join(top, "safety")
        os.makedirs(os.path.join(work, "d"))
        shutil.copy(sphere, os.path.join(work, "m2.obj"))
        code, names, err = run(a, ["-q", "--format", "ply,obj"] + small + ["-o", "m", torus, "m2.obj"], work)
        check("an OBJ frame over the target: exit 4, nothing written",
              code == 4 and "the frame file `m2.obj' is the target file `m2.obj'" in err and "Sampling" not in err
              and sorted(os.listdir(work)) == ["d", "m2.obj"], err)
        shutil.copy(torus, os.path.join(work, "d", "sphere001.sph"))
        code, names, err = run(a, small + ["--format", "stl", "-o", "d/n", "d/sphere001.sph", sphere], work)
        check("a sphere file in the frames' folder over the source: exit 4",
              code == 4 and "the sphere file `d/sphere001.sph' is the source file" in err
              and os.listdir(os.path.join(work, "d")) == ["sphere001.sph"], err)
    finally:
        shutil.rmtree(top, ignore_errors=True)
    check.finish()


if __name__ == "__main__":
    main()
