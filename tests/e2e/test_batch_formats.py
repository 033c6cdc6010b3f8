"""kestrane-batch on STL, OBJ, PLY and glTF inputs, and its PLY frames read
back by meshio, a reader that is not ours."""
import argparse
import os
import struct
import subprocess
import sys
import tempfile

from ply_check import read_with_meshio

parser = argparse.ArgumentParser()
parser.add_argument("--bin", required=True)
parser.add_argument("--src", required=True)
args = parser.parse_args()

BATCH = os.path.abspath(os.path.join(args.bin, "kestrane-batch"))
EXAMPLES = os.path.abspath(os.path.join(args.src, "examples"))
failures = []


def run(argv, cwd):
    env = dict(os.environ, ASAN_OPTIONS="detect_leaks=1")
    p = subprocess.run([BATCH] + argv, cwd=cwd, capture_output=True, text=True, timeout=600, env=env)
    return p.returncode, p.stdout, p.stderr


def check(name, condition, detail=""):
    print(("ok   " if condition else "FAIL ") + name)
    if not condition:
        failures.append(name)
        if detail:
            print(detail)


def example(name):
    return os.path.join(EXAMPLES, name)


def cnoff(path):
    """(vertex lines as numbers, triangles) of a CNOFF frame."""
    with open(path) as f:
        lines = f.read().split("\n")
    assert lines[0] == "CNOFF", lines[0]
    nv, nt, _ = (int(x) for x in lines[1].split())
    vertices = [[float(x) for x in line.split()] for line in lines[2:2 + nv]]
    triangles = [tuple(int(x) for x in line.split()[1:]) for line in lines[2 + nv:2 + nv + nt]]
    return vertices, triangles


def closed(triangles):
    """Every directed edge meets its reverse exactly once."""
    edges = {}
    for a, b, c in triangles:
        for e in ((a, b), (b, c), (c, a)):
            edges[e] = edges.get(e, 0) + 1
    return bool(triangles) and all(k == 1 and edges.get((b, a)) == 1 for (a, b), k in edges.items())


def morph(work, argv, frames):
    """Runs a morph into a fresh directory; returns (status, frame names, stderr)."""
    os.makedirs(work)
    code, out, err = run(argv, work)
    names = [n for n in out.split() if not n.startswith("sphere")]
    check("%s exits 0 with %d frames" % (os.path.basename(work), frames), code == 0 and len(names) == frames,
          err + out)
    return names


def stl_box(path):
    """Bounding box of a binary STL, read here."""
    with open(path, "rb") as f:
        data = f.read()
    (count,) = struct.unpack_from("<I", data, 80)
    points = [struct.unpack_from("<3f", data, 84 + 50 * i + 12 + 12 * k) for i in range(count) for k in range(3)]
    return [min(p[a] for p in points) for a in range(3)], [max(p[a] for p in points) for a in range(3)]


def obj_box(path):
    with open(path) as f:
        points = [[float(x) for x in line.split()[1:4]] for line in f if line.startswith("v ")]
    return [min(p[a] for p in points) for a in range(3)], [max(p[a] for p in points) for a in range(3)]


def ply_header_counts(path):
    with open(path, "rb") as f:
        header = f.read().split(b"end_header\n")[0].decode()
    counts = {}
    for line in header.splitlines():
        if line.startswith("element "):
            _, name, n = line.split()
            counts[name] = int(n)
    return counts


def near_box(box, other, tolerance):
    return all(abs(box[s][a] - other[s][a]) <= tolerance for s in range(2) for a in range(3))


