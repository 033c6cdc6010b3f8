"""One scripted run of the viewer under Valgrind memcheck (scripts/memcheck):
load, manual correspondence with a vector drawn and deleted, automatic
correspondence, a short sequence, a screen dump, the menus, quit. Every wait
is for an observable event, with timeouts for a program running some thirty
times slower than usual.

    viewer_run.py --bin <build> --src <source> --log <valgrind log>
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from xharness import Session, check, log, run, wait_until  # noqa: E402
import menu_driver as m  # noqa: E402

SLOW = 40  # Valgrind's slow-down, applied to every timeout


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--bin", required=True)
    p.add_argument("--src", required=True)
    p.add_argument("--log", required=True)
    p.add_argument("--suppressions", required=True)
    a = p.parse_args()
    valgrind = ["valgrind", "--tool=memcheck", "--leak-check=full", "--show-leak-kinds=definite",
                "--errors-for-leak-kinds=definite", "--track-origins=yes", "--num-callers=30",
                "--suppressions=" + os.path.abspath(a.suppressions), "--log-file=" + os.path.abspath(a.log)]
    with Session(a.bin, a.src, "memcheck") as s:
        s.launch(["-o", "m", "-f", "3", "-p", "12", s.example("icosphere.off"), s.example("torus.off")],
                 wrapper=valgrind, env={"ASAN_OPTIONS": ""})
        s.wait_for_window(60 * SLOW // 10)
        s.wait_file("m003.off", 60 * SLOW)
        s.wait_manual_mode(60 * SLOW)
        # A vector from the source sphere to the torus, then deleted.
        s.drag(240, 152, 296, 186, steps=15, step_pause=0.05, hold_at_end=0.3)
        s.wait_picture(lambda im: im.count(0, 30, 480, 340, lambda r, g, b: b > 230 and r < 40 and g < 40) > 10,
                       30 * SLOW, 1.0, "the vector drawn")
        s.click(240, 152, button=3)
        s.wait_picture(lambda im: im.count(0, 30, 480, 340, lambda r, g, b: b > 230 and r < 40 and g < 40) == 0,
                       30 * SLOW, 1.0, "the vector deleted")
        s.enter_automatic_mode(timeout=60 * SLOW)
        s.key("plus", at=(240, 300))
        # The sequence of three frames.
        s.key("Return", at=(240, 300))
        wait_until(lambda: 0 < s.status_text_extent() < 200, 60 * SLOW, 1.0, "the sequence built")
        # A screen dump: File > Save Screen, a name, BMP, then space twice.
        m.open_menus(s, "File", "Save Screen")
        m.edit_field(s, "File name:", "shot")
        m.click(s, "As BMP")
        m.wait_pressed(s, "As BMP", timeout=30 * SLOW)
        m.close_menus(s, "File")
        s.key("space", at=(240, 300))
        s.wait_file("shot000.bmp", 30 * SLOW)
        s.key("space", at=(240, 300))
        # The other menus and the help panel.
        for name in ("Scale", "Sampling", "Display"):
            m.open_menus(s, name)
            m.close_menus(s, name)
        s.barrier(30 * SLOW)
        s.key("q", at=(240, 300))
        check(s.wait_exit(60 * SLOW) == 0, "q quits")
    with open(a.log) as f:
        text = f.read()
    summary = [l for l in text.splitlines() if "ERROR SUMMARY" in l or "definitely lost" in l]
    log("\n".join(summary))
    check("ERROR SUMMARY: 0 errors" in text, "Valgrind finds no error in our code (%s)" % os.path.abspath(a.log))


if __name__ == "__main__":
    run(main)
