"""The README's pictures are what scripts/make-pictures makes now: it runs
the script into a scratch directory and compares every picture with the one
stored under docs/pictures (a change of the program's pictures needs the
script run again and its pictures committed)."""
import argparse
import os
import subprocess
import sys
import tempfile

parser = argparse.ArgumentParser()
parser.add_argument("--bin", required=True)
parser.add_argument("--src", required=True)
args = parser.parse_args()

stored = os.path.join(args.src, "docs", "pictures")
failures = 0
with tempfile.TemporaryDirectory() as out:
    p = subprocess.run([sys.executable, os.path.join(args.src, "scripts", "make-pictures"), "--bin", args.bin,
                        "--out", out], capture_output=True, text=True, timeout=900)
    print(p.stdout[-2000:], p.stderr[-2000:])
    if p.returncode != 0:
        print("FAIL make-pictures exited with", p.returncode)
        sys.exit(1)
    made = sorted(os.listdir(out))
    if made != sorted(os.listdir(stored)):
        print("FAIL the script makes %s, docs/pictures holds %s" % (made, sorted(os.listdir(stored))))
        sys.exit(1)
    for name in made:
        # Counted with a small colour tolerance: the same scene drawn by the
        # same software renderer, whatever the build.
        r = subprocess.run(["compare", "-metric", "AE", "-fuzz", "2%", os.path.join(out, name),
                            os.path.join(stored, name), "null:"], capture_output=True, text=True)
        differing = float(r.stderr.split()[0]) if r.stderr.split() else -1
        ok = r.returncode in (0, 1) and 0 <= differing <= 100
        print(("ok   " if ok else "FAIL ") + "%s: %s pixels differ" % (name, r.stderr.strip()))
        failures += not ok
print("%d failed" % failures)
sys.exit(1 if failures else 0)
