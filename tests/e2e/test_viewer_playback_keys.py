"""Playback speed keys and the parameter-line toggle typed while the
sequence is being generated do not disturb the generation: the same frames
are written as without them, and the viewer keeps playing."""
from xharness import Session, check, parse_args, run, wait_until

FRAMES = 5


def run_once(args, label, keys_during_generation):
    with Session(args.bin, args.src, "playback-" + label) as s:
        s.launch(["-o", "p", "-f", str(FRAMES), s.example("icosphere.off"), s.example("torus.off")])
        s.wait_for_window()
        s.wait_file("p%03d.off" % FRAMES, 120)
        s.wait_manual_mode()
        s.enter_automatic_mode()
        s.key("Return")
        if keys_during_generation:
            s.key("minus", "minus", "D", "plus", "less", "greater", "minus", "d", "D")
        for n in range(1, FRAMES + 1):
            s.wait_file("p%03d.off" % n, 180)
        wait_until(lambda: 0 < s.status_text_extent() < 200, 60, 0.3, "frame-rate text")
        if keys_during_generation:
            img = s.screenshot("viewer-mode2-parameters")
            green = img.count(0, 328, 400, 345, lambda r, g, b: g > 200 and r < 80 and b < 80)
            check(green > 50, "%s: the parameter line is on after D, d, D" % label)
            s.key("minus", "minus", "minus", "plus")
        check(s.running(), "%s: the viewer keeps running" % label)
        frames = [s.read("p%03d.off" % n) for n in range(1, FRAMES + 1)]
        s.key("q")
        check(s.wait_exit(30) == 0, "%s: q quits" % label)
        return frames


def main():
    args = parse_args()
    plain = run_once(args, "plain", False)
    keyed = run_once(args, "keys", True)
    check(len(set(plain)) == FRAMES, "the plain run wrote %d different frames" % FRAMES)
    check(keyed == plain, "speed keys and D during generation leave every frame file unchanged")


if __name__ == "__main__":
    run(main)
