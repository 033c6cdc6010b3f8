"""Enter, Enter, Backspace, Backspace walk the modes 0 -> 1 -> 2 -> 1 -> 0,
seen in the status line's mode prompt; with -q Enter goes straight to the
sequence and Backspace straight back. Keeps a picture of each mode, the
sequence with a coloured, shaded frame and its shadow on the floor."""
from xharness import Session, check, parse_args, run, wait_until

# Right ends of the prompts in 12-point Helvetica.
PROMPTS = {
    0: (260, 320),    # "Click and drag to define manual correspondence"
    1: (320, 400),    # "Change sphere number (+/-) or correspondence range (>/<)"
    2: (100, 200),    # "Frame rate: ..."
}


def wait_mode(s, mode, timeout=120):
    low, high = PROMPTS[mode]
    extent = wait_until(lambda: (lambda e: e if low < e < high else 0)(s.status_text_extent()), timeout, 0.3,
                        "the prompt of mode %d" % mode)
    check(True, "mode %d prompt on the status line (text ends at x=%d)" % (mode, extent))


def main():
    args = parse_args()
    with Session(args.bin, args.src, "modes") as s:
        s.launch(["-f", "5", s.example("blob_normals.off"), s.example("cube_coloured.off")])
        s.wait_for_window()
        wait_mode(s, 0)
        s.zoom_camera(70)
        s.raise_camera(20)
        s.screenshot("viewer-mode0")
        s.key("Return", at=(240, 300))
        wait_mode(s, 1)
        s.screenshot("viewer-mode1")
        s.key("Return", at=(240, 300))
        wait_mode(s, 2)
        s.screenshot("viewer-mode2-coloured-frame")
        s.key("BackSpace", at=(240, 300))
        wait_mode(s, 1)
        s.key("BackSpace", at=(240, 300))
        wait_mode(s, 0)
        s.key("Return", at=(240, 300))
        wait_mode(s, 1)
        s.key("Delete", at=(240, 300))
        wait_mode(s, 0)
        check(s.running(), "still running after the walk")
        s.key("q")
        check(s.wait_exit(30) == 0, "q quits")

    with Session(args.bin, args.src, "modes-quick") as s:
        s.launch(["-q", "-f", "3", s.example("icosphere.off"), s.example("torus.off")])
        s.wait_for_window()
        wait_mode(s, 0)
        s.key("Return", at=(240, 300))
        wait_mode(s, 2)
        s.screenshot("viewer-quick-sequence")
        s.key("BackSpace", at=(240, 300))
        wait_mode(s, 0)
        check(s.running(), "quick morphing: Enter goes to the sequence, Backspace back to manual")
        s.key("Escape")
        check(s.wait_exit(30) == 0, "Escape quits")


if __name__ == "__main__":
    run(main)
