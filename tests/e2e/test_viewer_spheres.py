"""With frame output on, showing the spheres in automatic correspondence
(Display > Spheres) builds the sphere display and writes both sphere files;
the help panel lists the bindings of the mode."""
from xharness import Session, check, parse_args, run, wait_until
import menu_driver as m


def translucent_green(r, g, b):
    return g > 40 and g > 2 * r + 10 and g > 2 * b + 10


def main():
    args = parse_args()
    with Session(args.bin, args.src, "spheres") as s:
        s.launch(["-o", "m", "-f", "3", s.example("two_spheres.off"), s.example("torus.off")])
        s.wait_for_window()
        s.wait_file("m003.off", 120)
        s.wait_manual_mode()
        s.zoom_camera(60)
        s.raise_camera(25)
        s.enter_automatic_mode()
        surfaces = s.screenshot()

        s.click(250, 12)   # Display
        m.wait_levels(s, 2)  # a loaded machine may draw the list late
        s.click(40, 37)    # Spheres
        s.wait_file("sphere001.sph", 60)
        s.wait_file("sphere003.sph", 60)
        for name in ("sphere001.sph", "sphere003.sph"):
            text = s.read(name)
            check(text.startswith("LIST\n") and "SPHERE" in text, "%s is a LIST of SPHERE objects" % name)
        img = s.wait_picture(lambda im: im.region(0, 60, 480, 330) != surfaces.region(0, 60, 480, 330), 30,
                             what="spheres on show")
        s.screenshot("viewer-mode1-spheres")
        check(img.count(0, 60, 480, 330, translucent_green) > 1000, "the translucent green spheres show")
        s.click(250, 12)   # Display closes the list again

        def red(im):
            return im.count(20, 40, 460, 330, lambda r, g, b: r > 200 and g < 60 and b < 60)
        # The list row's grey gives way to the view once the list is closed.
        baseline = red(s.wait_picture(lambda im: im.pixel(5, 37) != (178, 178, 178), 30, what="menu list closed"))
        s.click(320, 12)   # Help
        s.wait_picture(lambda im: red(im) > baseline + 300, 30, what="help text in red")
        check(True, "the help panel shows red key and action texts")
        s.screenshot("viewer-mode1-help")
        s.click(320, 12)   # Help off
        s.wait_picture(lambda im: red(im) < baseline + 50, 30, what="help panel gone")
        check(True, "Help again hides the panel")
        check(s.running(), "the viewer is still running")
        s.key("q", at=(240, 300))
        check(s.wait_exit(30) == 0, "q quits")


if __name__ == "__main__":
    run(main)
