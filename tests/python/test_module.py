"""The Python module against the batch tool, and its inputs, errors,
interrupts and progress events.

    PYTHONPATH=<build>/python python3 test_module.py --src <source dir> --bin <build dir>
"""
import argparse
import os
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import types
import unittest
import warnings
import _thread

import numpy as np

import kestrane

parser = argparse.ArgumentParser()
parser.add_argument("--src", required=True)
parser.add_argument("--bin", required=True)
args, unittest_args = parser.parse_known_args()
EXAMPLES = os.path.abspath(os.path.join(args.src, "examples"))
BATCH = os.path.abspath(os.path.join(args.bin, "kestrane-batch"))
SPHERE = os.path.join(EXAMPLES, "icosphere.off")
TORUS = os.path.join(EXAMPLES, "torus.off")


def read_ply(path):
    """(positions, normals, colours, triangles) of a binary PLY frame, as tuples."""
    with open(path, "rb") as f:
        data = f.read()
    end = data.index(b"end_header\n") + len(b"end_header\n")
    counts = {}
    for line in data[:end].decode("ascii").splitlines():
        if line.startswith("element "):
            _, name, n = line.split()
            counts[name] = int(n)
    vertex = struct.Struct("<6f3B")
    rows = [vertex.unpack_from(data, end + i * vertex.size) for i in range(counts["vertex"])]
    face = struct.Struct("<B3i")
    start = end + counts["vertex"] * vertex.size
    faces = [face.unpack_from(data, start + i * face.size) for i in range(counts["face"])]
    assert all(f[0] == 3 for f in faces)
    return ([r[0:3] for r in rows], [r[3:6] for r in rows], [r[6:9] for r in rows], [f[1:] for f in faces])


def read_off(path):
    """(vertices, faces as lists) of a plain OFF file."""
    with open(path) as f:
        words = [w for line in f for w in line.split("#")[0].split()]
    assert words[0] == "OFF"
    nv, nf = int(words[1]), int(words[2])
    numbers = words[4:]
    vertices = [[float(x) for x in numbers[3 * i:3 * i + 3]] for i in range(nv)]
    faces, at = [], 3 * nv
    for _ in range(nf):
        k = int(numbers[at])
        faces.append([int(x) for x in numbers[at + 1:at + 1 + k]])
        at += 1 + k
    return vertices, faces


def same_frames(test, a, b):
    test.assertEqual(len(a), len(b))
    for i, (x, y) in enumerate(zip(a, b)):
        test.assertTrue(np.array_equal(x.vertices, y.vertices), "frame %d vertices" % i)
        test.assertTrue(np.array_equal(x.faces, y.faces), "frame %d faces" % i)
        test.assertTrue(np.array_equal(x.colours, y.colours), "frame %d colours" % i)


class BatchFrames(unittest.TestCase):
    def test_morph_equals_the_batch_tools_ply_frames(self):
        frames = kestrane.morph(SPHERE, TORUS, frames=5, points=30)
        with tempfile.TemporaryDirectory() as work:
            p = subprocess.run([BATCH, "-w", "-f", "5", "-p", "30", "-o", os.path.join(work, "morph"), "-u",
                                SPHERE, TORUS], cwd=work, capture_output=True, text=True, timeout=600)
            self.assertEqual(p.returncode, 0, p.stderr)
            self.assertEqual(len(frames), 5)
            for i, frame in enumerate(frames):
                positions, normals, colours, triangles = read_ply(os.path.join(work, "morph%03d.ply" % (i + 1)))
                self.assertEqual(frame.vertices.dtype, np.float64)
                self.assertEqual(frame.faces.dtype, np.int32)
                self.assertEqual(frame.vertices.shape, (len(positions), 3))
                self.assertEqual([tuple(v) for v in frame.vertices.astype(np.float32).tolist()],
                                 [tuple(v) for v in positions], "frame %d positions" % i)
                self.assertEqual([tuple(t) for t in frame.faces.tolist()], triangles, "frame %d faces" % i)
                self.assertEqual([tuple(n) for n in frame.normals.tolist()], normals, "frame %d normals" % i)
                self.assertEqual([tuple(c) for c in frame.colours.tolist()], colours, "frame %d colours" % i)


