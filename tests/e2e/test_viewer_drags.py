"""Each mouse drag of the view changes the picture: twist (middle button),
zoom (right), object rotation (Shift + left), moving light (Ctrl + left) and
light distance (Ctrl + right); slow drags leave no momentum."""
from xharness import Session, check, parse_args, run, wait_until


def view_pixels(img):
    return img.region(0, 25, 480, 345)


def main():
    args = parse_args()
    with Session(args.bin, args.src, "drags") as s:
        s.launch(["-f", "3", s.example("box.off"), s.example("cube_coloured.off")])
        s.wait_for_window()
        s.wait_manual_mode(120)
        drags = [
            ("middle-button twist", dict(button=2)),
            ("right-button zoom", dict(button=3)),
            ("Shift + left object rotation", dict(button=1, modifiers=("shift",))),
            ("Ctrl + left light move", dict(button=1, modifiers=("ctrl",))),
            ("Ctrl + right light distance", dict(button=3, modifiers=("ctrl",))),
        ]
        for i, (what, kw) in enumerate(drags):
            before = view_pixels(s.screenshot())
            s.drag_slowly(60, 80, 0, 30, **kw)
            after = s.wait_picture(lambda im: view_pixels(im) != before, 30, what=what)
            s.screenshot("viewer-drag-%d" % i)
            check(True, "%s changes the picture" % what)
            # Both pictures come after the release and a later redraw.
            first = view_pixels(s.barrier())
            check(view_pixels(s.barrier()) == first, "%s leaves no momentum after a slow drag" % what)
        s.key("q", at=(240, 300))
        check(s.wait_exit(30) == 0, "q quits")


if __name__ == "__main__":
    run(main)
