"""A manual vector dragged from the source surface to the target surface
changes the generated frames; a right click on the vector deletes it again,
and the frames are then those of a run without it."""
import os

from xharness import Session, check, parse_args, run, wait_until

# Default camera, 480 x 370 window: the unit sphere (source) is centred at
# (240, 185) with a radius of about 40 pixels; the torus (target) lies flat
# across it from x = 173 to 307.
ON_SOURCE_ONLY = (240, 152)
ON_TARGET_ONLY = (296, 186)


def pure_blue(r, g, b):
    return b > 230 and r < 40 and g < 40


def pure_red(r, g, b):
    return r > 230 and g < 40 and b < 40


def pure_green(r, g, b):
    return g > 230 and r < 40 and b < 40


def pixels(img, test):
    return [(x, y) for y in range(30, 340) for x in range(480) if test(*img.pixel(x, y))]


def generate(s, label):
    s.key("Return", at=(240, 300))
    wait_until(lambda: s.status_text_extent() > 320, 60, 0.3, "automatic correspondence")
    s.key("Return", at=(240, 300))
    for n in (1, 2, 3):
        s.wait_file("f%03d.off" % n, 180)
    wait_until(lambda: 0 < s.status_text_extent() < 200, 60, 0.3, "frame rate after generation")
    frames = [s.read("f%03d.off" % n) for n in (1, 2, 3)]
    s.screenshot("vectors-%s-sequence" % label)
    s.key("q")
    check(s.wait_exit(30) == 0, "%s: q quits" % label)
    return frames


def session(args, label, draw_vector, delete_vector):
    with Session(args.bin, args.src, "vectors-" + label) as s:
        s.launch(["-o", "f", "-f", "3", s.example("icosphere.off"), s.example("torus.off")])
        s.wait_for_window()
        s.wait_file("f003.off", 120)
        s.wait_manual_mode()
        before = s.screenshot()
        check(not pixels(before, pure_blue), "%s: no vector drawn at first" % label)
        if draw_vector:
            s.drag(ON_SOURCE_ONLY[0], ON_SOURCE_ONLY[1], ON_TARGET_ONLY[0], ON_TARGET_ONLY[1], steps=15,
                   step_pause=0.05, hold_at_end=0.3)
            img = s.wait_picture(lambda im: len(pixels(im, pure_blue)) > 10, 30, what="blue vector line")
            s.screenshot("viewer-mode0-vector")
            red = pixels(img, pure_red)
            green = pixels(img, pure_green)
            check(red and green, "%s: the vector shows a red start and a green end marker" % label)
            check(abs(before.pixel(0, 0)[0] - img.pixel(0, 0)[0]) < 5 and
                  s.pixel(60, 60) == before.pixel(60, 60), "%s: the camera did not turn" % label)
            if delete_vector:
                cx = sum(p[0] for p in red) // len(red)
                cy = sum(p[1] for p in red) // len(red)
                s.click(cx, cy, button=3)
                s.wait_picture(lambda im: not pixels(im, pure_blue), 30, what="vector deleted")
                check(True, "%s: a right click on the vector's start deletes it" % label)
        return generate(s, label)


def main():
    args = parse_args()
    plain = session(args, "plain", False, False)
    with_vector = session(args, "vector", True, False)
    deleted = session(args, "deleted", True, True)
    check(plain[0] == with_vector[0] and plain[2] == with_vector[2],
          "the end frames do not depend on the vector")
    check(plain[1] != with_vector[1], "the vector changes the middle frame")
    check(deleted == plain, "after deleting the vector the frames equal those of a run without it")


if __name__ == "__main__":
    run(main)
