"""Hostile mesh files given to the real kestrane-batch under an address-space
limit (ulimit -v): each is refused within its deadline with exit 2, naming
the file and the reason, with nothing written and memory bounded. A long
import stops at its deadline, at the first SIGINT or SIGTERM (130, 143), and
with its parent when that is killed: no reader process outlives the run."""
import os
import resource
import signal
import subprocess
import sys
import tempfile
import time

from batch_support import Checks, child_processes, hostile_generator, parse_args, slow_obj, uses_address_sanitizer

args = parse_args()
check = Checks()
GENERATOR = os.path.join(args.src, "scripts", "make-hostile-inputs")
BOX = os.path.join(args.examples, "box.off")
SANITIZED = uses_address_sanitizer(args.batch)

# Files whose reader once grew without bound, spun for ever or failed with
# a misleading reason.
HOSTILE = [
    "ply-ascii-billion-vertices.ply",
    "ply-binary-billion-vertices.ply",
    "ply-ascii-billion-faces.ply",
    "ply-binary-billion-faces.ply",
    "ply-ascii-list-count-2g.ply",
    "ply-binary-list-count-2g.ply",
    "ply-binary-list-count-negative.ply",
    "ply-no-end-header.ply",
    "ply-100000-properties.ply",
    "glb-json-chunk-4g.glb",
]
DEADLINE = 10  # seconds, KESTRANE_IMPORT_SECONDS
MARGIN = 20    # the processor-time limit, the rest of the run, a loaded machine
ADDRESS_SPACE = 2 << 30
PEAK_MEMORY = 1 << 30


def address_space_limit():
    # AddressSanitizer reserves terabytes of address space: no ulimit -v.
    if not SANITIZED:
        resource.setrlimit(resource.RLIMIT_AS, (ADDRESS_SPACE, ADDRESS_SPACE))


def batch_env(seconds=None):
    env = dict(os.environ, ASAN_OPTIONS="detect_leaks=1")
    env.pop("KESTRANE_IMPORT_SECONDS", None)
    if seconds is not None:
        env["KESTRANE_IMPORT_SECONDS"] = str(seconds)
    return env


def start(argv, cwd, seconds=None, limit=True):
    out = open(os.path.join(cwd, "stdout.txt"), "w")
    err = open(os.path.join(cwd, "stderr.txt"), "w")
    p = subprocess.Popen([args.batch] + argv, cwd=cwd, stdout=out, stderr=err, env=batch_env(seconds),
                         preexec_fn=address_space_limit if limit else None)
    out.close()
    err.close()
    return p


def finish(p, cwd, timeout):
    """Waits (killing the run after timeout); returns the status, the
    seconds it took, its peak memory in bytes and its standard error."""
    started = time.monotonic()
    while True:
        pid, status, usage = os.wait4(p.pid, os.WNOHANG)
        if pid == p.pid:
            break
        if time.monotonic() - started > timeout:
            p.kill()
            pid, status, usage = os.wait4(p.pid, 0)
            break
        time.sleep(0.02)
    p.returncode = os.waitstatus_to_exitcode(status)
    with open(os.path.join(cwd, "stderr.txt")) as f:
        err = f.read()
    return p.returncode, time.monotonic() - started, usage.ru_maxrss * 1024, err


def read(path):
    with open(path) as f:
        return f.read()


def alive(pid):
    """Running, not a zombie waiting for whoever reaps orphans."""
    try:
        stat = read("/proc/%d/stat" % pid)
    except OSError:
        return False
    return stat[stat.rindex(")") + 2] != "Z"


def wait_for(predicate, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.01)
    return predicate()


