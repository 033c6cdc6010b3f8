"""Every file of a few small morphs against stored checksums, so that a change
to what the programs write is always a deliberate one.

    test_output_checksums.py --bin <build> --src <source> [--update]

--update rewrites the stored checksums from the current build (review the
diff of output_checksums.txt before committing it).
"""
import argparse
import hashlib
import os
import subprocess
import sys
import tempfile

RUNS = [
    ("spheres", ["-p", "20", "-f", "4"], "icosphere.off", "torus.off"),
    ("vrml", ["-v", "-p", "20", "-f", "3"], "box.off", "two_spheres.off"),
    ("quick", ["-q", "-p", "24", "-f", "4"], "cube_coloured.off", "blob_normals.off"),
    ("resolution", ["-r", "2", "-p", "30", "-f", "3"], "torus.off", "box.off"),
    ("plain", ["-a", "0", "-p", "20", "-f", "3"], "icosphere.off", "box.off"),
    ("centres", ["-c", "-p", "20", "-f", "3"], "two_spheres.off", "cube_coloured.off"),
    ("ply", ["-u", "-p", "20", "-f", "3"], "box.off", "torus.off"),
    ("meshes", ["-q", "-p", "20", "-f", "3"], "cube.stl", "icosphere_colours.ply"),
]


def digests(batch, examples, options, source, target):
    with tempfile.TemporaryDirectory() as work:
        argv = [batch, "-o", "m"] + options + [os.path.join(examples, source), os.path.join(examples, target)]
        p = subprocess.run(argv, cwd=work, capture_output=True, text=True, timeout=600)
        if p.returncode != 0:
            raise SystemExit("%s failed (%d):\n%s" % (" ".join(argv), p.returncode, p.stderr))
        out = {}
        for name in sorted(os.listdir(work)):
            with open(os.path.join(work, name), "rb") as f:
                out[name] = hashlib.sha256(f.read()).hexdigest()
        return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--src", required=True)
    parser.add_argument("--update", action="store_true")
    args = parser.parse_args()
    batch = os.path.join(os.path.abspath(args.bin), "kestrane-batch")
    examples = os.path.join(os.path.abspath(args.src), "examples")
    stored_path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "output_checksums.txt")

    found = []
    for label, options, source, target in RUNS:
        for name, digest in digests(batch, examples, options, source, target).items():
            found.append("%s %s %s" % (label, name, digest))
    if args.update:
        with open(stored_path, "w") as f:
            f.write("# run file sha256, written by test_output_checksums.py --update\n")
            f.write("\n".join(found) + "\n")
        print("wrote %d checksums" % len(found))
        return 0
    with open(stored_path) as f:
        stored = [line.strip() for line in f if line.strip() and not line.startswith("#")]
    missing = sorted(set(stored) - set(found))
    extra = sorted(set(found) - set(stored))
    for line in missing:
        print("FAIL expected:", line)
    for line in extra:
        print("FAIL found:   ", line)
    if missing or extra:
        print("the written files changed; if that is intended, run with --update and review the diff")
        return 1
    print("ok: %d files match their stored checksums" % len(found))
    return 0


if __name__ == "__main__":
    sys.exit(main())
