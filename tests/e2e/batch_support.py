"""Shared by the batch tool's end-to-end tests: running it, reading frames back."""
import argparse
import os
import subprocess


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument("--bin", required=True)
    p.add_argument("--src", required=True)
    a = p.parse_args()
    a.batch = os.path.abspath(os.path.join(a.bin, "kestrane-batch"))
    a.examples = os.path.abspath(os.path.join(a.src, "examples"))
    return a


class Checks:
    def __init__(self):
        self.failures = []
        self.passed = 0

    def __call__(self, name, condition, detail=""):
        print(("ok   " if condition else "FAIL ") + name, flush=True)
        if condition:
            self.passed += 1
        else:
            self.failures.append(name)
            if detail:
                print(detail)

    def finish(self):
        print("%d passed, %d failed" % (self.passed, len(self.failures)))
        raise SystemExit(1 if self.failures else 0)


def cnoff_complete(path):
    """True when the file is a whole CNOFF frame: counts, every vertex and
    triangle line in shape, nothing after the last one."""
    try:
        with open(path) as f:
            lines = f.read().split("\n")
        if lines[0] != "CNOFF":
            return False
        nv, nt, ne = (int(x) for x in lines[1].split())
        for line in lines[2:2 + nv]:
            if len(line.split()) != 10:
                return False
        for line in lines[2 + nv:2 + nv + nt]:
            parts = line.split()
            if len(parts) != 4 or parts[0] != "3":
                return False
        return ne == 0 and lines[2 + nv + nt:] == [""]
    except (OSError, ValueError, IndexError):
        return False


def temporaries(directory):
    return sorted(n for n in os.listdir(directory) if n.startswith(".") and ".tmp-" in n)


def unprivileged():
    """preexec_fn that runs the child as nobody when the tests run as root,
    so that directory permissions bind it."""
    if os.geteuid() != 0:
        return None

    def drop():
        os.setgroups([])
        os.setgid(65534)
        os.setuid(65534)
    return drop


def uses_address_sanitizer(program):
    out = subprocess.run(["ldd", program], capture_output=True, text=True).stdout
    return "libasan" in out


def child_processes(pid):
    """The live processes whose parent is pid (an import's reader, say)."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                stat = f.read()
        except OSError:
            continue
        fields = stat[stat.rindex(")") + 2:].split()
        if int(fields[1]) == pid and fields[0] != "Z":
            found.append(int(entry))
    return found


def slow_obj(path):
    """A sound OBJ that the reader takes seconds over: 800,000 vertices and
    1,600,000 triangles, about 50 MB."""
    n = 800000
    with open(path, "w") as f:
        f.writelines("v %d.5 %d.25 %d.125\n" % (i % 97, i % 89, i % 83) for i in range(n))
        f.writelines("f %d %d %d\n" % (i % n + 1, (i * 7 + 1) % n + 1, (i * 13 + 2) % n + 1) for i in range(2 * n))


def hostile_generator(src):
    """scripts/make-hostile-inputs as a namespace of its tables and makers."""
    import runpy
    import types
    return types.SimpleNamespace(**runpy.run_path(os.path.join(src, "scripts", "make-hostile-inputs")))
