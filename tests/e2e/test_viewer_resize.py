"""Shrinking the window below 480 x 370 snaps it back; the status line
stays 25 pixels high at the bottom; a larger window keeps its size."""
from xharness import Session, check, parse_args, run, wait_until


def status_grey_rows(img, w, h):
    # Rows across the status line that are the bar's plain grey at its right end.
    rows = 0
    for y in range(h - 40, h):
        r, g, b = img.pixel(w - 5, y)
        if 170 <= r <= 185 and r == g == b:
            rows += 1
    return rows


def main():
    args = parse_args()
    with Session(args.bin, args.src, "resize") as s:
        s.launch([])
        s.wait_for_window()
        wait_until(lambda: s.status_text_extent() > 0, 60, 0.2, "status prompt")
        s.resize(300, 200)
        wait_until(lambda: s.geometry()[2] >= 480 and s.geometry()[3] >= 370, 30, 0.2,
                   "window back to the minimum")
        x, y, w, h = s.geometry()
        check(w >= 480 and h >= 370, "after 300 x 200 the window is %d x %d" % (w, h))
        s.resize(640, 500)
        wait_until(lambda: s.geometry()[2:] == (640, 500), 30, 0.2, "640 x 500")
        img = s.wait_picture(lambda im: status_grey_rows(im, 640, 500) == 25, 30,
                             what="status line at the bottom")
        check(status_grey_rows(img, 640, 500) == 25, "the status line is 25 rows at the bottom of 640 x 500")
        wait_until(lambda: s.status_text_extent() > 0, 30, 0.2, "prompt after resize")
        s.screenshot("viewer-resized")
        s.key("q", at=(320, 200))
        check(s.wait_exit(30) == 0, "q quits")


if __name__ == "__main__":
    run(main)
