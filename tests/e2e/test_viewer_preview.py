"""Display > Preview in automatic correspondence draws the morph at t = 0.5
beside the two surfaces: coarse first, then refined; `+` (more spheres)
redraws it, `]` moves its time, and turning it off leaves the view as it
was. The viewer says each preview it has drawn on standard error
(KESTRANE_PREVIEW_LOG); the test waits for those lines and checks what they
and the picture show. The times from a key to the line are printed for
docs/performance.md, never checked."""
import re
import statistics
import time

from xharness import Session, check, parse_args, run, wait_until
import menu_driver as m

LINE = re.compile(r"preview drawn: (coarse|refined) t ([0-9.]+) resolution (\d+) triangles (\d+) "
                  r"built ([0-9.]+) ms shown ([0-9.]+) ms")
WIDTH, HEIGHT = 560, 400  # room right of the surfaces for the whole preview


def preview_lines(s):
    return [LINE.match(l).groups() for l in s.stderr_text().splitlines() if LINE.match(l)]


def wait_line(s, after, kind, timeout=60):
    """The first preview line of the given kind past the first `after` lines,
    and the seconds it took to appear."""
    start = time.monotonic()

    def found():
        lines = preview_lines(s)
        for i in range(after, len(lines)):
            if lines[i][0] == kind:
                return (i, lines[i])
        return None
    i, line = wait_until(found, timeout, 0.005, "a %s preview line" % kind)
    return i, line, time.monotonic() - start


def main():
    args = parse_args()
    with Session(args.bin, args.src, "preview") as s:
        s.launch([s.example("two_spheres.off"), s.example("torus.off")], env={"KESTRANE_PREVIEW_LOG": "1"})
        s.wait_for_window()
        s.resize(WIDTH, HEIGHT)
        wait_until(lambda: s.geometry()[2:] == (WIDTH, HEIGHT), 30, 0.2, "%d x %d" % (WIDTH, HEIGHT))
        s.wait_manual_mode()
        view = s.view_point()
        s.enter_automatic_mode(at=view)
        # Right of the surfaces, above the floor's horizon.
        right = (WIDTH // 2 + 40, 40, WIDTH, 200)
        before = s.barrier()
        check(preview_lines(s) == [], "no preview while it is off")

        m.click(s, "Display")
        m.wait_levels(s, 2)
        m.click(s, "Preview")
        _, coarse, _ = wait_line(s, 0, "coarse")
        check(coarse[1] == "0.50" and coarse[2] == "2" and int(coarse[3]) > 0,
              "a coarse preview at t 0.50 on a lattice twice as coarse: %s triangles" % coarse[3])
        at, refined, _ = wait_line(s, 0, "refined")
        check(refined[1] == "0.50" and refined[2] == "1" and int(refined[3]) > int(coarse[3]),
              "then the refined one, with more triangles: %s" % refined[3])
        m.close_menus(s, "Display")
        s.wait_picture(lambda im: im.differs(before, *right, tolerance=40) > 1500, 30,
                       what="the preview right of the surfaces")
        s.screenshot("viewer-preview")
        check(True, "the preview shows right of the surfaces")

        key_to_coarse, key_to_refined, viewer_coarse, viewer_refined = [], [], [], []
        for press in range(5):
            count = len(preview_lines(s))
            s.move(*view)
            sent = time.monotonic()  # before xdotool starts: an upper bound
            s.key("plus")
            at, coarse, _ = wait_line(s, count, "coarse")
            key_to_coarse.append(time.monotonic() - sent)
            check(coarse[1] == "0.50" and int(coarse[3]) > 0, "+ %d: a coarse preview, %s triangles"
                  % (press + 1, coarse[3]))
            at, refined, _ = wait_line(s, at + 1, "refined")
            key_to_refined.append(time.monotonic() - sent)
            check(int(refined[3]) > int(coarse[3]), "+ %d: refined, %s triangles" % (press + 1, refined[3]))
            viewer_coarse.append(float(coarse[5]))
            viewer_refined.append(float(refined[5]))

        count = len(preview_lines(s))
        s.key("bracketright", at=view)
        _, later, _ = wait_line(s, count, "coarse")
        check(later[1] == "0.55", "] moves the time to 0.55")

        m.click(s, "Display")
        m.wait_levels(s, 2)
        m.click(s, "Preview")
        m.close_menus(s, "Display")
        s.wait_picture(lambda im: im.differs(before, *right, tolerance=40) < 50, 30, what="the preview gone")
        check(True, "off again, the preview is gone")

        print("median ms, key to line (coarse / refined): %.0f / %.0f; viewer, change to screen: %.0f / %.0f"
              % (1000 * statistics.median(key_to_coarse), 1000 * statistics.median(key_to_refined),
                 statistics.median(viewer_coarse), statistics.median(viewer_refined)))
        print("key to coarse line, ms:", " ".join("%.0f" % (1000 * t) for t in key_to_coarse))
        check(s.running(), "the viewer is still running")
        s.key("q", at=view)
        check(s.wait_exit(30) == 0, "q quits")


if __name__ == "__main__":
    run(main)
