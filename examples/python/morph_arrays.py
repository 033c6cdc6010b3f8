"""A morph between two surfaces made here as numpy arrays: a box of quads
into an octahedron, with a progress line and one manual vector.

    PYTHONPATH=build/release/python python3 examples/python/morph_arrays.py
"""
import sys

import numpy as np

import kestrane

# A box 2 x 1 x 1, its faces quads, counter-clockwise seen from outside.
box_vertices = np.array([[x, y, z] for z in (0, 1) for y in (0, 1) for x in (0, 2)], dtype=float)
box_faces = np.array([[0, 2, 3, 1], [4, 5, 7, 6], [0, 1, 5, 4], [2, 6, 7, 3], [0, 4, 6, 2], [1, 3, 7, 5]])

octahedron_vertices = np.array([[1, 0, 0], [-1, 0, 0], [0, 1, 0], [0, -1, 0], [0, 0, 1], [0, 0, -1]], dtype=float)
octahedron_faces = [[0, 2, 4], [2, 1, 4], [1, 3, 4], [3, 0, 4], [2, 0, 5], [1, 2, 5], [3, 1, 5], [0, 3, 5]]


def progress(event):
    if event.stage == "frame" and event.finished:
        sys.stderr.write("\rframe %d of %d: %d triangles" % (event.frame + 1, event.frame_count, event.triangles))


frames = kestrane.morph((box_vertices, box_faces), (octahedron_vertices, octahedron_faces), frames=8, points=30,
                        vectors=[((2, 0.5, 0.5), (1, 0, 0))], progress=progress)
sys.stderr.write("\n")
for i, frame in enumerate(frames):
    low, high = frame.vertices.min(axis=0), frame.vertices.max(axis=0)
    print("frame %d: %5d vertices, %5d triangles, box %s to %s" %
          (i, len(frame.vertices), len(frame.faces), np.round(low, 3), np.round(high, 3)))
