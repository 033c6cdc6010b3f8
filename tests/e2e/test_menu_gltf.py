"""File > Save Surface > glTF in the viewer: the sequence, once built, as one
animated GLB beside the frames ("<base name>.glb"), the same file the batch
tool writes with -g for the same morph, passed by the Khronos validator; OBJ
frames chosen in the same list; and the sphere files written into the
frames' folder, not the current directory."""
import os
import subprocess

from xharness import Session, check, parse_args, run
import menu_driver as m
from test_gltf_output import frame_meshes, read_glb, validate

FRAMES = 4
MORPH = ["-f", str(FRAMES), "-p", "16"]


def main():
    args = parse_args()
    with Session(args.bin, args.src, "menu-gltf") as s:
        source, target = s.example("cube.stl"), s.example("icosphere.obj")
        os.makedirs(s.path("out"))
        s.launch(["-o", "out/m"] + MORPH + [source, target])
        s.wait_for_window()
        s.wait_file("out/m%03d.off" % FRAMES, timeout=120)  # the end frames of the load
        s.wait_manual_mode()
        view = s.view_point()

        m.open_menus(s, "File", "Save Surface")
        m.wait_pressed(s, "As OOGL")
        m.wait_pressed(s, "As glTF", pressed=False)
        m.click(s, "As glTF")
        m.wait_pressed(s, "As glTF")
        m.click(s, "As OBJ")
        m.wait_pressed(s, "As OBJ")
        m.wait_pressed(s, "As OOGL", pressed=False)
        m.wait_pressed(s, "As glTF")  # beside any frame format
        s.screenshot("menu-save-surface-gltf")
        m.close_menus(s, "File")
        m.dismiss_warning(s)

        s.enter_automatic_mode(at=view)
        m.open_menus(s, "Display")
        m.click(s, "Spheres")  # shown, and written beside the frames
        s.wait_file("out/sphere001.sph", 60)
        s.wait_file("out/sphere%03d.sph" % FRAMES, 60)
        m.close_menus(s, "Display")
        check(not any(n.startswith("sphere") for n in os.listdir(s.path("."))),
              "no sphere file in the current directory")

        s.key("Return", at=view)  # the sequence, as OBJ frames and one GLB
        glb = s.wait_file("out/m.glb", timeout=300)
        check(all(os.path.isfile(s.path("out/m%d.obj" % i)) for i in range(1, FRAMES + 1)),
              "the OBJ frames are numbered 1..%d" % FRAMES)
        document, binary = read_glb(glb)
        meshes = frame_meshes(document)
        check([n for n, _, _ in meshes] == ["frame%03d" % (i + 1) for i in range(FRAMES)]
              and all(p is not None for _, p, _ in meshes), "one node with a mesh per frame: %s" % meshes)
        check(document["animations"][0]["channels"] and document["buffers"][0]["byteLength"] == len(binary),
              "an animation, the buffer the BIN chunk")
        s.key("q", at=view)
        check(s.wait_exit(30) == 0, "q ends the program")

        batch = subprocess.run([os.path.join(args.bin, "kestrane-batch"), "-w"] + MORPH +
                               ["-g", "batch.glb", source, target], cwd=s.path("."), capture_output=True,
                               text=True, timeout=600)
        with open(glb, "rb") as f, open(s.path("batch.glb"), "rb") as g:
            check(batch.returncode == 0 and f.read() == g.read(),
                  "the viewer's GLB is the batch tool's for the same morph (24 frames a second)")
        report, why = validate(glb)
        if report is None:
            print("validator not run: " + why)
        else:
            issues = report["issues"]
            check(issues["numErrors"] == 0 and issues["numWarnings"] == 0,
                  "the Khronos validator finds no error or warning: %s" % issues.get("messages"))


if __name__ == "__main__":
    run(main)
