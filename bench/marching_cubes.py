#!/usr/bin/env python3
"""A plain marching-cubes extraction for scale: skimage.measure.marching_cubes
on a smooth field of nx x ny x nz samples (three overlapping balls), best of
three runs. Prints the seconds and the triangle count.

    marching_cubes.py nx ny nz
"""
import sys
import time

import numpy as np
from skimage import measure


def field(nx, ny, nz):
    x, y, z = np.meshgrid(np.arange(nx), np.arange(ny), np.arange(nz), indexing="ij")
    value = np.full((nx, ny, nz), -1e9)
    for cx, cy, cz, r in ((0.4, 0.5, 0.5, 0.3), (0.65, 0.45, 0.5, 0.22), (0.5, 0.7, 0.45, 0.18)):
        d = np.sqrt((x - cx * nx) ** 2 + (y - cy * ny) ** 2 + (z - cz * nz) ** 2)
        value = np.maximum(value, r * min(nx, ny, nz) - d)
    return value.astype(np.float32)


def main():
    nx, ny, nz = (int(a) for a in sys.argv[1:4])
    volume = field(nx, ny, nz)
    best, triangles = None, 0
    for _ in range(3):
        start = time.perf_counter()
        _, faces, _, _ = measure.marching_cubes(volume, level=0.0)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
        triangles = len(faces)
    print("%.4f %d" % (best, triangles))


if __name__ == "__main__":
    main()
