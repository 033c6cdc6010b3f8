"""Cancel on the status line stops a sequence generation: no further frame
files are written and the frames built so far play back."""
import os

from xharness import Session, check, parse_args, run, wait_until

FRAMES = 100


def frame_files(s):
    return sorted(n for n in os.listdir(s.workdir) if n.startswith("c") and n.endswith(".off"))


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
        # The Cancel button stands on the status line from the start of the
        # generation: clicked as soon as frame 3 is written, before the
        # generation can finish on a fast machine.
        s.wait_file("c003.off", 120)
        s.click(440, 357)
        wait_until(lambda: not s.cancel_label_visible(), 60, 0.2, "Cancel button gone")
        check(True, "the Cancel button goes away when clicked")
        settled = frame_files(s)
        built = len(settled) - 1  # the last frame's file is from the load
        check(2 <= built < FRAMES - 1, "generation stopped after %d of %d frames" % (built, FRAMES))
        # The frames built so far play back and forth: each new picture is an
        # idle step in which a generation still running would have written
        # a frame file before drawing it.
        pictures = []

        def several():
            picture = tuple(s.screenshot(s._probe).region(0, 25, 480, 345))
            if not pictures or picture != pictures[-1]:
                pictures.append(picture)
            return len(pictures) >= 4
        wait_until(several, 60, 0.05, "the built frames playing")
        check(True, "the frames built before Cancel play back")
        check(frame_files(s) == settled, "no further frame files are written after Cancel")
        s.key("q", at=(240, 300))
        check(s.wait_exit(30) == 0, "q quits")


if __name__ == "__main__":
    run(main)
