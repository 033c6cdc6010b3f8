"""Menu bar levels, inactive buttons, the Help toggle's panel and the Quit button."""

from xharness import Session, check, is_red_text, parse_args, run
import menu_driver as m


def red_in_view(img, w, h):
    return img.count(0, 25, w, h - 25, is_red_text)


def main():
    args = parse_args()
    with Session(args.bin, args.src, "menu-widgets") as s:
        s.launch([])
        s.wait_for_window()
        _, _, w, h = s.geometry()
        m.wait_levels(s, 1)
        s.screenshot("menu-bar-closed")

        # File, then Open: three levels, the pressed buttons sunken.
        m.open_menus(s, "File", "Open")
        img = s.screenshot("menu-file-open")
        check(img.pixel(65, 12)[0] < 150 and img.pixel(65, 37)[0] < 150, "File and Open shown pressed")
        check(img.pixel(195, 62) == (255, 255, 255), "the Source: field is a white box")

        # Another main-bar button is inactive while a list is open. Open
        # pressed again (handled after the click on Scale) closes level 2
        # only: File is still the open list.
        m.click(s, "Scale")
        m.click(s, "Open")
        img = m.wait_levels(s, 2)
        check(img.pixel(65, 12)[0] < 150 and img.pixel(135, 12)[0] > 150,
              "File is still the open list after clicking Scale")
        m.close_menus(s, "File")

        before = red_in_view(s.screenshot(s._probe), w, h)
        m.click(s, "Help")
        m.wait_pressed(s, "Help")
        img = s.wait_picture(lambda i: red_in_view(i, w, h) > before + 500, 60, what="the help panel")
        img = s.screenshot("menu-help-panel")
        # The grey panel, blended over the black background, covers the middle of the view.
        r, g, b = img.pixel(40, 200)
        check(50 < r < 90 and r == g == b, "translucent grey panel behind the help text: %r" % ((r, g, b),))
        m.click(s, "Help")
        m.wait_pressed(s, "Help", pressed=False)
        s.wait_picture(lambda i: red_in_view(i, w, h) <= before + 50, 60, what="the help panel to go")

        m.click(s, "File")
        m.wait_levels(s, 2)
        s.click(w - 40, 12)  # Quit
        check(s.wait_exit(30) == 0, "Quit ends the program with status 0")


if __name__ == "__main__":
    run(main)
