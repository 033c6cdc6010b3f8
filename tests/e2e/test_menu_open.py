"""File > Open > Source: an unreadable name keeps the loaded surfaces; a good one reloads."""

import os

from xharness import Session, check, log, parse_args, run, wait_until
import menu_driver as m


def stamp(s, name):
    return os.stat(s.path(name)).st_mtime_ns


def coloured_in_view(img, w, h):
    """Pixels of the translucent red and green surfaces over the black background."""
    return img.count(0, 80, w, h - 25, lambda r, g, b: abs(r - g) > 25 and b < 60)


def main():
    args = parse_args()
    with Session(args.bin, args.src, "menu-open") as s:
        source = s.example("icosphere.off")
        s.launch(["-o", "m", "-f", "5", source, s.example("torus.off")])
        s.wait_for_window()
        _, _, w, h = s.geometry()
        s.wait_file("m001.off", timeout=120)
        s.wait_file("m005.off", timeout=120)
        img = s.wait_picture(lambda i: coloured_in_view(i, w, h) > 200, 60, what="both surfaces")
        shown = coloured_in_view(img, w, h)
        first = (stamp(s, "m001.off"), stamp(s, "m005.off"))
        sphere_text = s.read("m001.off")

        m.open_menus(s, "File", "Open")
        m.click(s, "Source:")
        s.screenshot("menu-editing-source")  # the end of the long path with the I-beam
        s.x("xdotool", "key", "--delay", "5", "--repeat", str(len(source)), "BackSpace")
        s.type_text("missing.off")
        s.key("Return")
        m.wait_warning(s)
        m.close_menus(s, "File")  # handled after the entry, which would have reloaded in place
        check((stamp(s, "m001.off"), stamp(s, "m005.off")) == first, "nothing reloaded for a missing file")
        img = s.screenshot("menu-open-missing")
        check(coloured_in_view(img, w, h) > shown // 2, "the previous surfaces are still shown")
        m.dismiss_warning(s)

        m.open_menus(s, "File", "Open")
        m.edit_field(s, "Source:", s.example("box.off"), erase=len(source))  # the old name came back
        wait_until(lambda: stamp(s, "m001.off") != first[0] and stamp(s, "m005.off") != first[1], 120, 0.3,
                   "frame files 001 and 005 rewritten")
        check(s.read("m001.off") != sphere_text, "frame 001 now holds the box")
        m.close_menus(s, "File")
        s.screenshot("menu-open-box")
        s.key("q", at=s.view_point())
        check(s.wait_exit(30) == 0, "q ends the program")


if __name__ == "__main__":
    run(main)
