"""Display > Spheres in automatic correspondence writes the sphere files; `+` rewrites them."""

import os

from xharness import Session, check, is_red_text, log, parse_args, run, wait_until
import menu_driver as m


def spheres_in(s, name):
    return s.read(name).count("SPHERE")


def main():
    args = parse_args()
    with Session(args.bin, args.src, "menu-spheres") as s:
        s.launch(["-o", "m", "-f", "6", s.example("icosphere.off"), s.example("torus.off")])
        s.wait_for_window()
        s.wait_file("m006.off", timeout=120)
        view = s.view_point()
        s.enter_automatic_mode(at=view)
        check(not os.path.exists(s.path("sphere001.sph")), "no sphere files before the spheres are shown")

        m.open_menus(s, "Display")
        m.click(s, "Spheres")
        m.wait_pressed(s, "Spheres")
        check(not m.warning_shown(s), "no warning in automatic correspondence")
        s.wait_file("sphere001.sph")
        s.wait_file("sphere006.sph")
        m.close_menus(s, "Display")
        s.screenshot("menu-spheres-shown")
        before = (spheres_in(s, "sphere001.sph"), spheres_in(s, "sphere006.sph"))
        stamps = (os.stat(s.path("sphere001.sph")).st_mtime_ns, os.stat(s.path("sphere006.sph")).st_mtime_ns)
        log("spheres before:", before)
        check(before[0] > 0 and before[1] > 0, "both files list spheres")

        for _ in range(4):
            s.key("plus", at=view)
        s.barrier()  # every `+` handled, each rewriting both files
        check(os.stat(s.path("sphere006.sph")).st_mtime_ns != stamps[1]
              and os.stat(s.path("sphere001.sph")).st_mtime_ns != stamps[0], "the sphere files were rewritten")
        after = (spheres_in(s, "sphere001.sph"), spheres_in(s, "sphere006.sph"))
        log("spheres after:", after)
        check(sum(after) > sum(before), "`+` gives more spheres")

        # Res: rebuilds the end surfaces and the spheres (and their files) without a reload.
        names = ("m001.off", "m006.off", "sphere001.sph", "sphere006.sph")
        stamps = [os.stat(s.path(n)).st_mtime_ns for n in names]
        m.open_menus(s, "Sampling")
        m.edit_field(s, "Res:", "2", erase=3)
        wait_until(lambda: all(os.stat(s.path(n)).st_mtime_ns != t for n, t in zip(names, stamps)), 120, 0.3,
                   "Res: to rewrite the end frames and sphere files")
        check(not os.path.exists(s.path("m002.off")), "no sequence frames in automatic correspondence")
        m.close_menus(s, "Sampling")

        # The help panel lists the bindings of automatic correspondence.
        _, _, w, h = s.geometry()
        m.click(s, "Help")
        m.wait_pressed(s, "Help")
        img = s.wait_picture(lambda i: i.count(0, 25, w, h - 25, is_red_text) > 1500, 60, what="the help panel")
        s.screenshot("menu-help-automatic")
        # Row 0 ("`+'/`-'") is drawn only in this mode: red pixels at its height.
        row0_top = 25 + (499 - 420 - 18) * (h - 50) // 500
        row0_bottom = 25 + (499 - 420 + 4) * (h - 50) // 500
        check(img.count(0, row0_top, w // 3, row0_bottom, is_red_text) > 20, "the first help row is shown")
        m.click(s, "Help")

        s.key("q", at=view)
        check(s.wait_exit(30) == 0, "q ends the program")


if __name__ == "__main__":
    run(main)
