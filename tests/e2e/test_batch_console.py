"""What kestrane-batch says on standard error: a log gets a line per stage
and per frame, a terminal (a pseudo-terminal here) one line rewritten in
place, -w only warnings and errors; an unwritable output directory fails
before any work; -h describes the batch tool itself."""
import argparse
import os
import pty
import re
import subprocess
import sys
import tempfile
import time

parser = argparse.ArgumentParser()
parser.add_argument("--bin", required=True)
parser.add_argument("--src", required=True)
args = parser.parse_args()

BATCH = os.path.abspath(os.path.join(args.bin, "kestrane-batch"))
VIEWER = os.path.abspath(os.path.join(args.bin, "kestrane"))
EXAMPLES = os.path.abspath(os.path.join(args.src, "examples"))
MORPH = ["-p", "20", os.path.join(EXAMPLES, "icosphere.off"), os.path.join(EXAMPLES, "torus.off")]
failures = []


def check(name, condition, detail=""):
    print(("ok   " if condition else "FAIL ") + name)
    if not condition:
        failures.append(name)
        if detail:
            print(detail)


def env():
    return dict(os.environ, ASAN_OPTIONS="detect_leaks=1")


def run(argv, cwd, preexec_fn=None):
    p = subprocess.run([BATCH] + argv, cwd=cwd, capture_output=True, text=True, timeout=600, env=env(),
                       preexec_fn=preexec_fn)
    return p.returncode, p.stdout, p.stderr


def run_on_terminal(argv, cwd):
    """Runs with standard error on a pseudo-terminal; returns (status, what the terminal got)."""
    master, slave = pty.openpty()
    p = subprocess.Popen([BATCH] + argv, cwd=cwd, stdout=subprocess.DEVNULL, stderr=slave, env=env())
    os.close(slave)
    data = b""
    while True:
        try:
            chunk = os.read(master, 65536)
        except OSError:  # the program closed its end
            break
        if not chunk:
            break
        data += chunk
    os.close(master)
    return p.wait(timeout=600), data.decode(errors="replace")


with tempfile.TemporaryDirectory() as work:
    # A log: a 20-frame morph in about 30 lines, none per polygon or slice.
    code, out, err = run(["-f", "20"] + MORPH, work)
    lines = err.splitlines()
    check("20-frame morph exits 0", code == 0, err)
    check("at most 30 lines on standard error (%d)" % len(lines), len(lines) <= 30, err)
    check("nothing per polygon or per slice", "polygon" not in err and "so far" not in err, err)
    frames = [l for l in lines if l.startswith("Frame ")]
    check("one line per frame", [int(l.split()[1]) for l in frames] == list(range(1, 21)), err)
    check("each frame line tells the time", all(re.search(r"\(elapsed \d+:\d\d, remaining \d+:\d\d\)$", l)
                                                for l in frames), err)
    check("one line per stage", lines.count("Performing distance transform on source volume") == 1
          and sum(l.startswith("Sampling `") for l in lines) == 2, err)
    check("no carriage returns in a log", "\r" not in err)

    # A terminal: one line rewritten in place.
    code, text = run_on_terminal(["-f", "5", "-o", "t"] + MORPH, work)
    updates = text.count("\r")
    check("on a terminal the morph exits 0", code == 0, text)
    check("the progress line is rewritten in place (%d updates)" % updates, updates > 20, text)
    check("and only the summary ends a line", text.count("\n") == 1 and text.endswith("files written in %s\r\n"
          % re.findall(r"\d+:\d\d", text)[-1]), repr(text[-300:]))
    check("the line shows the stage, the frame, its percentage, elapsed and remaining time",
          re.search(r"\rMorphing: frame 3 of 5 +\d+%  elapsed \d+:\d\d  remaining \d+:\d\d\x1b\[K", text)
          is not None, repr(text[:2000]))

    # Quiet: a clean run says nothing; a failure still says why.
    code, out, err = run(["-w", "-f", "3", "-o", "w"] + MORPH, work)
    check("-w: a clean run prints nothing on standard error", code == 0 and err == "" and "w003.off" in out, err)
    code, out, err = run(["-w", os.path.join(work, "nothing.off"), MORPH[-1]], work)
    check("-w: errors are still printed", code == 2 and err.startswith("error: `"), err)

    # An output directory that cannot be written: exit 4 before any work.
    blocked = os.path.join(work, "blocked")
    os.makedirs(blocked)
    os.chmod(blocked, 0o555)
    os.chmod(work, 0o777)
    drop = None
    if os.geteuid() == 0:  # root writes anywhere: run as nobody so that the mode binds
        def drop():
            os.setgroups([])
            os.setgid(65534)
            os.setuid(65534)
    started = time.monotonic()
    code, out, err = run(["-o", os.path.join(blocked, "m"), "-f", "50", "-p", "200"] + MORPH[2:], work, drop)
    took = time.monotonic() - started
    print("the unwritable directory was refused after %.2f s" % took)
    check("unwritable output directory: exit 4", code == 4, err)
    check("before any analysis, with the directory and the reason",
          err == "error: cannot write into the output directory `%s': Permission denied\n" % blocked, err)
    check("nothing written there", os.listdir(blocked) == [])

    # Help: the batch tool's own defaults, formats and exit statuses.
    code, out, err = run(["-h"], work)
    check("-h exits 0", code == 0, err)
    for text in ("morph", "-{W|w}", "-{U|u}", ".ply", "STL", "OBJ", "glTF", "Exit status",
                 "4  an output directory or file could not be written"):
        check("-h mentions %s" % text, text in out, out)
    check("-h gives morph as the default base", re.search(r"output file name base +morph\n", out) is not None, out)
    viewer = subprocess.run([VIEWER, "-h"], capture_output=True, text=True, timeout=60)
    check("the viewer's help is its own", viewer.returncode == 0 and "no output\n" in viewer.stdout
          and "PLY" not in viewer.stdout, viewer.stdout)

print("%d failed" % len(failures))
sys.exit(1 if failures else 0)
