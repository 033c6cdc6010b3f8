"""Range repair of Points: and Transform:, seen in the fields and the status line."""

from xharness import Session, check, parse_args, run, wait_until
import menu_driver as m


def main():
    args = parse_args()
    with Session(args.bin, args.src, "menu-fields") as s:
        s.launch([])  # nothing loaded: the entries only change their values
        s.wait_for_window()
        m.wait_levels(s, 1)

        # Closing the menus is handled after the entry, and any warning is
        # drawn while the entry is applied: each check follows the closing.
        m.open_menus(s, "Sampling")
        m.edit_field(s, "Points:", "500", erase=3)
        m.close_menus(s, "Sampling")
        check(not m.warning_shown(s), "500 points are accepted without a warning")
        m.open_menus(s, "Sampling")
        five_hundred = m.field_picture(s, "Points:")
        m.edit_field(s, "Points:", "64", erase=3)
        m.close_menus(s, "Sampling")
        m.open_menus(s, "Sampling")
        check(m.field_picture(s, "Points:") != five_hundred, "the field shows the new value")

        m.edit_field(s, "Points:", "-3", erase=3)
        m.wait_warning(s)  # "Must be at most 500 points"
        s.screenshot("menu-points-repaired")
        wait_until(lambda: m.field_picture(s, "Points:") == five_hundred, 30, 0.2, "the field to show 500")
        check(True, "-3 is repaired to 500")
        m.dismiss_warning(s)
        m.close_menus(s, "Sampling")

        m.open_menus(s, "Scale")
        identity = m.field_picture(s, "Transform:")
        m.click(s, "Centres")  # both scale flags off
        m.wait_pressed(s, "Centres", pressed=False)
        m.wait_pressed(s, "Sizes", pressed=False)
        m.edit_field(s, "Transform:", "2,0,0,0,0,2,0,0,0,0,2,0,0,0,0,1", erase=100)
        m.close_menus(s, "Scale")
        check(not m.warning_shown(s), "16 values are taken without a warning")
        m.open_menus(s, "Scale")
        check(m.field_picture(s, "Transform:") != identity, "the new matrix is shown")
        m.edit_field(s, "Transform:", "1,0,0,0,0,1,0,0,0,0,1,0,0,0,0", erase=100)
        m.wait_warning(s)  # "Must have 16 comma separated entries"
        s.screenshot("menu-transform-repaired")
        wait_until(lambda: m.field_picture(s, "Transform:") == identity, 30, 0.2, "the identity shown")
        check(True, "15 values restore the identity")
        m.wait_pressed(s, "Centres")
        m.wait_pressed(s, "Sizes")
        m.close_menus(s, "Scale")
        s.key("q", at=s.view_point())
        check(s.wait_exit(30) == 0, "q ends the program")


if __name__ == "__main__":
    run(main)