with tempfile.TemporaryDirectory() as top:
    # Binary STL cube to OBJ sphere: closed frames.
    work = os.path.join(top, "stl-obj")
    names = morph(work, ["-f", "4", "-p", "24", example("cube.stl"), example("icosphere.obj")], 4)
    for n in names:
        check(n + " is closed", closed(cnoff(os.path.join(work, n))[1]))

    # The PLY variant of the sphere carries vertex colours into the last frame.
    work = os.path.join(top, "stl-ply")
    names = morph(work, ["-f", "3", "-p", "24", example("cube.stl"), example("icosphere_colours.ply")], 3)
    vertices, triangles = cnoff(os.path.join(work, names[-1]))
    check("the coloured sphere's last frame is closed", closed(triangles))
    reds = sum(1 for v in vertices if v[6] > 0.6 and v[8] < 0.2)
    blues = sum(1 for v in vertices if v[8] > 0.6 and v[6] < 0.2)
    check("red above and blue below (%d, %d vertices)" % (reds, blues), reds > 20 and blues > 20)

    # glTF binary to a glTF scene of two spheres, two meshes each placed by
    # its node and coloured by its material: one closed shape.
    work = os.path.join(top, "glb-gltf")
    names = morph(work, ["-q", "-f", "3", "-p", "24", example("torus.glb"), example("two_spheres.gltf")], 3)
    for n in names:
        check(n + " is closed", closed(cnoff(os.path.join(work, n))[1]))
    vertices, _ = cnoff(os.path.join(work, names[-1]))
    reds = sum(1 for v in vertices if v[6] > 0.6 and v[8] < 0.3)
    blues = sum(1 for v in vertices if v[8] > 0.6 and v[6] < 0.3)
    check("each sphere keeps its material's colour (%d red, %d blue)" % (reds, blues), reds > 20 and blues > 20)
    work = os.path.join(top, "gltf-placed")
    names = morph(work, ["-u", "-z", "-q", "-f", "2", "-p", "24", example("torus.glb"), example("two_spheres.gltf")], 2)
    d = read_with_meshio([os.path.join(work, names[-1])])[names[-1]]
    # Radius 1 at x = -0.6 and radius 0.8 at (0.7, 0.1, 0); the torus's 0.8 thickness gives 24 points.
    check("the spheres stand where their nodes put them: %s" % ((d["min"], d["max"]),),
          near_box((d["min"], d["max"]), ([-1.6, -1.0, -1.0], [1.5, 1.0, 1.0]), 0.8 / 24))

    # An unreadable .stl: exit 2, an error naming it, nothing written.
    work = os.path.join(top, "bad")
    os.makedirs(work)
    bad = os.path.join(work, "scan.stl")
    with open(bad, "wb") as f:
        f.write(b"\x00\x01 not an STL at all \xff" * 3)
    code, out, err = run([bad, example("icosphere.obj")], work)
    errors = [line for line in err.splitlines() if line.startswith("error:")]
    check("unreadable .stl exits 2 with one error naming it", code == 2 and len(errors) == 1
          and ("`%s' could not be read as STL: " % bad) in errors[0], err)
    check("nothing is written", out == "" and os.listdir(work) == ["scan.stl"], out)

    # A binary PLY whose header is cut short (found by fuzzing): the mesh
    # library crashes on it; the programs refuse it with exit 2.
    work = os.path.join(top, "damaged")
    os.makedirs(work)
    damaged = os.path.join(work, "cut.ply")
    with open(os.path.join(args.src, "fuzz", "regressions", "mesh_import", "ply-header-cut-short"), "rb") as f:
        data = f.read()[1:]  # the fuzz input's first byte names the extension
    with open(damaged, "wb") as f:
        f.write(data)
    code, out, err = run([damaged, example("torus.off")], work)
    check("a PLY cut short exits 2 with an error naming it, nothing written",
          code == 2 and ("`%s' could not be read as PLY: " % damaged) in err and out == ""
          and os.listdir(work) == ["cut.ply"], "status %d\n%s" % (code, err))

    # PLY frames in the inputs' own units, read by meshio.
    cube, sphere = stl_box(example("cube.stl")), obj_box(example("icosphere.obj"))
    voxel = 2.0 / 24  # -z: the union box is the sphere's, 2 across, 24 points along it
    work = os.path.join(top, "ply")
    names = morph(work, ["-u", "-z", "-f", "5", "-p", "24", example("cube.stl"), example("icosphere.obj")], 5)
    check("PLY frames are named .ply", names == ["morph%03d.ply" % i for i in range(1, 6)], names)
    with open(os.path.join(work, "sphere001.sph")) as f:
        check("beside PLY frames the sphere files are OOGL lists", f.read().startswith("LIST\n"))
    read = read_with_meshio(os.path.join(work, n) for n in names)
    for n in names:
        d = read[n]
        counts = ply_header_counts(os.path.join(work, n))
        check("meshio reads %s: %d points, %d triangles" % (n, d["points"], d["cells"].get("triangle", 0)),
              d["points"] == counts["vertex"] > 0 and d["cells"] == {"triangle": counts["face"]}
              and {"nx", "ny", "nz", "red", "green", "blue"} <= set(d["point_data"]), d)
    first, last = read[names[0]], read[names[-1]]
    check("the first frame lies on the STL cube: %s" % ((first["min"], first["max"]),),
          near_box((first["min"], first["max"]), cube, voxel))
    check("the last frame lies on the OBJ sphere: %s" % ((last["min"], last["max"]),),
          near_box((last["min"], last["max"]), sphere, voxel))

    # Scaled to match (the default), the first frame still lies on the source;
    # a -t transform moves it with the source.
    for label, extra, shift in (("scaled", [], (0, 0, 0)),
                                ("moved", ["-t", "1,0,0,0,0,1,0,0,0,0,1,0,1,2,3,1"], (1, 2, 3))):
        work = os.path.join(top, label)
        names = morph(work, ["-u", "-q", "-f", "2", "-p", "24"] + extra + [example("cube.stl"), example("icosphere.obj")], 2)
        d = read_with_meshio([os.path.join(work, names[0])])[names[0]]
        moved = ([c + s for c, s in zip(cube[0], shift)], [c + s for c, s in zip(cube[1], shift)])
        check("%s: the first frame lies on the source %s" % (label, (d["min"], d["max"])),
              near_box((d["min"], d["max"]), moved, voxel))

print("%d failed" % len(failures))
sys.exit(1 if failures else 0)