class Inputs(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.from_files = kestrane.morph(SPHERE, TORUS, frames=4, points=24)

    def test_arrays_lists_and_mesh_objects_morph_as_the_files_do(self):
        sv, sf = read_off(SPHERE)
        tv, tf = read_off(TORUS)
        torus = types.SimpleNamespace(vertices=np.array(tv), faces=np.array(tf, dtype=np.int64))
        for source, target in [((np.array(sv), np.array(sf, dtype=np.int32)), (np.array(tv), np.array(tf))),
                               ((sv, sf), torus),
                               ((np.array(sv, dtype=np.float32), sf), (tv, [tuple(f) for f in tf]))]:
            same_frames(self, kestrane.morph(source, target, frames=4, points=24), self.from_files)

    def test_polygons_of_mixed_sizes(self):
        # A cube of quads with one face split in two triangles; as one OFF file.
        v = [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0], [0, 0, 1], [1, 0, 1], [1, 1, 1], [0, 1, 1]]
        f = [[0, 3, 2], [0, 2, 1], [4, 5, 6, 7], [0, 1, 5, 4], [1, 2, 6, 5], [2, 3, 7, 6], [3, 0, 4, 7]]
        with tempfile.TemporaryDirectory() as work:
            path = os.path.join(work, "cube.off")
            with open(path, "w") as out:
                out.write("OFF\n8 7 0\n" + "".join("%d %d %d\n" % tuple(p) for p in v) +
                          "".join("%d %s\n" % (len(x), " ".join(map(str, x))) for x in f))
            same_frames(self, kestrane.morph((v, f), TORUS, frames=3, points=20),
                        kestrane.morph(path, TORUS, frames=3, points=20))

    def test_morpher_steps_give_the_one_call_frames(self):
        m = kestrane.Morpher(frames=4, points=24)
        m.load(SPHERE, TORUS)
        self.assertEqual(m.sphere_counts[1] > 0, True)
        same_frames(self, [m.frame(i) for i in range(4)], self.from_files)
        vector = ((0.0, 0.0, 1.0), (0.0, 0.0, 1.4))
        m.add_vector(*vector)
        self.assertEqual(m.vectors, [vector])
        with_vector = kestrane.morph(SPHERE, TORUS, frames=4, points=24, vectors=[vector])
        same_frames(self, [m.frame(i) for i in range(4)], with_vector)
        m.remove_vector(0)
        same_frames(self, [m.frame(2)], [self.from_files[2]])
        self.assertEqual(m.frame_at(0).vertices.tolist(), self.from_files[0].vertices.tolist())


class Errors(unittest.TestCase):
    def assert_raises(self, error, words, call):
        with self.assertRaises(error) as caught:
            call()
        for w in words:
            self.assertIn(w, str(caught.exception))
        return caught.exception

    def test_files_name_themselves(self):
        missing = os.path.join(tempfile.gettempdir(), "no-such-surface.off")
        e = self.assert_raises(FileNotFoundError, [missing], lambda: kestrane.morph(missing, TORUS))
        self.assertEqual(e.filename, missing)
        readme = os.path.join(args.src, "README.md")
        self.assert_raises(ValueError, [readme], lambda: kestrane.morph(SPHERE, readme))

    def test_warnings_are_morph_warnings(self):
        # One sample point: neither surface encloses a voxel, then no spheres.
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            self.assert_raises(ValueError, [SPHERE], lambda: kestrane.morph(SPHERE, TORUS, frames=2, points=1))
        self.assertEqual([w.category for w in caught], [kestrane.MorphWarning] * 2)
        self.assertIn(SPHERE, str(caught[0].message))
        with warnings.catch_warnings():
            warnings.simplefilter("error", kestrane.MorphWarning)
            self.assertRaises(kestrane.MorphWarning, lambda: kestrane.morph(SPHERE, TORUS, frames=2, points=1))

    def test_options_out_of_range(self):
        for option, value, words in [("frames", 1, ["frames", "2 to 65535"]), ("points", 40000, ["points", "32767"]),
                                     ("resolution", 9, ["resolution", "1 to 8"]), ("threads", 257, ["threads", "256"]),
                                     ("antialias", float("nan"), ["antialias"]), ("antialias", -1, ["antialias"]),
                                     ("transform", np.eye(3), ["transform"]),
                                     ("transform", np.diag([1, 1, float("inf"), 1]), ["transform", "finite"]),
                                     ("voxel_size", 0, ["voxel_size", "above 0"]),
                                     ("voxel_size", float("inf"), ["voxel_size"])]:
            with self.subTest(option=option, value=value):
                self.assert_raises(ValueError, words, lambda: kestrane.morph(SPHERE, TORUS, **{option: value}))
        m = kestrane.Morpher()
        with self.assertRaises(ValueError):
            m.frames = 0
        self.assertEqual(m.frames, 20)

    def test_a_voxel_size_morphs_as_the_points_that_give_it(self):
        # The icosphere's shortest side is 2 units: 30 points make 1/15 voxels.
        by_points = kestrane.morph(SPHERE, TORUS, frames=3, points=30)
        by_size = kestrane.morph(SPHERE, TORUS, frames=3, points=200, voxel_size=2 / 30)
        same_frames(self, by_points, by_size)
        m = kestrane.Morpher(voxel_size=0.5)
        self.assertEqual(m.voxel_size, 0.5)
        m.voxel_size = None
        self.assertIsNone(m.voxel_size)

    def test_bad_arrays(self):
        v = np.array([[0, 0, 0], [1, 0, 0], [0, 1, 0], [0, 0, 1]], dtype=float)
        f = [[0, 2, 1], [0, 1, 3], [0, 3, 2], [1, 2, 3]]
        nan = v.copy()
        nan[2, 1] = np.nan
        for source, words in [((v, [[0, 2, 1], [0, 1, 4]]), ["source", "face 1", "index 4"]),
                              ((v, [[0, 2, 1], [-1, 1, 3]]), ["face 1", "index -1"]),
                              ((v, np.array([[0, 1]])), ["face 0", "3"]),
                              ((nan, f), ["source", "vertex 2", "finite"]),
                              ((v[:, :2], f), ["N x 3"])]:
            with self.subTest(words=words):
                self.assert_raises(ValueError, words, lambda: kestrane.morph(source, TORUS, frames=2))
        self.assert_raises(ValueError, ["target"], lambda: kestrane.morph(SPHERE, (v, [[0, 1, 9]]), frames=2))


