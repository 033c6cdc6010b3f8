"""Cancel on the status line stops a sequence generation: no further frame
files are written and the frames built so far play back."""
import os
import time

from xharness import Session, check, parse_args, run, wait_until

FRAMES = 100


def frame_files(s):
    return sorted(n for n in os.listdir(s.workdir) if n.startswith("c") and n.endswith(".off"))


def cancel_label_visible(s):
    img = s.screenshot(s._probe)
    # "Cancel" in black on the raised button at the right end of the status line.
    return img.count(410, 347, 470, 368, lambda r, g, b: r < 40 and g < 40 and b < 40) > 10


def main():
    args = parse_args()
    with Session(args.bin, args.src, "cancel") as s:
        # 50 points: frames slow enough that the click lands before the last
        # one even on a loaded machine.
        s.launch(["-o", "c", "-f", str(FRAMES), "-p", "50", s.example("icosphere.off"), s.example("torus.off")])
        s.wait_for_window()
        s.wait_file("c%03d.off" % FRAMES, 120)
        s.wait_manual_mode()
        s.enter_automatic_mode()
        s.key("Return")
        s.wait_file("c003.off", 120)
        wait_until(lambda: cancel_label_visible(s), 30, 0.1, "the Cancel button")
        s.screenshot("viewer-generation-cancel-button")
        s.click(440, 357)
        wait_until(lambda: not cancel_label_visible(s), 60, 0.2, "Cancel button gone")
        check(True, "the Cancel button goes away when clicked")
        settled = frame_files(s)
        built = len(settled) - 1  # the last frame's file is from the load
        check(2 <= built < FRAMES - 1, "generation stopped after %d of %d frames" % (built, FRAMES))
        time.sleep(2.0)
        check(frame_files(s) == settled, "no further frame files are written after Cancel")
        # The frames built so far play back and forth.
        pictures = set()

        def several():
            pictures.add(tuple(s.screenshot(s._probe).region(0, 25, 480, 345)))
            return len(pictures) >= 2
        wait_until(several, 60, 0.05, "the built frames playing")
        check(True, "the frames built before Cancel play back")
        s.key("q", at=(240, 300))
        check(s.wait_exit(30) == 0, "q quits")


if __name__ == "__main__":
    run(main)
