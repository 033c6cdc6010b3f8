"""While the window is hidden nothing runs: a sequence being generated
pauses and goes on when the window shows again."""
import os
import time

from xharness import Session, check, parse_args, run, wait_until

FRAMES = 100


def frame_files(s):
    return sorted(n for n in os.listdir(s.workdir) if n.startswith("h") and n.endswith(".off"))


def main():
    args = parse_args()
    with Session(args.bin, args.src, "hidden") as s:
        s.launch(["-q", "-o", "h", "-p", "40", "-f", str(FRAMES), s.example("icosphere.off"), s.example("torus.off")])
        wid = s.wait_for_window()
        s.wait_file("h%03d.off" % FRAMES, 120)
        s.wait_manual_mode()
        s.key("Return", at=(240, 300))
        s.wait_file("h002.off", 120)
        s.x("xdotool", "windowunmap", wid)
        wait_until(lambda: s.window_id() is None, 30, 0.1, "window hidden")
        time.sleep(1.0)  # a frame being built when the window went may still land
        paused = frame_files(s)
        time.sleep(2.0)
        check(frame_files(s) == paused, "no frame is built while the window is hidden (%d files)" % len(paused))
        check(len(paused) < FRAMES, "the generation was not finished yet")
        s.x("xdotool", "windowmap", wid)
        wait_until(lambda: len(frame_files(s)) > len(paused), 120, 0.3, "generation going on")
        check(True, "generation goes on once the window shows again")
        s.key("q", at=(240, 300))
        check(s.wait_exit(30) == 0, "q quits")


if __name__ == "__main__":
    run(main)
