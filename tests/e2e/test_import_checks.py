"""kestrane-batch on hostile mesh files (scripts/make-hostile-inputs) and on
pipes, directories and links: each is refused within seconds with exit 2 and
a message naming the file and the fault, nothing is written, and no file
outside the model's folder is opened. Sound files that merely look odd (a
byte-order mark, CRLF line ends) morph as any other."""
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from batch_support import Checks, hostile_generator, parse_args, uses_address_sanitizer  # noqa: E402

args = parse_args()
check = Checks()


hostile = hostile_generator(args.src)
BOX = os.path.join(args.examples, "box.off")

# What the refusal must say, for the inputs whose fault is known here.
REASONS = {
    "ply-ascii-billion-vertices.ply": "declares 1000000000 vertices but holds",
    "ply-binary-billion-vertices.ply": "declares 1000000000 vertices but holds",
    "ply-ascii-billion-faces.ply": "declares 1000000000 faces but holds",
    "ply-binary-billion-faces.ply": "declares 1000000000 faces but holds",
    "ply-ascii-list-count-2g.ply": "list of 2147483648 values",
    "ply-binary-list-count-2g.ply": "list of 2147483648 values",
    "ply-binary-list-count-negative.ply": "list count of -5",
    "ply-no-end-header.ply": "no end_header",
    "ply-100000-properties.ply": "property lines",
    "ply-binary-4g-plus-8-vertices.ply": "4294967304 vertices, beyond the 32-bit",
    "stl-billion-triangles.stl": "declares 1000000000 triangles but holds",
    "glb-json-chunk-4g.glb": "JSON chunk declares 4294967280 bytes",
    "glb-total-4g.glb": "length of 4294967295 bytes",
    "glb-buffer-beyond-bin.glb": "declares 1000000168 bytes but the BIN chunk holds 168",
    "glb-gltf-1.glb": "is glTF 1.0; only glTF 2.0 is read",
    "gltf-version-1.gltf": "is glTF 1.0; only glTF 2.0 is read",
    "gltf-buffer-passwd.gltf": "buffer `../../../../etc/passwd' lies outside the model's folder",
    "gltf-buffer-absolute.gltf": "buffer `/etc/passwd' is an absolute path",
    "gltf-buffer-escaped-dots.gltf": "lies outside the model's folder",
    "gltf-buffer-scheme.gltf": "buffer `file:///etc/passwd' is not a file in the model's folder",
    "gltf-image-outside.gltf": "image `../../../../etc/passwd' lies outside",
    "nested/deep/gltf-buffer-outside.gltf": "buffer `../../outside.bin' lies outside the model's folder",
    "gltf-index-99.gltf": "names a vertex its object does not have (index 99 of 8",
    "gltf-index-ffffffff.gltf": "(index 4294967295 of 8",
    "gltf-index-count-35.gltf": "35 triangle corners, not a multiple of 3",
    "obj-nul-vertex.obj": "line 3 holds a NUL byte",
    "obj-utf16.obj": "is UTF-16 text; save it as UTF-8",
    "obj-mtllib-passwd.obj": "material library `../../../../etc/passwd' lies outside",
    "obj-mtllib-absolute.obj": "material library `/etc/passwd' is an absolute path",
    "fbx-binary.fbx": "FBX files are not read",
    "collada.dae": "COLLADA files are not read",
    "cube.3ds": "3DS files are not read",
}

# Files no run may open, whatever the model names.
FORBIDDEN = {"/etc/passwd"}

# Each refusal fits in 1 GB of address space (a sanitizer's shadow does not).
MEMORY_LIMIT = None if uses_address_sanitizer(args.batch) else 1 << 30


def limited():
    if MEMORY_LIMIT:
        resource.setrlimit(resource.RLIMIT_AS, (MEMORY_LIMIT, MEMORY_LIMIT))


def run(argv, cwd, stdin=None, trace=None, timeout=60):
    command = [args.batch] + argv
    env = dict(os.environ)
    if trace:
        command = ["strace", "-f", "-qq", "-e", "trace=openat", "-o", trace] + command
        env["ASAN_OPTIONS"] = "detect_leaks=0"  # the leak checker cannot run under ptrace
    try:
        p = subprocess.run(command, cwd=cwd, stdin=stdin, capture_output=True, text=True, timeout=timeout,
                           env=env, preexec_fn=None if trace else limited)
    except subprocess.TimeoutExpired:
        return None, "", "timed out"
    return p.returncode, p.stdout, p.stderr


def opened_paths(trace, cwd):
    """Every path an openat asked for, made absolute."""
    paths = []
    with open(trace) as f:
        for line in f:
            if "openat(" not in line or '"' not in line:
                continue
            path = line.split('"')[1]
            paths.append(os.path.realpath(os.path.join(cwd, path)))
    return paths


