"""The viewer on mesh formats: it loads an STL cube and an OBJ sphere,
File > Save Surface > As PLY switches frame output to PLY, and an STL file it
cannot read gives the load warning (and the reason on standard error)."""

from xharness import Session, check, is_red_text, parse_args, run
import menu_driver as m


def main():
    args = parse_args()
    with Session(args.bin, args.src, "menu-ply") as s:
        s.launch(["-o", "m", "-f", "3", "-p", "16", s.example("cube.stl"), s.example("icosphere.obj")])
        s.wait_for_window()
        s.wait_file("m003.off", timeout=120)  # the end frames of the load
        s.wait_manual_mode()
        view = s.view_point()

        m.open_menus(s, "File", "Save Surface")
        m.wait_pressed(s, "As OOGL")
        m.wait_pressed(s, "As PLY", pressed=False)
        m.click(s, "As PLY")
        m.wait_pressed(s, "As PLY")
        m.wait_pressed(s, "As OOGL", pressed=False)
        m.wait_pressed(s, "As VRML", pressed=False)
        s.screenshot("menu-save-surface-ply")
        m.close_menus(s, "File")

        s.enter_automatic_mode(at=view)
        s.key("Return", at=view)  # the sequence, written as PLY
        last = s.wait_file("m003.ply", timeout=300)
        with open(last, "rb") as f:
            check(f.read(64).startswith(b"ply\nformat binary_little_endian 1.0\n"), "the frames are binary PLY")
        s.key("q", at=view)
        check(s.wait_exit(30) == 0, "q ends the program")

    with Session(args.bin, args.src, "viewer-bad-stl") as s:
        with open(s.path("scan.stl"), "wb") as f:
            f.write(b"\x00\x01 not an STL at all \xff" * 3)
        s.launch([s.path("scan.stl"), s.example("icosphere.obj")])
        s.wait_for_window()
        img = s.wait_picture(lambda im: s.status_text_extent(im, is_red_text) > 100, 60, what="red warning text")
        # "Couldn't understand file formats" in 12-point Helvetica.
        extent = s.status_text_extent(img, is_red_text)
        check(150 < extent < 240, "the load warning fills the status line (ends at x=%d)" % extent)
        check("`%s' could not be read as STL: " % s.path("scan.stl") in s.stderr_text(),
              "standard error names the file and the reason")
        s.key("q", at=(240, 180))
        check(s.wait_exit(30) == 0, "q quits with status 0")


if __name__ == "__main__":
    run(main)
