"""While a mesh file is read the viewer stays live: the status line offers
Cancel, Escape stops the import at once (its reader process killed and
reaped), the window still answers and quits cleanly. Files that used to
freeze the window (a PLY header without its end, a device, a pipe) are
refused with a warning and the viewer goes on."""
import os
import subprocess
import sys

from batch_support import child_processes, slow_obj
from xharness import Session, check, is_red_text, parse_args, run, wait_until


def main():
    args = parse_args()
    with Session(args.bin, args.src, "importcancel") as s:
        slow_obj(s.path("slow.obj"))
        s.launch([s.path("slow.obj"), s.example("torus.off")])
        s.wait_for_window()
        wait_until(lambda: s.cancel_label_visible(), 120, 0.1, "Cancel on the status line while the file is read")
        check(True, "the status line offers Cancel while the file is read")
        wait_until(lambda: child_processes(s.proc.pid), 60, 0.05, "the reader process")
        check(True, "the file is read in a process of its own")
        s.key("Escape", at=(240, 200))
        wait_until(lambda: "cancelled" in s.stderr_text(), 30, 0.1, "the load cancelled")
        check(True, "Escape cancels the load, and the reason is told")
        wait_until(lambda: not child_processes(s.proc.pid), 10, 0.05, "the reader gone")
        check(True, "the reader process is killed and reaped")
        wait_until(lambda: s.status_line_has(is_red_text, 40), 30, 0.1, "a warning on the status line")
        check(s.running(), "the status line warns of the cancelled load, and the viewer goes on")
        s.key("q", at=(240, 300))
        check(s.wait_exit(30) == 0, "q quits")

    with Session(args.bin, args.src, "importrefused") as s:
        inputs = s.path("hostile")
        subprocess.run([sys.executable, os.path.join(args.src, "scripts", "make-hostile-inputs"), inputs],
                       check=True, stdout=subprocess.DEVNULL)
        os.mkfifo(s.path("input.fifo"))
        for name, path in (("a PLY header without its end", os.path.join(inputs, "ply-no-end-header.ply")),
                           ("a PLY declaring 10^9 faces", os.path.join(inputs, "ply-binary-billion-faces.ply")),
                           ("/dev/zero", "/dev/zero"), ("a pipe", s.path("input.fifo"))):
            s.launch([path, s.example("torus.off")])
            s.wait_for_window()
            wait_until(lambda: s.status_line_has(is_red_text, 40), 60, 0.1, "a warning for " + name)
            check(s.running(), name + ": refused with a warning, the viewer goes on")
            s.key("q", at=(240, 300))
            check(s.wait_exit(30) == 0, name + ": q quits")


if __name__ == "__main__":
    run(main)
