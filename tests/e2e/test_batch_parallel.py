"""A morph shared out in frame ranges (-s) under GNU parallel writes the very
files of a whole run, and the files do not depend on the number of threads
(-j)."""
import argparse
import hashlib
import os
import subprocess
import sys
import tempfile

parser = argparse.ArgumentParser()
parser.add_argument("--bin", required=True)
parser.add_argument("--src", required=True)
args = parser.parse_args()
BATCH = os.path.join(os.path.abspath(args.bin), "kestrane-batch")
EXAMPLES = os.path.join(os.path.abspath(args.src), "examples")
MORPH = ["-f", "7", "-p", "26", os.path.join(EXAMPLES, "box.off"), os.path.join(EXAMPLES, "torus.off")]


def digests(directory):
    out = {}
    for name in sorted(os.listdir(directory)):
        with open(os.path.join(directory, name), "rb") as f:
            out[name] = hashlib.sha256(f.read()).hexdigest()
    return out


def run(argv, cwd):
    p = subprocess.run(argv, cwd=cwd, capture_output=True, text=True, timeout=900)
    if p.returncode != 0:
        sys.exit("FAIL %s (%d):\n%s" % (" ".join(argv), p.returncode, p.stderr[-2000:]))
    return p.stdout


failures = []
with tempfile.TemporaryDirectory() as work:
    runs = {name: os.path.join(work, name) for name in ("one", "two", "parts")}
    for d in runs.values():
        os.makedirs(d)
    run([BATCH, "-j", "1"] + MORPH, runs["one"])
    names = run([BATCH, "-j", "2"] + MORPH, runs["two"]).split()
    run(["parallel", "--will-cite", "-j", "2", BATCH, "-j", "1", "-s", "{}"] + MORPH + [":::", "1-3", "4-7"],
        runs["parts"])
    whole = digests(runs["one"])
    if sorted(whole) != ["morph%03d.off" % i for i in range(1, 8)] + ["sphere001.sph", "sphere007.sph"]:
        failures.append("unexpected files: %s" % sorted(whole))
    if digests(runs["two"]) != whole:
        failures.append("-j 2 wrote other files than -j 1")
    if names != sorted(whole, key=lambda n: (n.startswith("sphere"), n)):
        failures.append("names not in frame order on standard output: %s" % names)
    if digests(runs["parts"]) != whole:
        failures.append("two ranges under GNU parallel wrote other files than the whole run")

for f in failures:
    print("FAIL", f)
print("ok" if not failures else "%d failures" % len(failures))
sys.exit(1 if failures else 0)
