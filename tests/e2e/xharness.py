"""Drives the real kestrane viewer in a private Xvfb server.

Typical use:

    from xharness import Session, parse_args

    args = parse_args()
    with Session(args.bin, args.src, "my_test") as s:
        s.launch(["-o", "m", "-f", "4", s.example("icosphere.off"), s.example("torus.off")])
        s.wait_for_window()
        s.wait_file("m001.off", timeout=120)
        s.key("q")
        assert s.wait_exit(30) == 0

Coordinates are those of the top-level window, which sits at (0, 0) without a
window manager, y counted from the top. Every wait polls with a timeout; no
step relies on a fixed sleep alone. Only the python standard library and the
command-line tools Xvfb, xdpyinfo, xdotool, xwininfo, xwd and convert are used.
"""

import argparse
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

DEFAULT_TIMEOUT = 60.0
SCREEN_W, SCREEN_H = 800, 600

# Mesa's software driver, preloaded so that it stays mapped when the viewer
# closes its GL context at exit: the leak checker can then name it.
GL_DRIVER = "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so"

# Layout of the window (pixels, y from the top of the top-level window).
BAR_HEIGHT = 25
MIN_WIDTH, MIN_HEIGHT = 480, 370


def parse_args(argv=None):
    """--bin <build dir> --src <source dir>, as ctest passes them."""
    p = argparse.ArgumentParser()
    p.add_argument("--bin", required=True)
    p.add_argument("--src", required=True)
    a = p.parse_args(argv)
    a.bin = os.path.abspath(a.bin)
    a.src = os.path.abspath(a.src)
    return a


def log(*parts):
    print(*parts, flush=True)


class TestFailure(AssertionError):
    pass


def check(condition, what):
    """Prints what is checked; raises TestFailure when it does not hold."""
    if condition:
        log("ok:", what)
    else:
        log("FAILED:", what)
        raise TestFailure(what)


