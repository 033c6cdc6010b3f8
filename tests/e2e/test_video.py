"""kestrane-batch --video with no display: ffprobe finds every frame at the
size and codec the name asks for; bad options are refused as a bad command
line; an output that cannot be written, a write that fails half-way and an
interrupt leave nothing behind."""
import json
import os
import resource
import signal
import subprocess
import tempfile
import time

from batch_support import Checks, parse_args, temporaries

args = parse_args()
check = Checks()
SOURCE = os.path.join(args.examples, "icosphere.off")
TARGET = os.path.join(args.examples, "torus.off")
NO_DISPLAY = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
# Under AddressSanitizer: what OSMesa keeps to the end is its own.
NO_DISPLAY["LSAN_OPTIONS"] = "suppressions=%s:print_suppressions=0" % os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "video-leaks.supp")


def batch(work, *options, limit_bytes=None):
    def limit():
        if limit_bytes is not None:
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit_bytes, limit_bytes))
    return subprocess.run([args.batch] + list(options), cwd=work, env=NO_DISPLAY, capture_output=True, text=True,
                          timeout=600, preexec_fn=limit)


def probe(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                          "stream=codec_name,width,height,pix_fmt,nb_read_frames", "-of", "json", path],
                         capture_output=True, text=True)
    streams = json.loads(out.stdout or "{}").get("streams", [])
    return streams[0] if streams else {}


def video_built():
    with tempfile.TemporaryDirectory() as work:
        r = batch(work, "--video", "v.mp4", SOURCE, TARGET)
        return "built without video" not in r.stderr


def videos():
    """One run a container: 20 frames, each where the name put it, nothing else.
    (FFmpeg's GIF decoder hands its palette pictures over as bgra.)"""
    cases = [("out/morph.mp4", (), "h264", 1280, 720, "yuv420p"),
             ("morph.webm", ("--video-size", "640x360", "--turntable"), "vp9", 640, 360, "yuv420p"),
             ("morph.gif", ("--video-size", "480x270", "--turntable"), "gif", 480, 270, "bgra")]
    for name, extra, codec, width, height, pixels in cases:
        with tempfile.TemporaryDirectory() as work:
            os.makedirs(os.path.join(work, "out"))
            r = batch(work, "-q", "--video", name, *extra, SOURCE, TARGET)
            check("%s: exit 0" % name, r.returncode == 0, r.stderr[-2000:])
            check("%s: standard output names the video alone" % name, r.stdout == name + "\n", r.stdout)
            s = probe(os.path.join(work, name))
            check("%s: %s, %dx%d, %s, 20 frames" % (name, codec, width, height, pixels),
                  (s.get("codec_name"), s.get("width"), s.get("height"), s.get("pix_fmt"), s.get("nb_read_frames"))
                  == (codec, width, height, pixels, "20"), str(s))
            lines = [l for l in r.stderr.splitlines() if l.startswith("Video frame ")]
            check("%s: a progress line a frame" % name,
                  lines == ["Video frame %d of 20 into `%s'" % (i, name) for i in range(1, 21)], "\n".join(lines))
            left = sorted(os.listdir(work)) + sorted(os.listdir(os.path.join(work, "out")))
            check("%s: no frame files, no temporaries" % name,
                  sorted(left) == sorted(["out", os.path.basename(name)]), str(left))


def with_frames_and_range():
    """Beside CNOFF frames, and over part of the frames: the video holds the run's frames."""
    with tempfile.TemporaryDirectory() as work:
        r = batch(work, "-q", "-f", "8", "-s", "3-6", "-o", "m", "--video", "part.mp4", "--fps", "12",
                  "--video-size", "320x240", SOURCE, TARGET)
        check("-s 3-6 with frames: exit 0", r.returncode == 0, r.stderr[-2000:])
        check("the four frame files and the video are named",
              r.stdout.split() == ["m003.off", "m004.off", "m005.off", "m006.off", "part.mp4"], r.stdout)
        s = probe(os.path.join(work, "part.mp4"))
        check("the video holds frames 3 to 6", s.get("nb_read_frames") == "4", str(s))
        rate = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "stream=r_frame_rate", "-of", "csv=p=0",
                               os.path.join(work, "part.mp4")], capture_output=True, text=True).stdout.strip()
        check("--fps sets the video's rate", rate == "12/1", rate)


