"""Loading two surfaces with frame output writes the first and last frame;
Enter twice generates and writes every frame; the viewer keeps running and
plays the frames back and forth."""
import os

from xharness import Session, check, parse_args, run, wait_until


def view_region(img):
    return img.region(0, 25, 480, 345)


def main():
    args = parse_args()
    with Session(args.bin, args.src, "sequence") as s:
        outdir = s.path("out")
        os.makedirs(outdir)
        s.launch(["-o", os.path.join(outdir, "m"), "-f", "4", s.example("icosphere.off"),
                  s.example("torus.off")])
        s.wait_for_window()
        s.wait_file("out/m004.off", 120)
        s.wait_file("out/m001.off", 120)
        names = sorted(os.listdir(outdir))
        check(names == ["m001.off", "m004.off"], "the load writes m001.off and m004.off only (%s)" % names)
        first_load = s.read("out/m001.off")
        check(first_load.startswith("CNOFF"), "frame files are CNOFF surfaces")
        s.wait_manual_mode()
        s.screenshot("viewer-mode0-surfaces")

        s.enter_automatic_mode(at=(240, 180))
        s.key("Return", at=(240, 180))
        for n in (1, 2, 3, 4):
            s.wait_file("out/m%03d.off" % n, 180)
        wait_until(lambda: len(os.listdir(outdir)) == 4, 60, 0.3, "four frame files")
        check(sorted(os.listdir(outdir)) == ["m001.off", "m002.off", "m003.off", "m004.off"],
              "the sequence writes m001 .. m004")
        wait_until(lambda: 0 < s.status_text_extent() < 200, 60, 0.3, "frame-rate text")
        check(s.running(), "the viewer keeps running after generation")
        frames = [s.read("out/m%03d.off" % n) for n in (1, 2, 3, 4)]
        check(frames[0] == first_load, "frame 1 of the sequence equals the source written at load")
        check(len(set(frames)) == 4, "the four frames differ from one another")

        # Playback: pictures of the view change over time while the camera is still.
        pictures = []
        def distinct_pictures():
            pictures.append(tuple(view_region(s.screenshot(s._probe))))
            return len(set(pictures)) >= 3
        wait_until(distinct_pictures, 60, 0.05, "three different frames on show")
        check(True, "playback shows at least three different pictures")
        s.screenshot("viewer-mode2-sequence")
        s.key("q", at=(240, 180))
        check(s.wait_exit(30) == 0, "q ends the program with status 0")


if __name__ == "__main__":
    run(main)
