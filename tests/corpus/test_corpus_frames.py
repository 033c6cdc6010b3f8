"""Every frame of morphs between real meshes written by others is a sound
surface: closed, consistently oriented, every edge in exactly two triangles,
no triangle repeating a corner, facing outwards.

Morphs each mesh of the corpus (scripts/fetch-corpus) into a bundled example,
quick and sphere-based, and checks every frame with mesh_check.py, which
shares no code with the programs. A mesh that is not closed must give sound
frames too, or be refused with a message and exit status 2.

    test_corpus_frames.py --bin <build dir> --src <source dir> [--corpus dir] [--jobs n]

Exits 77 (skipped) when the corpus is not there.
"""
import argparse
import os
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mesh_check  # noqa: E402

SKIPPED = 77
TARGETS = ["icosphere.off", "torus.off", "two_spheres.off"]
# (options, frames) of every run: the point counts differ so that surfaces
# land on the voxel grid in different ways.
CLOSED_RUNS = [(["-q", "-p", "23"], 3), (["-p", "36"], 3)]
OTHER_RUNS = [(["-q", "-p", "23"], 3)]


def corpus_meshes(corpus):
    with open(os.path.join(corpus, "MANIFEST")) as f:
        return [line.split()[1] for line in f if line.strip() and not line.startswith("#")]


def morph(batch, source, target, options, frames):
    """Runs one morph; returns (exit status, stderr, [(frame, report or error)])."""
    with tempfile.TemporaryDirectory() as work:
        argv = [batch, "-o", "m", "-f", str(frames)] + options + [source, target]
        try:
            p = subprocess.run(argv, cwd=work, capture_output=True, text=True, timeout=600)
        except subprocess.TimeoutExpired:
            return -1, "timed out", []
        checked = []
        for i in range(1, frames + 1):
            path = os.path.join(work, "m%03d.off" % i)
            if not os.path.exists(path):
                continue
            try:
                checked.append((i, mesh_check.check_file(path)))
            except (OSError, mesh_check.MeshError) as e:
                checked.append((i, e))
        return p.returncode, p.stderr, checked


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--src", required=True)
    parser.add_argument("--corpus", default=os.environ.get("KESTRANE_CORPUS"))
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    args = parser.parse_args()
    src = os.path.abspath(args.src)
    corpus = args.corpus or os.path.join(src, "corpus", "cgal")
    if not os.path.exists(os.path.join(corpus, "MANIFEST")):
        print("no corpus at %s (scripts/fetch-corpus fetches it): skipped" % corpus)
        return SKIPPED
    batch = os.path.join(os.path.abspath(args.bin), "kestrane-batch")

    runs = []
    for n, name in enumerate(corpus_meshes(corpus)):
        path = os.path.join(corpus, name)
        kind = mesh_check.classify_input(path)
        target = os.path.join(src, "examples", TARGETS[n % len(TARGETS)])
        for options, frames in CLOSED_RUNS if kind.label == "closed" else OTHER_RUNS:
            runs.append((name, kind.label, path, target, options, frames))

    def one(run):
        name, label, path, target, options, frames = run
        return run, morph(batch, path, target, options, frames)

    failures, frames_checked, zero_area, needles, refused, empty = [], 0, 0, 0, [], 0
    with ThreadPoolExecutor(max_workers=args.jobs) as pool:
        for (name, label, _, target, options, frames), (code, err, checked) in pool.map(one, runs):
            what = "%s (%s) -> %s %s" % (name, label, os.path.basename(target), " ".join(options))
            if code != 0:
                # Only a mesh that is not closed may be refused, and then with a reason.
                reason = err.strip().splitlines()[-1] if err.strip() else ""
                if label != "closed" and code == 2 and reason:
                    refused.append("%s: %s" % (what, reason))
                else:
                    failures.append("%s: exit %d %s" % (what, code, reason))
                continue
            if len(checked) != frames:
                failures.append("%s: %d of %d frames written" % (what, len(checked), frames))
            for i, report in checked:
                frames_checked += 1
                if isinstance(report, Exception):
                    failures.append("%s frame %d: unreadable: %s" % (what, i, report))
                    continue
                zero_area += report.zero_area
                needles += report.angle_under_1
                problems = report.problems()
                # An empty frame is a sound one: a quick morph between shapes
                # that do not overlap fades out on the way, and an open
                # surface may bound nothing (the programs warn about it). The
                # ends of a closed surface's morph never are.
                if problems == ["no faces"] and (label != "closed" or i not in (1, frames)):
                    empty += 1
                    continue
                if problems:
                    failures.append("%s frame %d: %s" % (what, i, ", ".join(problems)))

    print("runs %d, frames checked %d (%d empty), refused %d, zero-area triangles %d, angles under 1 degree %d"
          % (len(runs), frames_checked, empty, len(refused), zero_area, needles))
    for line in refused:
        print("refused:", line)
    for line in failures:
        print("FAIL", line)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