def wait_until(predicate, timeout=DEFAULT_TIMEOUT, interval=0.1, what="condition"):
    """Polls predicate until it returns a true value; returns that value.
    Raises TestFailure after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TestFailure("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)


class Image:
    """An RGB picture read from a PNG (or any format convert reads)."""

    def __init__(self, path):
        self.path = path
        data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"],
                              check=True, stdout=subprocess.PIPE).stdout
        # P6 header: magic, width, height, maxval, each separated by whitespace.
        fields = []
        pos = 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                while data[pos:pos + 1] not in (b"\n", b""):
                    pos += 1
                continue
            start = pos
            while not data[pos:pos + 1].isspace():
                pos += 1
            fields.append(data[start:pos])
        pos += 1
        if fields[0] != b"P6":
            raise ValueError("not a P6 picture: %r" % fields[0])
        self.width = int(fields[1])
        self.height = int(fields[2])
        self.pixels = data[pos:pos + 3 * self.width * self.height]

    def pixel(self, x, y):
        """(r, g, b) at x, y counted from the top-left corner."""
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])

    def region(self, x0, y0, x1, y1):
        """Every pixel of the rectangle [x0, x1) x [y0, y1) as a list of (r, g, b)."""
        out = []
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                out.append(self.pixel(x, y))
        return out

    def count(self, x0, y0, x1, y1, predicate):
        """Number of pixels of the rectangle for which predicate(r, g, b) holds."""
        return sum(1 for rgb in self.region(x0, y0, x1, y1) if predicate(*rgb))

    def differs(self, other, x0=0, y0=0, x1=None, y1=None, tolerance=0):
        """Number of pixels in the rectangle whose colours differ by more than tolerance."""
        x1 = self.width if x1 is None else x1
        y1 = self.height if y1 is None else y1
        n = 0
        for y in range(y0, y1):
            for x in range(x0, x1):
                a = self.pixel(x, y)
                b = other.pixel(x, y)
                if max(abs(a[k] - b[k]) for k in range(3)) > tolerance:
                    n += 1
        return n


def is_red_text(r, g, b):
    return r > 150 and g < 90 and b < 90


def is_black_text(r, g, b):
    return r < 60 and g < 60 and b < 60


class Session:
    """One Xvfb server, one working directory and (at most) one viewer process."""

    def __init__(self, bin_dir, src_dir=None, name="e2e", keep_workdir=False):
        self.bin_dir = os.path.abspath(bin_dir)
        self.src_dir = os.path.abspath(src_dir) if src_dir else None
        self.name = name
        self.keep_workdir = keep_workdir
        self.workdir = tempfile.mkdtemp(prefix="kestrane-%s-" % name)
        self.artefacts = os.path.join(self.bin_dir, "e2e-artefacts")
        os.makedirs(self.artefacts, exist_ok=True)
        self.xvfb = None
        self.display = None
        self.proc = None
        self.stdout_path = os.path.join(self.workdir, "stdout.txt")
        self.stderr_path = os.path.join(self.workdir, "stderr.txt")
        self._shot_counter = 0
        self._probe = "_probe-%s-%d" % (name, os.getpid())
        self.start_x()

    # -- context management -------------------------------------------------
    def __enter__(self):
        return self

    def __exit__(self, exc_type, exc, tb):
        if exc_type is not None:
            try:
                self.screenshot("failure-%s" % self.name)
            except Exception:
                pass
            self.dump_output()
        self.close()
        return False

    # -- X server ---------------------------------------------------------------
    def start_x(self, timeout=30):
        """Starts Xvfb on a free display and waits until it answers. Display
        numbers are drawn at random from a wide range, since other servers on
        the machine may not leave lock files that a search could see."""
        rng = random.Random(os.getpid() * 7919 + int(time.time() * 1000))
        for attempt in range(20):
            number = rng.randrange(100, 4000)
            if os.path.exists("/tmp/.X11-unix/X%d" % number) or os.path.exists("/tmp/.X%d-lock" % number):
                continue
            display = ":%d" % number
            # The server must not be reachable before ours starts.
            if self._answers(display):
                continue
            self.xvfb = subprocess.Popen(
                ["Xvfb", display, "-screen", "0", "%dx%dx24" % (SCREEN_W, SCREEN_H), "-nolisten", "tcp", "-noreset"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
            deadline = time.monotonic() + timeout
            while time.monotonic() < deadline and self.xvfb.poll() is None:
                if self._answers(display):
                    break
                time.sleep(0.2)
            if self.xvfb.poll() is None and self._answers(display):
                self.display = display
                log("Xvfb on display", self.display)
                return
            if self.xvfb.poll() is None:
                self.xvfb.kill()
            self.xvfb.wait()
            self.xvfb = None
        raise TestFailure("Xvfb did not start")

    @staticmethod
    def _answers(display):
        return subprocess.run(["xdpyinfo", "-display", display], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0

    def env(self, extra=None):
        e = dict(os.environ)
        e["DISPLAY"] = self.display
        # The leak checker runs over the whole viewer. What the GL driver
        # keeps until exit would look leaked once the driver is unloaded,
        # and unnamed: so it stays loaded, and is suppressed by its name.
        e["ASAN_OPTIONS"] = "detect_leaks=1:verify_asan_link_order=0"
        if os.path.exists(GL_DRIVER):
            e["LD_PRELOAD"] = GL_DRIVER
        e["LSAN_OPTIONS"] = "suppressions=%s:print_suppressions=0" % os.path.join(
            os.path.dirname(os.path.abspath(__file__)), "viewer-leaks.supp")
        if extra:
            e.update(extra)
        return e

    def x(self, *argv, check=True, capture=True):
        """Runs an X client (xdotool, xwininfo, ...) against this server."""
        r = subprocess.run(list(argv), env=self.env(), stdout=subprocess.PIPE if capture else None,
                           stderr=subprocess.PIPE, timeout=60)
        if check and r.returncode != 0:
            raise TestFailure("%s failed: %s" % (" ".join(argv), r.stderr.decode(errors="replace")))
        return r.stdout.decode(errors="replace") if capture else ""

    # -- the program --------------------------------------------------------------
    def program(self, name="kestrane"):
        return os.path.join(self.bin_dir, name)

    def example(self, name):
        """Absolute path of a bundled example surface."""
        return os.path.join(self.src_dir, "examples", name)

    def path(self, name):
        """Absolute path of a file in the session's working directory."""
        return os.path.join(self.workdir, name)

    def launch(self, args=(), program="kestrane", env=None, unprivileged=False, wrapper=()):
        """Starts the program with args in the working directory. unprivileged:
        as the user nobody when the tests run as root, so that permissions
        bind the program (the working directory is opened to it). wrapper: a
        command that runs the program (such as valgrind and its options)."""
        if self.proc is not None and self.proc.poll() is None:
            raise TestFailure("a program is already running")
        log("launch:", program, " ".join(args))
        self._out = open(self.stdout_path, "wb")
        self._err = open(self.stderr_path, "wb")
        drop = None
        if unprivileged and os.geteuid() == 0:
            os.chmod(self.workdir, 0o777)
            env = dict(env or {}, HOME=self.workdir)

            def drop():
                os.setgroups([])
                os.setgid(65534)
                os.setuid(65534)
        self.proc = subprocess.Popen(list(wrapper) + [self.program(program)] + list(args), cwd=self.workdir,
                                     env=self.env(env), stdout=self._out, stderr=self._err, preexec_fn=drop)
        return self.proc

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def wait_exit(self, timeout=DEFAULT_TIMEOUT):
        """Waits for the program to end; returns its exit status."""
        try:
            rc = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise TestFailure("program still running after %.0f s" % timeout)
        log("program exited with", rc)
        return rc

    def stderr_text(self):
        try:
            with open(self.stderr_path, "rb") as f:
                return f.read().decode(errors="replace")
        except OSError:
            return ""

    def dump_output(self):
        text = self.stderr_text()
        if text:
            log("---- program stderr (last 3000 chars) ----")
            log(text[-3000:])

    def window_id(self):
        """Id of the top-level window, or None while it does not exist."""
        r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Kestrane"],
                           env=self.env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        ids = r.stdout.decode().split()
        return ids[0] if ids else None

    def wait_for_window(self, timeout=DEFAULT_TIMEOUT):
        """Waits until the top-level window is mapped; returns its id."""
        def find():
            if not self.running():
                raise TestFailure("program ended before its window appeared (status %s)"
                                  % self.proc.returncode)
            return self.window_id()
        wid = wait_until(find, timeout, 0.2, "the Kestrane window")
        log("window", wid)
        return wid

    def geometry(self):
        """(x, y, width, height) of the top-level window from xwininfo."""
        out = self.x("xwininfo", "-id", self.window_id() or "", "-display", self.display)
        vals = {}
        for line in out.splitlines():
            line = line.strip()
            for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
                if line.startswith(key + ":"):
                    vals[key] = int(line.split(":")[1])
        return (vals["Absolute upper-left X"], vals["Absolute upper-left Y"], vals["Width"],
                vals["Height"])

    def resize(self, width, height):
        self.x("xdotool", "windowsize", self.window_id(), str(width), str(height))

    # -- input --------------------------------------------------------------------
    def pointer(self):
        out = self.x("xdotool", "getmouselocation")
        parts = dict(p.split(":") for p in out.split() if ":" in p)
        return int(parts["x"]), int(parts["y"])

    def move(self, x, y, timeout=10):
        """Moves the pointer to window coordinates and waits until it is there.
        No event is sent when the pointer is there already."""
        if self.pointer() == (int(x), int(y)):
            return
        self.x("xdotool", "mousemove", str(int(x)), str(int(y)))
        wait_until(lambda: self.pointer() == (int(x), int(y)), timeout, 0.02,
                   "pointer at %d,%d" % (x, y))

    def button_down(self, button=1):
        self.x("xdotool", "mousedown", str(button))

    def button_up(self, button=1):
        self.x("xdotool", "mouseup", str(button))

    def click(self, x, y, button=1, settle=0.2):
        """Moves to (x, y) and clicks without any movement in between."""
        self.move(x, y)
        self.button_down(button)
        time.sleep(settle)
        self.button_up(button)

    def drag(self, x0, y0, x1, y1, button=1, steps=10, step_pause=0.03, modifiers=(),
             hold_at_end=0.0):
        """Presses at (x0, y0), moves in steps to (x1, y1) and releases there.
        modifiers: e.g. ("ctrl",) or ("shift",), held during the press."""
        self.move(x0, y0)
        for m in modifiers:
            self.x("xdotool", "keydown", m)
        self.button_down(button)
        for m in modifiers:
            self.x("xdotool", "keyup", m)
        for i in range(1, steps + 1):
            x = x0 + (x1 - x0) * i / steps
            y = y0 + (y1 - y0) * i / steps
            self.x("xdotool", "mousemove", str(int(round(x))), str(int(round(y))))
            time.sleep(step_pause)
        # Another move to the same place would report a motion of 0 pixels,
        # which ends any momentum: only wait for the pointer to arrive.
        wait_until(lambda: self.pointer() == (int(round(x1)), int(round(y1))), 10, 0.02,
                   "pointer at the end of the drag")
        if hold_at_end:
            time.sleep(hold_at_end)
        self.button_up(button)

    def drag_slowly(self, x0, y0, dx, dy, button=1, modifiers=()):
        """A drag in one-pixel steps along x or y from (x0, y0): the view
        follows every pixel and no momentum is left after the release (a last
        movement of one pixel decays to nothing)."""
        steps = max(abs(dx), abs(dy))
        self.drag(x0, y0, x0 + dx, y0 + dy, button=button, steps=steps, step_pause=0.0,
                  modifiers=modifiers)

    def zoom_camera(self, steps, at=(60, 60)):
        """Moves the camera closer by a factor 1.01 per step (right-button drag
        upwards in one-pixel steps), starting at a point of empty sky."""
        self.drag_slowly(at[0], at[1] + steps, 0, -steps, button=3)

    def raise_camera(self, degrees, at=(60, 40)):
        """Raises the camera's elevation by about one degree per step (left
        drag downwards in one-pixel steps), starting at a point of empty sky."""
        self.drag_slowly(at[0], at[1], 0, degrees, button=1)

    def key(self, *names, at=None):
        """Types keys by X keysym name (e.g. "q", "Return", "BackSpace", "plus",
        "minus", "greater", "less", "space", "Escape"). at=(x, y) first moves the
        pointer there, since the program routes keys by the pointer position."""
        if at is not None:
            self.move(*at)
        for n in names:
            self.x("xdotool", "key", n)

    def type_text(self, text, at=None):
        if at is not None:
            self.move(*at)
        self.x("xdotool", "type", "--delay", "30", text)

    def view_point(self):
        """A point in the middle of the 3-D view of a window of the current size."""
        _, _, w, h = self.geometry()
        return (w // 2, BAR_HEIGHT + (h - 2 * BAR_HEIGHT) // 2)

    # -- pictures -----------------------------------------------------------------
    def screenshot(self, name=None):
        """Grabs the whole screen into a PNG in the artefact directory; returns an Image."""
        if name is None:
            self._shot_counter += 1
            name = "%s-%02d" % (self.name, self._shot_counter)
        out = os.path.join(self.artefacts, name + ".png")
        # A grab that meets a window being reconfigured can fail with an X
        # error; the next one does not.
        for attempt in range(5):
            xwd = subprocess.run(["xwd", "-root", "-silent", "-display", self.display],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            if xwd.returncode == 0:
                break
            log("xwd failed (%s), again" % xwd.stderr.decode(errors="replace").strip())
        else:
            raise TestFailure("no screenshot: %s" % xwd.stderr.decode(errors="replace"))
        subprocess.run(["convert", "xwd:-", out], input=xwd.stdout, check=True)
        return Image(out)

    def pixel(self, x, y):
        """Colour of one screen pixel now, as (r, g, b)."""
        return self.screenshot(self._probe).pixel(x, y)

    def wait_picture(self, predicate, timeout=DEFAULT_TIMEOUT, interval=0.3, what="picture"):
        """Takes screenshots until predicate(image) holds; returns that image."""
        def probe():
            img = self.screenshot(self._probe)
            return img if predicate(img) else None
        return wait_until(probe, timeout, interval, what)

    def cancel_label_visible(self):
        """True when "Cancel" stands in black on the raised button at the
        right end of the status line (a window of the default size)."""
        img = self.screenshot(self._probe)
        return img.count(410, 347, 470, 368, lambda r, g, b: r < 40 and g < 40 and b < 40) > 10

    def status_line_has(self, colour_predicate, min_pixels=20):
        """True when the status line (bottom 25 rows of the window) shows at least
        min_pixels pixels of the given colour in its text area."""
        _, _, w, h = self.geometry()
        img = self.screenshot(self._probe)
        return img.count(0, h - BAR_HEIGHT, w - 75, h, colour_predicate) >= min_pixels

    def status_text_extent(self, img=None, colour_predicate=is_black_text):
        """Rightmost column (window x) of status-line text pixels of the given
        colour, left of the button area; -1 when there are none. Texts of
        different lengths (such as the mode prompts) give different extents."""
        _, _, w, h = self.geometry()
        img = img or self.screenshot(self._probe)
        right = -1
        for y in range(h - BAR_HEIGHT + 2, h - 2):
            for x in range(0, w - 75):
                if colour_predicate(*img.pixel(x, y)) and x > right:
                    right = x
        return right

    # -- files ------------------------------------------------------------------------
    def wait_manual_mode(self, timeout=60):
        """Waits for the mode 0 prompt, the length of its black text telling it apart."""
        wait_until(lambda: 260 < self.status_text_extent() < 320, timeout, 0.3, "manual correspondence prompt")

    def enter_automatic_mode(self, at=(240, 300), timeout=60):
        """Enter over the view, then waits for the longer mode 1 prompt."""
        self.key("Return", at=at)
        wait_until(lambda: self.status_text_extent() > 320, timeout, 0.3, "automatic correspondence prompt")

    def wait_file(self, name, timeout=DEFAULT_TIMEOUT):
        """Waits until a file in the working directory exists; returns its
        absolute path. The programs rename a file into place only when it is
        complete, so a file that exists is whole."""
        p = self.path(name)

        def ready():
            if self.proc is not None and self.proc.poll() is not None and not os.path.exists(p):
                raise TestFailure("program ended (status %s) before %s appeared"
                                  % (self.proc.returncode, name))
            return os.path.exists(p)
        wait_until(ready, timeout, 0.1, "file " + name)
        return p

    def barrier(self, timeout=DEFAULT_TIMEOUT):
        """Returns once the viewer has handled every event sent before and
        drawn the view again after that: the Help button of the menu bar
        (which must have no list open) shows the help panel over the view and
        hides it again. Events are handled in order and the panel is drawn by
        the view's idle step, so the picture after it shows at least one
        animation step taken after the earlier events. A check that nothing
        happens compares pictures on either side of a barrier."""
        _, _, w, h = self.geometry()

        def red(img):
            return img.count(0, BAR_HEIGHT, w, h - BAR_HEIGHT, is_red_text)
        base = red(self.screenshot(self._probe))
        self.click(320, 12)  # Help, at x 290..350 of the main bar
        self.wait_picture(lambda im: red(im) > base + 300, timeout, 0.1, "the help panel (barrier)")
        self.click(320, 12)
        return self.wait_picture(lambda im: red(im) < base + 100, timeout, 0.1, "the help panel gone (barrier)")

    def read(self, name, mode="r"):
        with open(self.path(name), mode) as f:
            return f.read()

    # -- shutdown -------------------------------------------------------------------
    def stop_program(self, timeout=10):
        """Ends the program if it still runs (terminate, then kill)."""
        if self.proc is not None and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        for f in ("_out", "_err"):
            h = getattr(self, f, None)
            if h:
                h.close()
                setattr(self, f, None)

    def close(self):
        self.stop_program()
        if self.xvfb is not None and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
        self.xvfb = None
        probe = os.path.join(self.artefacts, self._probe + ".png")
        if os.path.exists(probe):
            try:
                os.remove(probe)
            except OSError:
                pass
        if not self.keep_workdir:
            shutil.rmtree(self.workdir, ignore_errors=True)


def run(main):
    """Runs main() and turns its outcome into the exit status ctest expects."""
    try:
        main()
    except TestFailure as e:
        log("FAIL:", e)
        sys.exit(1)
    log("PASS")
    sys.exit(0)
