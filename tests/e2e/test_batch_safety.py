"""The batch tool as a careless or hostile user meets it: outputs that would
overwrite its inputs, numbers beyond what it holds, transforms that place the
source nowhere, long names, directories in the way, a file size limit, open
surfaces and surfaces that enclose nothing. Each ends with a clear message and
the right status, and leaves the inputs and no temporary behind."""
import os
import resource
import subprocess
import tempfile

from batch_support import Checks, parse_args, temporaries

args = parse_args()
check = Checks()

USAGE_START = "  Usage: "


def example(name):
    return os.path.join(args.examples, name)


def run(argv, cwd, preexec_fn=None):
    p = subprocess.run([args.batch] + argv, cwd=cwd, capture_output=True, text=True, timeout=600,
                       preexec_fn=preexec_fn)
    return p.returncode, p.stdout, p.stderr


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write_off(path, vertices, faces):
    with open(path, "w") as f:
        f.write("OFF\n%d %d 0\n" % (len(vertices), len(faces)))
        f.write("".join("%g %g %g\n" % v for v in vertices))
        f.write("".join("%d %s\n" % (len(face), " ".join(map(str, face))) for face in faces))
    return path


def icosphere_without_cap(path):
    """The icosphere example with the faces round its top removed: open, with
    one ring of boundary edges, and still bounding most of a ball."""
    lines = [l for l in open(example("icosphere.off")).read().split("\n") if not l.startswith("#")]
    nv, nf, _ = (int(x) for x in lines[1].split())
    vertices = [tuple(float(c) for c in l.split()) for l in lines[2:2 + nv]]
    faces = [[int(k) for k in l.split()[1:]] for l in lines[2 + nv:2 + nv + nf]]
    kept = [f for f in faces if not all(vertices[k][2] > 0.9 for k in f)]
    # Each edge used by one face only is on the rim.
    uses = {}
    for f in kept:
        for a, b in zip(f, f[1:] + f[:1]):
            uses[frozenset((a, b))] = uses.get(frozenset((a, b)), 0) + 1
    return write_off(path, vertices, kept), sum(1 for n in uses.values() if n == 1)


