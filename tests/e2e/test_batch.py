"""Drives the real kestrane-batch: exit statuses, messages and written files."""
import argparse
import os
import subprocess
import sys
import tempfile

parser = argparse.ArgumentParser()
parser.add_argument("--bin", required=True)
parser.add_argument("--src", required=True)
args = parser.parse_args()

BATCH = os.path.abspath(os.path.join(args.bin, "kestrane-batch"))
EXAMPLES = os.path.abspath(os.path.join(args.src, "examples"))
failures = []
passed = []


def run(argv, cwd):
    env = dict(os.environ, ASAN_OPTIONS="detect_leaks=1")
    p = subprocess.run([BATCH] + argv, cwd=cwd, capture_output=True, text=True, timeout=600, env=env)
    return p.returncode, p.stdout, p.stderr


def check(name, condition, detail=""):
    print(("ok   " if condition else "FAIL ") + name)
    if condition:
        passed.append(name)
    if not condition:
        failures.append(name)
        if detail:
            print(detail)


def example(name):
    return os.path.join(EXAMPLES, name)


def parse_cnoff(path):
    """Independent reader: returns (vertex count, triangles) and checks the line shapes."""
    with open(path) as f:
        lines = f.read().split("\n")
    assert lines[0] == "CNOFF", lines[0]
    nv, nt, ne = (int(x) for x in lines[1].split())
    assert ne == 0
    for line in lines[2:2 + nv]:
        assert len(line.split()) == 10, line
    tris = []
    for line in lines[2 + nv:2 + nv + nt]:
        parts = line.split()
        assert parts[0] == "3" and len(parts) == 4, line
        tris.append(tuple(int(x) for x in parts[1:]))
    assert lines[2 + nv + nt:] == [""], "trailing content"
    return nv, tris


with tempfile.TemporaryDirectory() as work:
    # The full morph with sphere files, default CNOFF output named morph###.off.
    code, out, err = run(["-f", "4", example("icosphere.off"), example("torus.off")], work)
    check("morph exits 0", code == 0, err)
    names = out.split()
    expected = ["morph001.off", "morph002.off", "morph003.off", "morph004.off", "sphere001.sph", "sphere004.sph"]
    check("every written file is named on stdout", names == expected, out)
    check("files exist", all(os.path.exists(os.path.join(work, n)) for n in expected))
    check("analysis messages", "Performing distance transform on source volume" in err
          and "Performing sphere extraction on target volume" in err, err)
    check("sphere counts line", any(l.startswith("Spheres: ") for l in err.splitlines()), err)
    for n in expected[:4]:
        nv, tris = parse_cnoff(os.path.join(work, n))
        edges = {}
        for a, b, c in tris:
            for e in ((a, b), (b, c), (c, a)):
                edges[e] = edges.get(e, 0) + 1
        closed = all(edges.get((b, a), 0) == 1 and k == 1 for (a, b), k in edges.items())
        check(n + " is a closed oriented mesh", nv > 0 and len(tris) > 0 and closed)
    with open(os.path.join(work, "sphere001.sph")) as f:
        check("sphere file is an OOGL LIST", f.read().startswith("LIST\n"))

    # Quick morphing: no sphere extraction, no sphere files; VRML frames.
    code, out, err = run(["-q", "-o", "q", "-v", "-f", "2", example("box.off"), example("icosphere.off")], work)
    check("quick morph exits 0", code == 0, err)
    check("quick morph writes only frames", out.split() == ["q001.wrl", "q002.wrl"], out)
    check("quick morph runs no sphere extraction", "sphere extraction" not in err, err)
    with open(os.path.join(work, "q001.wrl")) as f:
        check("VRML header", f.read().startswith("#VRML V1.0 ascii\nSeparator {\n"))
    # The order of the options does not matter: a format before -o stands.
    code, out, err = run(["-q", "-u", "-o", "u", "-f", "2", example("box.off"), example("icosphere.off")], work)
    check("-u before -o writes PLY frames", code == 0 and out.split() == ["u001.ply", "u002.ply"], out + err)

    # Command-line failures exit 1 with the usage lines naming kestrane-batch.
    code, out, err = run(["-f", "1", "a", "b"], work)
    check("illegal value exits 1", code == 1 and "Illegal argument `1' for parameter `-f'." in err
          and "Usage: " + BATCH in err, err)
    code, out, err = run([example("icosphere.off")], work)
    check("missing target name exits 1", code == 1, err)
    for asked in (["-h"], ["--help"]):
        code, out, err = run(asked, work)
        check("%s exits 0, the help on standard output" % asked[0],
              code == 0 and "kestrane-batch, Kestrane v2.4b" in out and err == "", err)

    # Load failures end the run: exit 2 with an error naming the file and the reason.
    missing = os.path.join(work, "missing.off")
    code, out, err = run([example("icosphere.off"), missing], work)
    check("missing target exits 2", code == 2 and
          "error: `%s' cannot be opened: No such file or directory" % missing in err.splitlines(), err)
    bad = os.path.join(work, "bad.off")
    with open(bad, "w") as f:
        f.write("OFF\n3 1 0\n0 0\n")
    code, out, err = run([bad, example("torus.off")], work)
    check("unreadable file exits 2", code == 2 and "error: `%s' has a vertex line that is too short" % bad in err
          and "warning:" not in err, err)

    # An output directory that does not exist: reported before any work.
    code, out, err = run(["-o", os.path.join(work, "no/such/dir/m"), "-f", "2", "-q",
                          example("icosphere.off"), example("torus.off")], work)
    check("unwritable output exits 4", code == 4 and
          err == "error: cannot write into the output directory `%s': No such file or directory\n"
          % os.path.join(work, "no/such/dir"), err)

print("%d passed, %d failed" % (len(passed), len(failures)))
sys.exit(1 if failures else 0)
