"""A target file that does not exist leaves the viewer running with a red
warning on the status line; OK dismisses it."""
from xharness import Session, check, is_red_text, parse_args, run, wait_until


def main():
    args = parse_args()
    with Session(args.bin, args.src, "missing-target") as s:
        s.launch([s.example("icosphere.off"), s.path("no-such-file.off")])
        s.wait_for_window()
        img = s.wait_picture(lambda im: s.status_text_extent(im, is_red_text) > 100, 60,
                             what="red warning text")
        s.screenshot("viewer-missing-target")
        extent = s.status_text_extent(img, is_red_text)
        # "Not able to open target input file" in 12-point Helvetica.
        check(150 < extent < 260, "a red warning fills the status line (ends at x=%d)" % extent)
        ok = img.count(410, 347, 470, 368, lambda r, g, b: r < 40 and g < 40 and b < 40)
        check(ok > 5, "the OK button carries its black label")
        check(s.running(), "the viewer is still running")
        # The view stays empty: nothing was loaded.
        # Press on OK, release away from it: still acknowledged.
        s.move(440, 357)
        s.button_down(1)
        s.move(300, 200)
        s.button_up(1)
        wait_until(lambda: s.status_text_extent(None, is_red_text) < 0, 30, 0.2, "warning dismissed")
        check(True, "pressing OK and releasing elsewhere removes the warning")
        wait_until(lambda: 200 < s.status_text_extent() < 260, 30, 0.2, "load prompt")
        check(True, "the load prompt shows again")
        s.key("Escape", at=(240, 180))
        check(s.wait_exit(30) == 0, "Escape quits with status 0")

    with Session(args.bin, args.src, "missing-target-key") as s:
        s.launch([s.example("icosphere.off"), s.path("no-such-file.off")])
        s.wait_for_window()
        s.wait_picture(lambda im: s.status_text_extent(im, is_red_text) > 100, 60, what="red warning text")
        s.key("x", at=(240, 180))
        s.barrier()  # the key was handled before the help panel came and went
        check(s.status_text_extent(None, is_red_text) > 100, "a key over the view leaves the warning")
        s.key("x", at=(200, 357))
        wait_until(lambda: s.status_text_extent(None, is_red_text) < 0, 30, 0.2, "warning dismissed")
        check(True, "a key over the status line acknowledges the warning")
        s.key("q", at=(240, 180))
        check(s.wait_exit(30) == 0, "q quits with status 0")


if __name__ == "__main__":
    run(main)
