"""Sampling > Res: loads the volumes again at the new resolution: the frames it
writes equal those of a viewer started with -r set to that value."""

import os

from xharness import Session, check, parse_args, run, wait_until
import menu_driver as m

FRAMES = 4
OPTIONS = ["-q", "-p", "16", "-f", str(FRAMES)]


def read_frames(s, base):
    return [s.read("%s%03d.off" % (base, i)) for i in range(1, FRAMES + 1)]


def build_sequence(s, base, view):
    """Quick morphing goes from the manual mode straight to the sequence."""
    s.key("Return", at=view)
    for i in range(2, FRAMES):
        s.wait_file("%s%03d.off" % (base, i), timeout=300)


def main():
    args = parse_args()
    with Session(args.bin, args.src, "menu-resolution") as s:
        surfaces = [s.example("icosphere.off"), s.example("torus.off")]
        s.launch(["-o", "a", "-r", "2"] + OPTIONS + surfaces)
        s.wait_for_window()
        s.wait_file("a%03d.off" % FRAMES, timeout=120)
        s.wait_manual_mode()
        view = s.view_point()
        build_sequence(s, "a", view)
        s.key("q", at=view)
        check(s.wait_exit(30) == 0, "the first viewer quits")
        loaded = read_frames(s, "a")

        s.launch(["-o", "b"] + OPTIONS + surfaces)
        s.wait_for_window()
        s.wait_file("b%03d.off" % FRAMES, timeout=120)
        s.wait_manual_mode()
        first = s.read("b001.off")
        m.open_menus(s, "Sampling")
        m.edit_field(s, "Res:", "2", erase=1)
        # The reload writes both end frames again.
        wait_until(lambda: os.path.exists(s.path("b001.off")) and s.read("b001.off") != first
                   and s.read("b001.off").count("\n") > 2, 120, 0.3, "the end frames written anew")
        s.wait_file("b%03d.off" % FRAMES, timeout=120)
        m.close_menus(s, "Sampling")
        s.wait_manual_mode()
        build_sequence(s, "b", view)
        s.key("q", at=view)
        check(s.wait_exit(30) == 0, "the second viewer quits")
        changed = read_frames(s, "b")
        for i in range(FRAMES):
            check(changed[i] == loaded[i], "frame %d equals the one loaded with -r 2" % (i + 1))


if __name__ == "__main__":
    run(main)
