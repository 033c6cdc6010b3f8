"""While the window is hidden nothing runs: a sequence being generated
pauses and goes on when the window shows again."""
import os
import time

from xharness import Session, check, log, parse_args, run, wait_until

FRAMES = 100


def frame_files(s):
    return sorted(n for n in os.listdir(s.workdir) if n.startswith("h") and n.endswith(".off"))


def written_at(s, name):
    return os.stat(s.path(name)).st_mtime


def main():
    args = parse_args()
    with Session(args.bin, args.src, "hidden") as s:
        s.launch(["-q", "-o", "h", "-p", "40", "-f", str(FRAMES), s.example("icosphere.off"), s.example("torus.off")])
        wid = s.wait_for_window()
        s.wait_file("h%03d.off" % FRAMES, 120)
        s.wait_manual_mode()
        s.key("Return", at=(240, 300))
        s.wait_file("h004.off", 120)
        # The pace of the generation, from the files it wrote.
        pace = max(written_at(s, "h004.off") - written_at(s, "h003.off"),
                   written_at(s, "h003.off") - written_at(s, "h002.off"), 0.05)
        s.x("xdotool", "windowunmap", wid)
        wait_until(lambda: s.window_id() is None, 30, 0.1, "window hidden")
        hidden_from = time.time()
        # Hidden for many frames' worth of the generation's own pace; whether
        # anything was written meanwhile is read from the files' times below.
        wait_until(lambda: time.time() - hidden_from > max(20 * pace, 3.0), 900, 0.1, "twenty frames' time")
        shown_from = time.time()
        s.x("xdotool", "windowmap", wid)
        wait_until(lambda: any(written_at(s, n) > shown_from for n in frame_files(s)), 120, 0.3,
                   "generation going on")
        check(True, "generation goes on once the window shows again")
        # At most the frame under way when the window went lands while
        # hidden, however long it took; a generation going on would have
        # written some twenty.
        during = [n for n in frame_files(s) if hidden_from < written_at(s, n) < shown_from]
        log("pace %.2f s, hidden %.1f s" % (pace, shown_from - hidden_from))
        check(len(during) <= 1, "no frame is built while the window is hidden: %s" % during)
        s.key("q", at=(240, 300))
        check(s.wait_exit(30) == 0, "q quits")


if __name__ == "__main__":
    run(main)