def refused(name, path, cwd, reason, out, stdin=None, timeout=60):
    code, stdout, stderr = run(["-f", "2", "-o", os.path.join(out, "m"), path, BOX], cwd, stdin=stdin,
                               timeout=timeout)
    text = stdout + stderr
    check(name + ": exit 2", code == 2, "exit %s\n%s" % (code, text[-600:]))
    check(name + ": names the file", "`%s'" % path in text, text[-600:])
    if reason:
        check(name + ": says why", reason in text, text[-600:])
    check(name + ": writes nothing", os.listdir(out) == [], str(os.listdir(out)))


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


have_strace = shutil.which("strace") is not None
with tempfile.TemporaryDirectory() as work:
    inputs = os.path.join(work, "in")
    out = os.path.join(work, "out")
    os.makedirs(inputs)
    for name, make in hostile.INPUTS + hostile.SOUND:
        path = os.path.join(inputs, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(hostile.contents(make))
    FORBIDDEN.add(os.path.realpath(os.path.join(inputs, "outside.bin")))

    # Every hostile input: refused, named, nothing written; the ones that
    # name files outside their folder under strace as well.
    for name, _ in hostile.INPUTS:
        if name.endswith(".bin"):
            continue  # not a model: what the nested one reaches for
        refused(name, name, inputs, REASONS.get(name), fresh(out))
    if have_strace:
        for name in [n for n in REASONS if "outside" in REASONS[n] or "absolute" in REASONS[n] or "%" in n
                     or "scheme" in n]:
            trace = os.path.join(work, "trace")
            code, _, _ = run(["-f", "2", "-o", os.path.join(fresh(out), "m"), name, BOX], inputs, trace=trace)
            reached = [p for p in opened_paths(trace, inputs) if p in FORBIDDEN]
            check(name + ": opens nothing outside the model's folder", code == 2 and not reached, str(reached))
    else:
        print("skip the strace checks: no strace")

    # Sound files that look odd read as the text they are.
    for name, _ in hostile.SOUND:
        code, stdout, stderr = run(["-f", "2", "-o", os.path.join(fresh(out), "m"), name, BOX], inputs)
        frames = sorted(n for n in os.listdir(out) if n.endswith(".off"))
        check(name + ": morphs", code == 0 and len(frames) == 2, "exit %s %s\n%s" % (code, frames, stderr[-600:]))

    # Referenced files that are pipes or links out of the folder; inputs
    # that are not files.
    model = os.path.join(work, "model")
    os.makedirs(model)
    with open(os.path.join(work, "outside.mtl"), "w") as f:
        f.write("newmtl red\nKd 1 0 0\n")
    os.mkfifo(os.path.join(model, "pipe.bin"))
    os.mkfifo(os.path.join(model, "pipe.mtl"))
    os.symlink(os.path.join(inputs, "outside.bin"), os.path.join(model, "link.bin"))
    os.symlink("../outside.mtl", os.path.join(model, "link.mtl"))
    FORBIDDEN.add(os.path.realpath(os.path.join(work, "outside.mtl")))
    cases = [
        ("fifo-buffer.gltf", hostile.gltf_cube(uri="pipe.bin"), "buffer `pipe.bin' is a pipe, not a file"),
        ("link-buffer.gltf", hostile.gltf_cube(uri="link.bin"), "buffer `link.bin' lies outside the model's folder"),
        ("fifo-mtl.obj", ("mtllib pipe.mtl\n" + hostile.OBJ_CUBE).encode(),
         "material library `pipe.mtl' is a pipe, not a file"),
        ("link-mtl.obj", ("mtllib link.mtl\n" + hostile.OBJ_CUBE).encode(),
         "material library `link.mtl' lies outside the model's folder"),
    ]
    for name, data, reason in cases:
        with open(os.path.join(model, name), "wb") as f:
            f.write(data)
        refused(name, name, model, reason, fresh(out), timeout=30)
        if have_strace:
            trace = os.path.join(work, "trace")
            code, _, _ = run(["-f", "2", "-o", os.path.join(fresh(out), "m"), name, BOX], model, trace=trace,
                             timeout=30)
            reached = [p for p in opened_paths(trace, model) if p in FORBIDDEN]
            check(name + ": opens nothing outside the model's folder", code == 2 and not reached, str(reached))

    refused("a directory as the input", "model", work, "is a directory, not a file", fresh(out))
    with open(BOX, "rb") as box:
        reader, writer = os.pipe()
        feeder = threading.Thread(target=lambda: (os.write(writer, box.read()), os.close(writer)))
        feeder.start()
        refused("/dev/stdin from a pipe", "/dev/stdin", work, "is a pipe, not a file", fresh(out), stdin=reader)
        os.close(reader)
        feeder.join()

    # A FIFO named as the input is refused before anything opens it.
    os.mkfifo(os.path.join(work, "input.fifo"))
    code, stdout, stderr = run(["-f", "2", "-o", os.path.join(fresh(out), "m"), "input.fifo", BOX], work, timeout=10)
    check("a FIFO as the input: exit 2, named as a pipe", code == 2 and "is a pipe, not a file" in stderr,
          (stderr or "")[-600:])

check.finish()
