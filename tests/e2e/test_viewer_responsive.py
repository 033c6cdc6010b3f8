"""The interface answers keys while a long sequence is built: frames are
built on worker threads, so a key typed right after the generation starts is
handled (the parameter overlay appears) before the first frame is on show,
and Backspace stops the generation cleanly."""

from xharness import Session, check, parse_args, run, wait_until

GREEN = lambda r, g, b: g > 150 and r < 100 and b < 100  # noqa: E731


def surface_on_show(img):
    """Pixels of a surface above the floor, in the middle of the view."""
    return img.count(170, 90, 310, 180, lambda r, g, b: r + g + b > 60) > 50


def parameters_shown(img):
    """The green parameter line at the bottom of the view."""
    return img.count(0, 320, 400, 345, GREEN) > 20


def main():
    args = parse_args()
    with Session(args.bin, args.src, "responsive") as s:
        # Many points and spheres: each frame takes a good while to build.
        s.launch(["-f", "12", "-p", "150", s.example("box.off"), s.example("two_spheres.off")])
        s.wait_for_window()
        s.wait_manual_mode(timeout=300)
        view = s.view_point()
        s.enter_automatic_mode(at=view, timeout=300)
        s.key("Return", "d", at=view)
        shot = s.wait_picture(parameters_shown, 120, 0.05, "the parameter line")
        check(not surface_on_show(shot), "the key is handled before the first frame of the sequence is on show")
        s.screenshot("viewer-responsive-parameters")
        # Backspace leaves the sequence and stops building it; the links show.
        s.key("BackSpace", at=view)
        s.wait_picture(lambda img: surface_on_show(img) or img.count(100, 60, 380, 300, lambda r, g, b: b > 150) > 5,
                       120, 0.2, "the automatic correspondence again")
        check(s.running(), "the viewer keeps running")
        s.key("q", at=view)
        check(s.wait_exit(60) == 0, "q quits with status 0")


if __name__ == "__main__":
    run(main)
