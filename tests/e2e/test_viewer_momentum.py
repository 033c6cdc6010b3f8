"""A left drag leaves the scene turning after the release; a click without
movement leaves it still, and so does a click that stops the turning."""
from xharness import Session, check, parse_args, run, wait_until


def view_pixels(img):
    return img.region(0, 25, 480, 345)


def floor_visible(img):
    light = img.count(0, 260, 480, 340, lambda r, g, b: r > 100 and abs(r - g) < 10 and abs(g - b) < 10)
    return light > 3000


def main():
    args = parse_args()
    with Session(args.bin, args.src, "momentum") as s:
        s.launch([])
        s.wait_for_window()
        s.wait_picture(lambda im: floor_visible(im) and s.status_text_extent(im) > 0, 60,
                       what="floor and load prompt")

        # A click without movement: after the click and a later redraw the
        # picture is the one before it.
        before = view_pixels(s.barrier())
        s.click(100, 300)
        after = view_pixels(s.barrier())
        check(after == before, "after a click without movement the scene stays still")

        # A drag whose last movement is 8 pixels: 7 degrees per step remain.
        s.drag(100, 300, 180, 300, steps=10, step_pause=0.02)
        before = view_pixels(s.screenshot("viewer-momentum-1"))
        changed = s.wait_picture(lambda im: view_pixels(im) != before, 30, what="the scene turning on")
        after = view_pixels(changed)
        check(after != before, "after the drag is released the scene keeps turning")
        s.wait_picture(lambda im: view_pixels(im) != after, 30, what="still turning")
        check(True, "it is still turning later")
        s.screenshot("viewer-momentum-2")

        # A new press stops the rotation: two pictures, each after a later
        # redraw, are the same.
        s.click(100, 300)
        stopped = view_pixels(s.barrier())
        check(view_pixels(s.barrier()) == stopped, "a click stops the turning")
        s.key("q", at=(240, 180))
        check(s.wait_exit(30) == 0, "q quits")


if __name__ == "__main__":
    run(main)
