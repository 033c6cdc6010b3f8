"""The mesh checker must catch each kind of broken surface on its own,
or the corpus survey would report faults that are not there (or miss them).
Run: python3 -m unittest discover -s tests/corpus"""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mesh_check as mc  # noqa: E402

TET_VERTICES = [(0, 1, 0), (1, 0, 0), (0, 0, 0), (0, 0, 1)]
TET_FACES = [(0, 1, 2), (2, 3, 0), (1, 3, 2), (0, 3, 1)]  # outward


def check(faces, vertices=TET_VERTICES, normals=None):
    return mc.check_mesh(mc.Mesh(list(vertices), list(faces), normals))


class MeshCheckTest(unittest.TestCase):
    def test_closed_tetrahedron_passes(self):
        r = check(TET_FACES)
        self.assertEqual(r.problems(), [])
        self.assertTrue(r.sound)
        self.assertEqual((r.pieces, r.nonmanifold_vertices, r.zero_area), (1, 0, 0))
        self.assertAlmostEqual(r.volume, 1 / 6)

    def test_inside_out_tetrahedron_points_inwards(self):
        r = check([f[::-1] for f in TET_FACES])
        self.assertTrue(r.sound)
        self.assertLess(r.volume, 0)
        self.assertIn("faces point inwards", r.problems())

    def test_flipped_face_fails_orientation_only(self):
        r = check(TET_FACES[:3] + [TET_FACES[3][::-1]])
        self.assertFalse(r.oriented)
        self.assertEqual(r.misoriented_edges, 3)
        self.assertTrue(r.closed)

    def test_removed_face_fails_closed(self):
        r = check(TET_FACES[1:])
        self.assertFalse(r.closed)
        self.assertEqual(r.boundary_edges, 3)
        self.assertTrue(r.oriented and r.edge_manifold)

    def test_tetrahedra_sharing_an_edge_are_pinched(self):
        # Mirror the tetrahedron through the edge 2-3 (the z axis); the copy
        # touches the original along that edge only.
        mirrored = [(-x, -y, z) for x, y, z in TET_VERTICES[:2]]
        faces = TET_FACES + [tuple({0: 4, 1: 5}.get(i, i) for i in f) for f in TET_FACES]
        r = check(faces, TET_VERTICES + mirrored)
        self.assertFalse(r.edge_manifold)
        self.assertEqual((r.overfull_edges, r.pinched_edges), (1, 1))
        self.assertTrue(r.oriented)  # two uses each way: a pinch, not a flip
        self.assertEqual((r.pieces, r.nonmanifold_vertices), (1, 2))

    def test_zero_area_and_needle_triangles_are_counted(self):
        vertices = [(0, 0, 0), (1, 0, 0), (2, 0, 0), (100, 0, 0), (10, 0, 0), (0, 1, 0)]
        faces = [(0, 1, 2),   # collinear: zero area
                 (0, 3, 5),   # about 0.6 degrees at (100, 0, 0)
                 (0, 4, 5)]   # about 5.7 degrees at (10, 0, 0)
        self.assertEqual(mc.triangle_shapes(mc.Mesh(vertices, faces)), (1, 1, 2))

    def test_cnoff_frame_with_inward_normals(self):
        text = "# frame\nCNOFF\n4 4 0\n" + "".join(
            f"{x} {y} {z} {-x} {-y} {-z} 0.5 0.5 0.5 1  # v\n"
            for x, y, z in [(0, 64, 0), (64, 0, 0), (0, 0, 0), (0, 0, 64)]) + "".join(
            f"3 {a} {b} {c}\n" for a, b, c in TET_FACES)
        mesh = mc.parse_off(text)
        # The stored normals point at the origin corner: mostly inwards.
        r = mc.check_mesh(mesh)
        self.assertGreater(r.normals_disagree, r.normals_agree)
        self.assertIn("stored normals point inwards", r.problems())

    def test_command_line_fails_on_an_open_file(self):
        with tempfile.TemporaryDirectory() as d:
            good, bad = os.path.join(d, "good.off"), os.path.join(d, "bad.off")
            for path, faces in ((good, TET_FACES), (bad, TET_FACES[1:])):
                with open(path, "w") as f:
                    f.write(f"OFF\n4 {len(faces)} 0\n")
                    f.writelines(f"{x} {y} {z}\n" for x, y, z in TET_VERTICES)
                    f.writelines(f"3 {a} {b} {c}\n" for a, b, c in faces)
            with open(os.devnull, "w") as quiet:
                saved, sys.stdout = sys.stdout, quiet
                try:
                    self.assertEqual(mc.main([good]), 0)
                    self.assertEqual(mc.main([good, bad]), 1)
                finally:
                    sys.stdout = saved
            self.assertEqual(mc.classify_input(bad).label, "open")


if __name__ == "__main__":
    unittest.main()
