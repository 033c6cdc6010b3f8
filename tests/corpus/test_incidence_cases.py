"""Surfaces whose faces lie in, or whose corners touch, the planes and rows of
the voxel grid: at every point count from 10 to 80, plain and antialiased,
the first frame is one closed, sound piece (cases/tet.off: a tetrahedron with
three faces in coordinate planes; cases/corner.off: a box with a corner cut
away, faces along grid planes).

    test_incidence_cases.py --bin <build dir> --src <source dir>
"""
import argparse
import os
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mesh_check  # noqa: E402

CASES = ["tet.off", "corner.off"]
MODES = [[], ["-a", "0"]]


def first_frame(batch, case, target, options, points):
    with tempfile.TemporaryDirectory() as work:
        argv = [batch, "-q", "-f", "2", "-p", str(points), "-o", "m"] + options + [case, target]
        p = subprocess.run(argv, cwd=work, capture_output=True, text=True, timeout=300)
        if p.returncode != 0:
            return "exit %d: %s" % (p.returncode, p.stderr.strip()[-200:])
        report = mesh_check.check_file(os.path.join(work, "m001.off"))
        problems = report.problems()
        if report.pieces != 1:
            problems.append("%d pieces" % report.pieces)
        return ", ".join(problems)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--src", required=True)
    args = parser.parse_args()
    batch = os.path.join(os.path.abspath(args.bin), "kestrane-batch")
    here = os.path.dirname(os.path.abspath(__file__))
    target = os.path.join(os.path.abspath(args.src), "examples", "icosphere.off")
    runs = [(case, options, points) for case in CASES for options in MODES for points in range(10, 81)]

    def one(run):
        case, options, points = run
        return run, first_frame(batch, os.path.join(here, "cases", case), target, options, points)

    failures = []
    with ThreadPoolExecutor(max_workers=os.cpu_count() or 1) as pool:
        for (case, options, points), problem in pool.map(one, runs):
            if problem:
                failures.append("%s %s -p %d: %s" % (case, " ".join(options) or "antialiased", points, problem))
    print("%d first frames checked" % len(runs))
    for line in failures:
        print("FAIL", line)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
