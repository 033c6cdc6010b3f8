"""Morphs two of the bundled examples and writes every frame as a binary
PLY file with meshio, normals and colours included.

    PYTHONPATH=build/release/python python3 examples/python/morph_files.py [out_dir]
"""
import os
import sys

import meshio

import kestrane

here = os.path.dirname(os.path.abspath(__file__))
examples = os.path.dirname(here)
out = sys.argv[1] if len(sys.argv) > 1 else "out"
os.makedirs(out, exist_ok=True)

frames = kestrane.morph(os.path.join(examples, "cube.stl"), os.path.join(examples, "torus.off"),
                        frames=10, points=40)
for i, frame in enumerate(frames, start=1):
    name = os.path.join(out, "morph%03d.ply" % i)
    meshio.write_points_cells(
        name, frame.vertices, [("triangle", frame.faces)],
        point_data={"nx": frame.normals[:, 0], "ny": frame.normals[:, 1], "nz": frame.normals[:, 2],
                    "red": frame.colours[:, 0], "green": frame.colours[:, 1], "blue": frame.colours[:, 2]},
        binary=True)
    print(name)
