"""Save Surface > Base name: and As VRML, Sampling > Frames: and the sequence's files."""

import glob
import os

from xharness import Session, check, log, parse_args, run, wait_until
import menu_driver as m


def frames(s, pattern):
    return sorted(os.path.basename(p) for p in glob.glob(s.path(pattern)))


def main():
    args = parse_args()
    with Session(args.bin, args.src, "menu-frames") as s:
        s.launch(["-o", "m", "-f", "4", s.example("icosphere.off"), s.example("torus.off")])
        s.wait_for_window()
        s.wait_file("m004.off", timeout=120)  # loaded: mode 0
        view = s.view_point()

        m.open_menus(s, "File", "Save Surface")
        m.wait_pressed(s, "As OOGL")  # -o chose OOGL
        m.click(s, "As VRML")
        m.wait_pressed(s, "As VRML")
        m.wait_pressed(s, "As OOGL", pressed=False)
        m.edit_field(s, "Base name:", "shape", erase=len("m"))
        m.wait_warning(s)  # "File will be written during morph creation"
        m.wait_pressed(s, "As VRML")  # a new name keeps VRML
        m.close_menus(s, "File")
        m.dismiss_warning(s)

        m.open_menus(s, "Sampling")
        m.edit_field(s, "Frames:", "1", erase=3)
        m.wait_warning(s)  # at least 2 frames: 10
        m.close_menus(s, "Sampling")
        m.dismiss_warning(s)

        s.key("Return", at=view)  # automatic correspondence
        s.key("Return", at=view)  # the sequence
        s.wait_file("shape010.wrl", timeout=300)
        wait_until(lambda: s.status_line_has(lambda r, g, b: r < 60 and g < 60 and b < 60)
                   and not os.path.exists(s.path("shape011.wrl")), 60, 0.5, "the generation to end")
        names = frames(s, "shape*.wrl")
        check(names == ["shape%03d.wrl" % i for i in range(1, 11)], "Frames: 1 gives 10 frames: %s" % names)
        check(s.read("shape005.wrl").startswith("#VRML V1.0 ascii"), "the frames are VRML")
        check(frames(s, "shape*.off") == [], "no OOGL frames")

        # 101 in mode 2: 100 frames, generated anew.
        m.open_menus(s, "Sampling")
        stamp = os.stat(s.path("shape001.wrl")).st_mtime_ns
        m.edit_field(s, "Frames:", "101", erase=3)
        # The restarted generation's progress replaces the range warning at once.
        m.close_menus(s, "Sampling")
        s.wait_file("shape100.wrl", timeout=600)  # the last: every frame before it is in place
        names = frames(s, "shape*.wrl")
        check(names == ["shape%03d.wrl" % i for i in range(1, 101)], "Frames: 101 gives 100 frames")
        check(os.stat(s.path("shape001.wrl")).st_mtime_ns != stamp, "the sequence was generated anew")
        s.screenshot("menu-frames-sequence")
        s.key("q", at=view)
        check(s.wait_exit(30) == 0, "q ends the program")


if __name__ == "__main__":
    run(main)
