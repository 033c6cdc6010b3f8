"""The batch tool stopped from outside: SIGINT and SIGTERM stop it after the
file being written (a second signal at once) with 130 or 143; SIGKILL at
random moments never leaves a partial frame under a final name."""
import os
import random
import signal
import subprocess
import tempfile
import time

from batch_support import Checks, cnoff_complete, parse_args, temporaries

args = parse_args()
check = Checks()
MORPH = ["-q", "-p", "40", "-f", "100", os.path.join(args.examples, "icosphere.off"),
         os.path.join(args.examples, "torus.off")]


def start(work, extra=()):
    out = open(os.path.join(work, "stdout.txt"), "w")
    err = open(os.path.join(work, "stderr.txt"), "w")
    p = subprocess.Popen([args.batch] + list(extra) + MORPH, cwd=work, stdout=out, stderr=err)
    return p, out, err


def read(work, name):
    with open(os.path.join(work, name)) as f:
        return f.read()


def wait_for(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            raise SystemExit("timed out waiting for " + what)
        time.sleep(0.02)


def frames(work):
    return sorted(n for n in os.listdir(work) if n.startswith("morph") and n.endswith(".off"))


def stopped_run(signals, expected_status, label):
    """Starts a long morph, sends the signals once a frame is written, and
    checks what the stopped run leaves."""
    with tempfile.TemporaryDirectory() as work:
        p, out, err = start(work)
        wait_for(lambda: read(work, "stdout.txt").count("\n") >= 2, 300, "two frames")
        # Several signals reach a stopped process together, so the second
        # cannot come after a quick exit on the first (under load the sender
        # may be descheduled between two sends). Pending signals are handled
        # in the order of their numbers: SIGINT before SIGTERM.
        if len(signals) > 1:
            p.send_signal(signal.SIGSTOP)
        for s in signals:
            p.send_signal(s)
        if len(signals) > 1:
            p.send_signal(signal.SIGCONT)
        rc = p.wait(600)
        out.close()
        err.close()
        listed = read(work, "stdout.txt").split()
        stderr = read(work, "stderr.txt")
        check("%s: exit status %d" % (label, expected_status), rc == expected_status, "status %d\n%s" % (rc, stderr[-500:]))
        check("%s: stopped long before the end" % label, len(frames(work)) < 100, str(len(frames(work))))
        check("%s: every file listed is there and complete, and no other" % label,
              listed == frames(work) and all(cnoff_complete(os.path.join(work, n)) for n in listed), str(listed))
        check("%s: no temporary file is left" % label, temporaries(work) == [], str(temporaries(work)))
        return listed, stderr


listed, stderr = stopped_run([signal.SIGINT], 130, "SIGINT")
check("SIGINT: says what was written", "Interrupted: %d of 100 frames written" % len(listed) in stderr, stderr[-500:])
stopped_run([signal.SIGTERM], 143, "SIGTERM")
listed, stderr = stopped_run([signal.SIGINT, signal.SIGTERM], 143, "SIGINT then SIGTERM")
check("a second signal stops at once", "Stopped at once" in stderr and "Interrupted:" not in stderr, stderr[-500:])

# SIGKILL at random moments, ten times into the same directory: whatever is
# there under a final name is whole, and the only temporary is the killed
# run's own (earlier runs' temporaries are removed by the next run).
seed = int(time.time())
print("kill moments drawn with seed", seed)
rng = random.Random(seed)
with tempfile.TemporaryDirectory() as work:
    for attempt in range(10):
        p, out, err = start(work)
        wait_for(lambda: "Interpolated volume" in read(work, "stderr.txt"), 300, "the load")
        time.sleep(rng.uniform(0.0, 2.5))  # the moment of the kill, not a result
        p.kill()
        p.wait()
        out.close()
        err.close()
        bad = [n for n in frames(work) if not cnoff_complete(os.path.join(work, n))]
        left = temporaries(work)
        check("kill %d: %d frames present, all complete" % (attempt + 1, len(frames(work))), not bad, str(bad))
        check("kill %d: at most the killed run's temporary is left (%s)" % (attempt + 1, left),
              len(left) <= 1 and all(n.endswith(".tmp-%d" % p.pid) for n in left))

check.finish()