with tempfile.TemporaryDirectory() as work:
    sphere, torus = example("icosphere.off"), example("torus.off")

    # Outputs never destroy inputs: the frames m001.off and m002.off of a
    # two-frame run are its inputs, by the same name, through a symbolic
    # link, as a hard link; a sphere file is an input.
    def refused_before_work(name, argv, inputs, words):
        before = {path: read(os.path.join(work, path)) for path in inputs}
        listing = sorted(os.listdir(work))
        code, out, err = run(argv, work)
        check(name + ": exit 4", code == 4, err)
        check(name + ": the message names the output and the input",
              err.startswith("error: ") and all(w in err for w in words) and err.count("\n") == 1, err)
        check(name + ": nothing read, written or changed", out == "" and "Sampling" not in err
              and sorted(os.listdir(work)) == listing
              and all(read(os.path.join(work, path)) == data for path, data in before.items()))

    subprocess.run(["cp", sphere, os.path.join(work, "m001.off")], check=True)
    subprocess.run(["cp", torus, os.path.join(work, "m002.off")], check=True)
    refused_before_work("frames over both inputs", ["-q", "-f", "2", "-o", "m", "m001.off", "m002.off"],
                        ["m001.off", "m002.off"], ["frame file `m001.off'", "source file `m001.off'"])
    refused_before_work("the target alone under a frame", ["-q", "-f", "2", "-o", "m", sphere, "m002.off"],
                        ["m002.off"], ["frame file `m002.off'", "target file `m002.off'"])
    os.makedirs(os.path.join(work, "sub"))
    refused_before_work("a frame over the input by another path",
                        ["-q", "-f", "2", "-o", os.path.join(work, "m"), sphere, "./sub/../m002.off"],
                        ["m002.off"], ["`%s'" % os.path.join(work, "m002.off"), "target file `./sub/../m002.off'"])
    os.symlink("m001.off", os.path.join(work, "link.off"))
    refused_before_work("an input reached through a symbolic link", ["-q", "-f", "2", "-o", "m", "link.off", torus],
                        ["m001.off"], ["frame file `m001.off'", "source file `link.off'"])
    os.link(os.path.join(work, "m002.off"), os.path.join(work, "hard.off"))
    refused_before_work("an input that is a hard link of a frame", ["-q", "-f", "2", "-o", "m", sphere, "hard.off"],
                        ["hard.off"], ["frame file `m002.off'", "target file `hard.off'"])
    subprocess.run(["cp", sphere, os.path.join(work, "sphere001.sph")], check=True)
    refused_before_work("a sphere file over an input", ["-f", "2", "-o", "n", "sphere001.sph", torus],
                        ["sphere001.sph"], ["sphere file `sphere001.sph'", "source file `sphere001.sph'"])
    # Quick morphing writes no sphere file, and a frame range only its own frames.
    code, out, err = run(["-q", "-f", "2", "-o", "n", "sphere001.sph", torus], work)
    check("-q writes no sphere file, so an input of that name is morphed", code == 0 and out.split() ==
          ["n001.off", "n002.off"] and read(os.path.join(work, "sphere001.sph")) == read(sphere), err)
    code, out, err = run(["-q", "-f", "2", "-s", "2", "-o", "m", sphere, "m001.off"], work)
    check("-s 2 writes only m002.off, so m001.off as an input is morphed", code == 0 and out.split() ==
          ["m002.off"] and read(os.path.join(work, "m001.off")) == read(sphere), err)
    subprocess.run(["cp", torus, os.path.join(work, "m002.off")], check=True)

    # Numbers beyond what the program holds are refused, not wrapped.
    for option, value in [("-f", "70000"), ("-f", "1000000"), ("-p", "65556"), ("-r", "65536"),
                          ("-j", "4294967298"), ("-t", "nan,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1"),
                          ("-t", "1,0,0,0,0,1,0,0,0,0,1,0,inf,0,0,1"), ("-t", "1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,-inf"),
                          ("-t", "1,0,0,0,0,0,0,0,0,0,1,0,0,0,0,1"), ("-t", "1,2,3,0,2,4,6,0,0,0,1,0,0,0,0,1")]:
        code, out, err = run([option, value, "-o", "w", sphere, torus], work)
        lines = err.split("\n")
        check("%s %s: exit 1 with the illegal-argument message" % (option, value),
              code == 1 and lines[0] == "Illegal argument `%s' for parameter `%s'." % (value, option)
              and lines[1].startswith(USAGE_START) and out == "", err)
    check("nothing was written for them", not any(n.startswith("w0") for n in os.listdir(work)))
    code, out, err = run(["-q", "-f", "2", "-p", "12", "-r", "40000", "-j", "2", "-o", "r", sphere, torus], work)
    check("-r 40000 fits in 16 bits: brought down to 8, not wrapped", code == 0 and out.split() ==
          ["r001.off", "r002.off"], err)

    # A name of 255 characters, the longest most file systems take: a base
    # of 250 characters with a folder. Its temporary names stay within the limit.
    os.makedirs(os.path.join(work, "o"))
    base = os.path.join("o", "b" * 248)
    code, out, err = run(["-q", "-f", "2", "-o", base, sphere, torus], work)
    names = [base + "001.off", base + "002.off"]
    check("a 250-character output base: exit 0, both frames", code == 0 and out.split() == names
          and all(os.path.isfile(os.path.join(work, n)) for n in names), err[-600:])
    check("a 250-character output base: no temporary left", temporaries(os.path.join(work, "o")) == [])
    # One character more passes the limit: refused whole, with its reason, before any work.
    code, out, err = run(["-q", "-f", "2", "-o", base + "b", sphere, torus], work)
    check("a frame name past the limit: exit 4 before any work, the whole name and the reason",
          code == 4 and err == "error: cannot write the frame file `%s001.off': File name too long\n" % (base + "b"),
          err)

    # A directory where a frame goes.
    os.makedirs(os.path.join(work, "d001.off"))
    code, out, err = run(["-q", "-f", "2", "-o", "d", sphere, torus], work)
    check("a directory where a frame goes: exit 4, said so, before any work",
          code == 4 and err.startswith("error: `d001.off' is a directory") and "Sampling" not in err
          and "domain" not in err, err)

    # ulimit -f 50: the write fails, is reported, and leaves no temporary.
    def small_files():
        resource.setrlimit(resource.RLIMIT_FSIZE, (50 * 1024, 50 * 1024))
    os.makedirs(os.path.join(work, "limited"))
    code, out, err = run(["-f", "2", "-o", "limited/u", sphere, torus], work, preexec_fn=small_files)
    check("ulimit -f 50: exit 4, not killed by SIGXFSZ", code == 4, "exit %d\n%s" % (code, err))
    check("ulimit -f 50: the file and the reason", "error: Could not write `limited/u001.off': File too large" in err,
          err)
    check("ulimit -f 50: no temporary, no partial frame", os.listdir(os.path.join(work, "limited")) == [])

    # An open surface is morphed as the solid it bounds, and said so.
    cap, rim = icosphere_without_cap(os.path.join(work, "cap.off"))
    code, out, err = run(["-f", "2", "-o", "c", "cap.off", torus], work)
    warning = "warning: `cap.off' is not closed (%d boundary edges): it is morphed as the solid it bounds\n" % rim
    check("an open surface: morphed, exit 0", code == 0 and "c002.off" in out.split(), err)
    check("an open surface: one warning naming it and its %d boundary edges" % rim,
          err.count("warning: ") == 1 and warning in err, err)
    code, out, err = run(["-w", "-q", "-f", "2", "-o", "c", sphere, example("cube.stl")], work)
    check("closed surfaces, an STL among them: no warning", code == 0 and err == "", err)

    # A surface that encloses nothing at the sampling ends the run as a failed load.
    flat = write_off(os.path.join(work, "flat.off"), [(0, 0, 0), (1, 0, 0), (0, 1, 0.5), (1, 1, 0.5)],
                     [(0, 1, 2), (1, 3, 2)])
    for quick in ([], ["-q"]):
        for order in (["flat.off", torus], [torus, "flat.off"]):
            code, out, err = run(["-a", "0", "-f", "2", "-o", "e"] + quick + order, work)
            name = "a surface enclosing nothing (%s%s)" % (" ".join(quick) + " " if quick else "",
                                                            "source" if order[0] == "flat.off" else "target")
            check(name + ": exit 2, nothing written", code == 2 and out == "", err)
            check(name + ": one error naming the file, no analysis error after it",
                  err.count("error: ") == 1 and "error: `flat.off' encloses no volume at this sampling" in err
                  and "isosurface" not in err and "warning" not in err, err)
    # An analysis that fails says why before the fatal line.
    tetra = write_off(os.path.join(work, "tetra.off"), [(0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 1)],
                      [(0, 2, 1), (0, 1, 3), (0, 3, 2)])
    code, out, err = run(["-p", "16", "-f", "2", "-o", "t", "tetra.off", torus], work)
    check("a failed analysis: exit 3, the file and the reason, then the fatal line",
          code == 3 and "error: `tetra.off': no sphere found in the volume\nerror: Couldn't construct the isosurface."
          in err, err)
    check("no temporary anywhere", temporaries(work) == [])

check.finish()
