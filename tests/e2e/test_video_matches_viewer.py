"""The video's first frame is the viewer's own picture of that frame: the
viewer (under Xvfb) dumps its view of a two-frame morph as PPM while it plays
the frames; kestrane-batch, with no display, makes an MP4 of the same morph
from the viewer's starting camera at the view's size. Each decoded video
frame is compared, per channel, with the dumps: its mean absolute difference
from the dump of the same frame must stay under 2 levels (of 255) and 98% of
its pixels within 24 levels, while it differs from the other frame's dump
three times as much or more. The remaining difference is H.264's chroma subsampling and
quantisation (the floor's sharp chequers) and two Mesa rasterisers."""
import glob
import os
import subprocess

from xharness import Session, check, log, parse_args, run, wait_until
import menu_driver as menu

WIDTH, HEIGHT = 480, 320  # the view of the 480 x 370 window
MAX_MEAN = 2.0
MIN_CLOSE = 0.98
CLOSE = 24


def read_ppm(path):
    with open(path, "rb") as f:
        parts = f.read().split(b"\n", 5)
    if len(parts) < 6 or parts[3] != b"%d %d" % (WIDTH, HEIGHT) or len(parts[5]) != 3 * WIDTH * HEIGHT:
        return None
    return parts[5]


def difference(a, b):
    """Mean absolute difference per channel and the share of pixels whose
    channels all lie within CLOSE."""
    total = 0
    close = 0
    for i in range(0, len(a), 3):
        d = (abs(a[i] - b[i]), abs(a[i + 1] - b[i + 1]), abs(a[i + 2] - b[i + 2]))
        total += d[0] + d[1] + d[2]
        close += max(d) <= CLOSE
    return total / len(a), close / (len(a) // 3)


def viewer_pictures(s, args):
    """The distinct pictures the viewer dumps while it plays the two frames."""
    s.launch(["-f", "2", s.example("icosphere.off"), s.example("torus.off")])
    s.wait_for_window()
    s.wait_manual_mode()
    menu.open_menus(s, "File", "Save Screen")
    menu.click(s, "As PPM")
    menu.wait_pressed(s, "As PPM")
    menu.edit_field(s, "File name:", "dump")
    menu.wait_warning(s)  # "Use space bar to toggle screen dump"
    menu.close_menus(s, "File")
    menu.dismiss_warning(s)
    view = s.view_point()
    s.enter_automatic_mode(at=view)
    s.key("Return", at=view)
    # The frame-rate line: the sequence is on show, every picture a frame.
    wait_until(lambda: 0 < s.status_text_extent() < 200, 300, 0.3, "frame-rate text")
    s.key("space", at=view)
    wait_until(lambda: len(glob.glob(s.path("dump*.ppm"))) >= 12, 120, 0.1, "a dozen dumps")
    s.key("space", at=view)
    s.barrier()
    pictures = set()
    for path in sorted(glob.glob(s.path("dump*.ppm"))):
        picture = read_ppm(path)
        if picture is not None:
            pictures.add(picture)
    s.key("q", at=view)
    check(s.wait_exit(30) == 0, "the viewer quits")
    return list(pictures)


def video_frames(s, args):
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    env["LSAN_OPTIONS"] = "suppressions=%s:print_suppressions=0" % os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "video-leaks.supp")
    r = subprocess.run([os.path.join(args.bin, "kestrane-batch"), "-f", "2", "--video", "v.mp4", "--video-size",
                        "%dx%d" % (WIDTH, HEIGHT), "--viewer-camera", s.example("icosphere.off"),
                        s.example("torus.off")], cwd=s.workdir, env=env, capture_output=True, text=True, timeout=600)
    check(r.returncode == 0, "kestrane-batch --video with no DISPLAY: exit 0 (%s)" % r.stderr[-300:])
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", s.path("v.mp4"), "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
                         capture_output=True, check=True).stdout
    size = 3 * WIDTH * HEIGHT
    check(len(raw) == 2 * size, "two frames of %d x %d decoded" % (WIDTH, HEIGHT))
    return [raw[:size], raw[size:]]


def main():
    args = parse_args()
    with Session(args.bin, args.src, "video-matches-viewer") as s:
        frames = video_frames(s, args)
        pictures = viewer_pictures(s, args)
        log("distinct dumps:", len(pictures))
        check(len(pictures) >= 2, "the viewer showed both frames")
        matches = []
        for k, frame in enumerate(frames):
            figures = sorted((difference(frame, p), i) for i, p in enumerate(pictures))
            (mean, close), best = figures[0]
            far = max(f[0][0] for f in figures)
            log("video frame %d: mean difference %.3f, %.2f%% of pixels within %d; %.3f from the other frame"
                % (k + 1, mean, 100 * close, CLOSE, far))
            check(mean < MAX_MEAN and close >= MIN_CLOSE,
                  "video frame %d matches a viewer dump (mean %.3f < %.1f, close %.4f >= %.2f)"
                  % (k + 1, mean, MAX_MEAN, close, MIN_CLOSE))
            check(far > 3 * mean, "the other frame's dump differs three times as much (%.3f)" % far)
            matches.append(best)
        check(matches[0] != matches[1], "the two video frames match different dumps")


if __name__ == "__main__":
    run(main)