with tempfile.TemporaryDirectory() as work:
    inputs = os.path.join(work, "inputs")
    subprocess.run([sys.executable, GENERATOR, inputs], check=True, stdout=subprocess.DEVNULL)
    figures = []
    for name in HOSTILE:
        out = os.path.join(work, name + ".out")
        os.mkdir(out)
        p = start(["-q", "-f", "2", "-o", os.path.join(out, "m"), name, BOX], inputs, seconds=DEADLINE)
        rc, took, peak, err = finish(p, inputs, DEADLINE + 120)
        figures.append("%-36s %5.2f s %7.1f MB" % (name, took, peak / 1e6))
        lines = [l for l in err.splitlines() if ("`%s'" % name) in l and "could not be read as" in l]
        reason = lines[0].split(": ", 2)[-1] if lines else ""
        check("%s: exit 2" % name, rc == 2, "status %d\n%s" % (rc, err[-600:]))
        check("%s: refused naming the file and the reason" % name,
              lines and reason and "std::bad_alloc" not in reason and "No suitable reader" not in reason, err[-600:])
        check("%s: within the deadline (%.1f s)" % (name, took), took < DEADLINE + MARGIN)
        if not SANITIZED:
            check("%s: peak memory %.0f MB" % (name, peak / 1e6), peak < PEAK_MEMORY)
        check("%s: nothing written" % name, os.listdir(out) == [], str(os.listdir(out)))
    print("\n".join(figures))

    # Sound files read with a small stack (ulimit -s 64): nothing large lives on it.
    generator = hostile_generator(args.src)
    if not SANITIZED:
        for name, data in (("cube.ply", generator.ply_header(generator.BINARY, 8, 6) + generator.binary_cube()),
                           ("cube.glb", generator.gltf_cube(glb=True))):
            with open(os.path.join(work, name), "wb") as f:
                f.write(data)
            p = subprocess.run([args.batch, "-q", "-f", "2", "-o", "small-stack", name, BOX], cwd=work,
                               capture_output=True, text=True, timeout=300, env=batch_env(),
                               preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_STACK, (64 << 10, 64 << 10)))
            check("%s under a 64 KiB stack: exit 0" % name, p.returncode == 0,
                  "status %d\n%s" % (p.returncode, p.stderr[-600:]))

    # A sound file read too slowly for its deadline: refused naming it.
    slow = os.path.join(work, "slow.obj")
    slow_obj(slow)
    out = os.path.join(work, "slow.out")
    os.mkdir(out)
    p = start(["-q", "-f", "2", "-o", os.path.join(out, "m"), slow, BOX], work, seconds=0.3)
    rc, took, peak, err = finish(p, work, 120)
    check("a reader past its deadline: exit 2", rc == 2, "status %d\n%s" % (rc, err[-600:]))
    check("a reader past its deadline: the file and the deadline named",
          "`%s' could not be read as OBJ: reading it took longer than 0.3 s" % slow in err, err[-600:])
    check("a reader past its deadline: stopped at it (%.1f s)" % took, took < 10)
    check("a reader past its deadline: nothing written", os.listdir(out) == [])

    # The first signal during the import stops the run at once, reader and all.
    for sig, status in ((signal.SIGINT, 130), (signal.SIGTERM, 143)):
        label = signal.Signals(sig).name
        p = start(["-q", "-f", "2", "-o", os.path.join(out, "m"), slow, BOX], work)
        readers = []
        wait_for(lambda: "Reading" in read(os.path.join(work, "stderr.txt")), 60)
        wait_for(lambda: readers.extend(child_processes(p.pid)) or readers, 10)
        check("%s: the import runs in a reader process" % label, len(readers) == 1, str(readers))
        p.send_signal(sig)
        signalled = time.monotonic()
        rc, took, peak, err = finish(p, work, 120)
        check("%s: exit %d" % (label, status), rc == status, "status %d\n%s" % (rc, err[-600:]))
        check("%s: stopped at once (%.2f s)" % (label, time.monotonic() - signalled),
              time.monotonic() - signalled < 3)
        check("%s: says the run was interrupted while reading" % label,
              "Interrupted while reading the input files" in err and "error:" not in err, err[-600:])
        check("%s: no reader left" % label, not any(alive(r) for r in readers), str(readers))
        check("%s: nothing written" % label, os.listdir(out) == [], str(os.listdir(out)))

    # A run killed outright takes its reader with it.
    p = start(["-q", "-f", "2", "-o", os.path.join(out, "m"), slow, BOX], work)
    readers = []
    wait_for(lambda: "Reading" in read(os.path.join(work, "stderr.txt")), 60)
    wait_for(lambda: readers.extend(child_processes(p.pid)) or readers, 10)
    p.kill()
    finish(p, work, 60)
    check("SIGKILL: the reader was running", len(readers) == 1, str(readers))
    check("SIGKILL: the reader dies with the run", wait_for(lambda: not any(alive(r) for r in readers), 2),
          str(readers))

check.finish()
