"""With no file names the viewer opens on the bare floor, asks for files on
the status line, and quits with status 0 on q and on Escape."""
import sys

from xharness import Session, check, is_black_text, parse_args, run, log


def floor_visible(img):
    # The chequered floor fills the lower part of the view with light and
    # dark squares; the sky above it is the black background.
    light = img.count(0, 260, 480, 340, lambda r, g, b: r > 100 and abs(r - g) < 10 and abs(g - b) < 10)
    dark = img.count(0, 260, 480, 340, lambda r, g, b: 5 < r < 60 and abs(r - g) < 10)
    sky = img.count(0, 40, 480, 120, lambda r, g, b: r < 10 and g < 10 and b < 10)
    return light > 3000 and dark > 3000 and sky > 30000


def main():
    args = parse_args()
    for key in ("q", "Escape"):
        with Session(args.bin, args.src, "start-quit-" + key) as s:
            s.launch([])
            s.wait_for_window()
            img = s.wait_picture(lambda im: floor_visible(im) and s.status_text_extent(im) > 0, 60,
                                 what="floor and status prompt")
            s.screenshot("viewer-empty-floor")
            check(floor_visible(img), "the floor shows light and dark squares under a black sky")
            extent = s.status_text_extent(img)
            check(200 < extent < 260, "status line shows the load prompt in black (text ends at x=%d)" % extent)
            check(s.geometry()[2:] == (480, 370), "window opens at 480 x 370")
            s.key(key, at=(240, 180))
            rc = s.wait_exit(30)
            check(rc == 0, "'%s' over the view quits with status 0" % key)


if __name__ == "__main__":
    run(main)
