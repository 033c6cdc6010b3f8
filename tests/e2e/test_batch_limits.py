"""Loads that would not fit are refused before anything is allocated; a long
sphere-based morph says what it costs before it starts; an output directory
that cannot be written is reported and left as it was."""
import os
import resource
import subprocess
import tempfile
import time

from batch_support import Checks, parse_args, temporaries, unprivileged, uses_address_sanitizer

args = parse_args()
check = Checks()


def example(name):
    return os.path.join(args.examples, name)


def box(path, x, y, z):
    corners = ["%g %g %g" % (x * (i & 1), y * ((i >> 1) & 1), z * ((i >> 2) & 1)) for i in range(8)]
    faces = ["4 0 2 3 1", "4 4 5 7 6", "4 0 1 5 4", "4 2 6 7 3", "4 0 4 6 2", "4 1 3 7 5"]
    with open(path, "w") as f:
        f.write("OFF\n8 6 0\n" + "\n".join(corners + faces) + "\n")
    return path


def run(argv, cwd, preexec_fn=None, timeout=600):
    p = subprocess.run([args.batch] + argv, cwd=cwd, capture_output=True, text=True, timeout=timeout,
                       preexec_fn=preexec_fn)
    return p.returncode, p.stdout, p.stderr


with tempfile.TemporaryDirectory() as work:
    # The thin slab: a 13669 x 13669 x 25 grid a side, 28 GB of voxels for
    # one side alone; refused on the spot.
    slab = box(os.path.join(work, "slab.off"), 683.2, 683.2, 1)
    code, out, err = run([slab, slab], work)
    check("the slab is refused with status 2", code == 2, err)
    check("the slab is refused with the memory message before conversion",
          "error: Not enough memory for source data" in err and "Sampling" not in err, err)

    # Under an address-space limit (ulimit -v) a load that fits in the
    # machine but not in the limit is refused the same way, not left to fail
    # half-way. The sanitizer runtime maps terabytes of shadow memory and
    # cannot start under such a limit.
    if uses_address_sanitizer(args.batch):
        print("skip ulimit -v: the address sanitizer cannot run under an address-space limit")
    else:
        def limit():
            gigabyte = 1 << 30
            resource.setrlimit(resource.RLIMIT_AS, (gigabyte, gigabyte))
        code, out, err = run(["-p", "400", "-f", "2", example("icosphere.off"), example("torus.off")], work,
                             preexec_fn=limit)
        # One side's 612 x 612 x 405 voxels (910 MB) and the other's field do
        # not fit.
        check("ulimit -v 1 GB: -p 400 is refused with the memory message before conversion",
              code == 2 and "error: Not enough memory for source data" in err and "Sampling" not in err, err)
        # Taken in turn, -p 300's sides (390 MB of voxels each) fit, and a
        # load the check lets through runs to its end within the limit.
        code, out, err = run(["-p", "300", "-f", "2", example("icosphere.off"), example("torus.off")], work,
                             preexec_fn=limit)
        check("ulimit -v 1 GB: -p 300, its sides in turn, runs to its end", code == 0, err[-800:])
        code, out, err = run(["-q", "-p", "20", "-f", "2", example("icosphere.off"), example("torus.off")], work,
                             preexec_fn=limit)
        check("ulimit -v 1 GB: a small morph still runs", code == 0, err)

    # A long thin rod: thousands of spheres a side, nearly every lattice point
    # near the surface (a middle frame at -p 64 takes minutes on one thread).
    # The estimate comes before the first frame; the run is not waited for.
    rod = box(os.path.join(work, "rod.off"), 40, 1, 1)
    with open(os.path.join(work, "rod-err.txt"), "w") as err_file:
        p = subprocess.Popen([args.batch, "-j", "1", "-p", "64", "-f", "20", rod, rod], cwd=work, stdout=subprocess.PIPE,
                             stderr=err_file, text=True)
        deadline = time.monotonic() + 600
        text = ""
        while "Estimated work" not in text and p.poll() is None and time.monotonic() < deadline:
            time.sleep(0.1)
            with open(os.path.join(work, "rod-err.txt")) as f:
                text = f.read()
        p.kill()
        p.communicate()
    line = next((l for l in text.splitlines() if l.startswith("Estimated work")), "")
    check("a long sphere-based morph says what it costs before it starts",
          "-q or fewer points (-p)" in line and (" min " in line or " h " in line), text[-800:])

    # A voxel size in the source's units: the grid and what the load costs
    # are told before the conversion; too small a voxel is refused naming -d.
    cube = box(os.path.join(work, "cube.off"), 2, 2, 2)
    code, out, err = run(["-q", "-d", "0.1", "-f", "2", "-o", "v", cube, cube], work)
    lines = err.splitlines()
    told = next((i for i, l in enumerate(lines) if l.startswith("Voxel edge 0.1 (the source's units)")), -1)
    check("-d 0.1 on a cube of side 2: a 25-voxel grid, its cost told before the conversion",
          code == 0 and "Interpolated volume is 25 by 25 by 25 voxels." in err and told >= 0
          and " MB and takes about " in lines[told] and "Sampling" not in "".join(lines[:told]), err)
    code, out, err = run(["-q", "-d", "1e-5", "-f", "2", cube, cube], work)
    check("-d 1e-5: refused before conversion, the hint names -d",
          code == 2 and "(a larger voxel size with -d helps)" in err and "Sampling" not in err, err)
    code, out, err = run(["-d", "-0.5", cube, cube], work)
    check("-d -0.5 is an illegal argument", code == 1 and "Illegal argument `-0.5' for parameter `-d'." in err, err)

    # A read-only output directory: status 4, the message, nothing changed.
    out_dir = os.path.join(work, "out")
    os.makedirs(out_dir)
    with open(os.path.join(out_dir, "m001.off"), "w") as f:
        f.write("an earlier frame")
    os.chmod(work, 0o755)
    os.chmod(out_dir, 0o555)
    try:
        code, out, err = run(["-q", "-p", "20", "-f", "2", "-o", os.path.join(out_dir, "m"), example("icosphere.off"),
                              example("torus.off")], work, preexec_fn=unprivileged())
    finally:
        os.chmod(out_dir, 0o755)
    check("read-only directory: status 4 with the directory named, before any work",
          code == 4 and "error: cannot write into the output directory `%s'" % out_dir in err and "Sampling" not in err,
          err)
    check("read-only directory: nothing written, nothing changed", sorted(os.listdir(out_dir)) == ["m001.off"]
          and open(os.path.join(out_dir, "m001.off")).read() == "an earlier frame" and temporaries(out_dir) == [])

check.finish()
