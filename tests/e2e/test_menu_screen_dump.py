"""Screen dumps chosen in File > Save Screen and toggled with the space bar."""

import glob
import os
import struct

from xharness import Session, check, log, parse_args, run, wait_until
import menu_driver as m

VIEW_W, VIEW_H = 480, 320  # the view of a 480 x 370 window
BMP_SIZE = 54 + 1440 * VIEW_H


def dumps(s, pattern):
    return sorted(os.path.basename(p) for p in glob.glob(s.path(pattern)))


def dumps_after_stop(s, pattern):
    """The dumps once space has switched dumping off: those present after a
    later redraw, which no further redraw adds to."""
    s.barrier()
    files = dumps(s, pattern)
    s.barrier()
    check(dumps(s, pattern) == files, "no dump is written after space switched dumping off")
    return files


def check_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    check(len(data) == BMP_SIZE, "%s holds %d bytes" % (os.path.basename(path), BMP_SIZE))
    fields = struct.unpack("<2sIIIIiiHHIIiiII", data[:54])
    check(fields == (b"BM", BMP_SIZE // 2, 0, 54, 40, VIEW_W, VIEW_H, 1, 24, 0, 1440 * VIEW_H, 3937, 3937,
                     0, 0), "BMP header of a 480 x 320 view, size field 230427")


def check_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    lines = data.split(b"\n", 5)
    check(lines[0] == b"P6", "P6 magic")
    check(lines[1].startswith(b"# Count ") and lines[1].endswith(b" of morphing sequence."),
          "count comment: %r" % lines[1])
    check(lines[2] == b"# Created by Kestrane v2.4b, Orvalle, Mar 2002.", "creator comment")
    check(lines[3] == b"480 320", "size line")
    check(lines[4] == b"255", "maximum value line")
    check(len(lines[5]) == 3 * VIEW_W * VIEW_H, "raw pixels without padding")
    return lines[5]


def main():
    args = parse_args()
    with Session(args.bin, args.src, "menu-screen-dump") as s:
        s.launch([])
        s.wait_for_window()
        view = s.view_point()
        m.wait_levels(s, 1)

        # Space without a format: a warning, no file, dumping switches itself off.
        s.key("space", at=view)
        m.wait_warning(s)
        check(dumps(s, "*.bmp") + dumps(s, "*.ppm") == [], "no dump without a format")
        m.dismiss_warning(s)

        m.open_menus(s, "File", "Save Screen")
        m.edit_field(s, "File name:", "shot")
        m.wait_warning(s)  # "Use space bar to toggle screen dump"
        m.click(s, "As BMP")
        m.wait_pressed(s, "As BMP")
        m.close_menus(s, "File")
        s.barrier()  # redraws in which a dump would have been written
        check(dumps(s, "shot*") == [], "dumping stayed off after the format was chosen")

        s.key("space", at=view)
        s.wait_file("shot000.bmp")
        s.wait_file("shot001.bmp")
        s.key("space", at=view)
        files = dumps_after_stop(s, "shot*")
        log("written:", files[:3], "...", files[-1], len(files))
        check(files == ["shot%03d.bmp" % i for i in range(len(files))], "numbered from 000 without gaps")
        for name in (files[0], files[-1]):
            check_bmp(s.path(name))
        # The view is black above a chequered floor: the dump is not empty.
        with open(s.path(files[-1]), "rb") as f:
            pixels = f.read()[54:]
        check(len(set(pixels)) > 2, "the dump holds a picture")

        # PPM: the numbers go on from where the BMP run stopped.
        m.open_menus(s, "File", "Save Screen")
        m.edit_field(s, "File name:", "pic", erase=len("shot"))
        m.click(s, "As PPM")
        m.wait_pressed(s, "As PPM")
        m.wait_pressed(s, "As BMP", pressed=False)
        m.close_menus(s, "File")
        s.key("space", at=view)
        first = "pic%03d.ppm" % len(files)
        s.wait_file(first)
        s.key("space", at=view)
        ppms = dumps_after_stop(s, "pic*")
        check(ppms[0] == first, "PPM numbering continues at %s" % first)
        raw = check_ppm(s.path(ppms[0]))
        # Top row first: the top of the view is background, the bottom shows the floor.
        top = raw[:3 * VIEW_W]
        bottom = raw[-3 * VIEW_W:]
        check(top != bottom, "rows differ between top and bottom")

        s.key("q", at=view)
        check(s.wait_exit(30) == 0, "q ends the program with status 0")


if __name__ == "__main__":
    run(main)