def refused():
    # The values themselves are the unit tests' (video_options_test.cpp).
    bad = [("--video", "morph.avi"), ("--video-size", "641x480", "--video", "v.mp4"), ("--turntable",),
           ("--video",)]
    with tempfile.TemporaryDirectory() as work:
        for options in bad:
            r = batch(work, *options, SOURCE, TARGET) if options != ("--video",) else batch(work, "--video")
            check("refused with status 1: %s" % " ".join(options), r.returncode == 1, r.stderr)
            first = r.stderr.splitlines()[0] if r.stderr else ""
            check("  and said so: %s" % first, first.startswith("Illegal argument `") or "go with --video" in first,
                  r.stderr)
        check("nothing written by refused runs", os.listdir(work) == [], str(os.listdir(work)))
    r = subprocess.run([args.batch, "--help"], capture_output=True, text=True)
    for option in ("--video {file}", "--video-size {WxH}", "--turntable", "--viewer-camera", "'{file}.gif'"):
        check("--help lists %s" % option, option in r.stdout)


def unwritable():
    with tempfile.TemporaryDirectory() as work:
        r = batch(work, "-q", "--video", os.path.join(work, "missing", "v.mp4"), SOURCE, TARGET)
        check("a missing directory: exit 4 before any work", r.returncode == 4 and "Sampling" not in r.stderr,
              r.stderr)
        os.makedirs(os.path.join(work, "v.mp4"))
        r = batch(work, "-q", "--video", "v.mp4", SOURCE, TARGET)
        check("a directory of the video's name: exit 4", r.returncode == 4, r.stderr)
        check("  the directory is untouched", os.listdir(os.path.join(work, "v.mp4")) == [])
        # A file size limit fails the write half-way (EFBIG): the error, no
        # temporary, and the previous video of that name stays.
        with open(os.path.join(work, "old.mp4"), "wb") as f:
            f.write(b"previous")
        r = batch(work, "-q", "--video", "old.mp4", SOURCE, TARGET, limit_bytes=20000)
        check("a write failing half-way: exit 4", r.returncode == 4, r.stderr[-1000:])
        check("  the error names the video", "Could not write `old.mp4'" in r.stderr, r.stderr[-1000:])
        check("  no temporary is left", temporaries(work) == [], str(temporaries(work)))
        with open(os.path.join(work, "old.mp4"), "rb") as f:
            check("  the previous file is untouched", f.read() == b"previous")


def interrupted():
    with tempfile.TemporaryDirectory() as work:
        err = open(os.path.join(work, "stderr.txt"), "w")
        p = subprocess.Popen([args.batch, "-q", "-p", "40", "-f", "200", "--video", "long.webm", SOURCE, TARGET],
                             cwd=work, env=NO_DISPLAY, stdout=subprocess.DEVNULL, stderr=err)
        deadline = time.monotonic() + 600
        while "Video frame 2 of" not in open(os.path.join(work, "stderr.txt")).read():
            if time.monotonic() > deadline or p.poll() is not None:
                break
            time.sleep(0.05)
        p.send_signal(signal.SIGINT)
        rc = p.wait(600)
        err.close()
        check("SIGINT during the video: status 130", rc == 130, open(os.path.join(work, "stderr.txt")).read()[-500:])
        left = sorted(n for n in os.listdir(work) if n != "stderr.txt")
        check("  neither the video nor its temporary is left", left == [], str(left))


def twin():
    """kestrane-batch loads no GL or video library; its twin beside it draws
    the video, and without the twin --video is refused, not half-run."""
    libraries = subprocess.run(["ldd", args.batch], capture_output=True, text=True).stdout
    check("kestrane-batch links no OSMesa, LLVM or FFmpeg library",
          not any(name in libraries for name in ("OSMesa", "LLVM", "libavcodec", "libGL.")), libraries)
    with tempfile.TemporaryDirectory() as work:
        alone = os.path.join(work, "kestrane-batch")
        with open(args.batch, "rb") as source, open(alone, "wb") as copy:
            copy.write(source.read())
        os.chmod(alone, 0o755)
        r = subprocess.run([alone, "--video", "v.mp4", SOURCE, TARGET], cwd=work, env=NO_DISPLAY,
                           capture_output=True, text=True, timeout=600)
        check("without kestrane-batch-video beside it: exit 1, said, nothing written",
              r.returncode == 1 and "built without video output" in r.stderr and sorted(os.listdir(work)) ==
              ["kestrane-batch"], r.stderr[-500:])


if not video_built():
    print("skipped: this kestrane-batch was built without video output")
    raise SystemExit(0)
twin()
videos()
with_frames_and_range()
refused()
unwritable()
interrupted()
check.finish()