class Interrupts(unittest.TestCase):
    def interrupted(self, call, interrupt):
        """Seconds from the interrupt to KeyboardInterrupt out of call."""
        sent = []

        def later():
            time.sleep(0.5)
            sent.append(time.monotonic())
            interrupt()
        sender = threading.Thread(target=later)
        sender.start()
        caught = None
        try:
            call()
        except KeyboardInterrupt:
            caught = time.monotonic()
        else:
            # Let the late interrupt land here, not in a later test.
            try:
                sender.join()
                time.sleep(1)
            except KeyboardInterrupt:
                pass
        sender.join()
        self.assertIsNotNone(caught, "the call ended before the interrupt")
        self.assertTrue(sent, "KeyboardInterrupt before the interrupt was sent")
        return caught - sent[0]

    def test_ctrl_c_stops_a_long_morph_promptly(self):
        delay = self.interrupted(lambda: kestrane.morph(SPHERE, TORUS, frames=40, points=80), _thread.interrupt_main)
        self.assertLess(delay, 2.0)
        m = kestrane.Morpher(points=140)
        m.load(SPHERE, TORUS)
        # Frames one after the other: one alone may end before the interrupt
        # comes, the whole run of them cannot.
        delay = self.interrupted(lambda: [m.frame(i, 40) for i in range(1, 40)],
                                 lambda: signal.raise_signal(signal.SIGINT))
        self.assertLess(delay, 2.0)
        # Both still work.
        self.assertEqual(m.frame(0, 2).vertices.shape[1], 3)
        self.assertEqual(len(kestrane.morph(SPHERE, TORUS, frames=2)), 2)


class Progress(unittest.TestCase):
    def test_stages_and_frames_in_order(self):
        events = []
        kestrane.morph(os.path.join(EXAMPLES, "cube.stl"), TORUS, frames=3, points=20, progress=events.append)
        stages = []
        for e in events:
            if not stages or stages[-1] != (e.stage, e.side):
                stages.append((e.stage, e.side))
        self.assertEqual(stages, [("reading", 0), ("sizing", -1), ("converting", 0), ("converting", 1),
                                  ("transforming", 0), ("extracting", 0), ("transforming", 1), ("extracting", 1),
                                  ("linking", -1), ("frame", -1)])
        frames = [e for e in events if e.stage == "frame"]
        self.assertEqual([e.frame for e in frames if e.finished], [0, 1, 2])
        self.assertEqual([e.frame for e in frames], sorted(e.frame for e in frames))
        self.assertTrue(all(e.frame_count == 3 and 0 < e.done <= e.total for e in frames))
        self.assertIn("cube.stl", events[0].item)

    def test_an_exception_in_the_callback_stops_the_morph(self):
        seen = []

        def stop_at_frame_one(e):
            seen.append(e)
            if e.stage == "frame" and e.frame == 1:
                raise ZeroDivisionError("stop")
        with self.assertRaises(ZeroDivisionError):
            kestrane.morph(SPHERE, TORUS, frames=20, points=24, progress=stop_at_frame_one)
        self.assertEqual(max(e.frame for e in seen), 1)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]] + unittest_args)
