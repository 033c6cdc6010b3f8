"""Frame output into a directory that becomes read-only after the load: the
viewer warns about the file it cannot write, switches frame output off,
goes on generating and playing the sequence, and quits normally."""
import os

from xharness import Session, check, is_red_text, parse_args, run, wait_until

FRAMES = 4


def main():
    args = parse_args()
    with Session(args.bin, args.src, "unwritable") as s:
        s.launch(["-o", "m", "-f", str(FRAMES), "-p", "16", s.example("icosphere.off"), s.example("torus.off")],
                 unprivileged=True)
        s.wait_for_window()
        s.wait_file("m%03d.off" % FRAMES, 120)
        s.wait_manual_mode()
        check(os.path.exists(s.path("m001.off")), "the load writes the two end frames")
        os.chmod(s.workdir, 0o555)
        try:
            s.enter_automatic_mode()
            s.key("Return", at=(240, 300))
            wait_until(lambda: s.status_line_has(is_red_text, 40), 120, 0.3, "a warning on the status line")
            s.screenshot("viewer-unwritable-output")
            check(not os.path.exists(s.path("m002.off")), "no file appears in the read-only directory")
            # The sequence is still built and plays: the view keeps changing.
            pictures = set()

            def several():
                pictures.add(tuple(s.screenshot(s._probe).region(0, 25, 480, 345)))
                return len(pictures) >= 3
            wait_until(several, 120, 0.1, "the sequence playing")
            check(s.running(), "the viewer keeps running")
            s.key("q", at=(240, 300))
            check(s.wait_exit(30) == 0, "q quits with status 0")
        finally:
            os.chmod(s.workdir, 0o777)


if __name__ == "__main__":
    run(main)
