"""Reads PLY files with meshio (Debian's python3-meshio), a reader that is
not ours, and prints one JSON line per file: point count, cells per type,
bounding box and point data names.

    ply_check.py file.ply ...

meshio lives in Debian's python; read_with_meshio() runs this script with
the interpreter that has it.
"""
import json
import os
import subprocess
import sys

DEBIAN_PYTHON = "/usr/bin/python3"


def describe(path):
    import meshio
    mesh = meshio.read(path, file_format="ply")
    return {
        "file": os.path.basename(path),
        "points": int(len(mesh.points)),
        "cells": {block.type: int(len(block.data)) for block in mesh.cells},
        "min": [float(x) for x in mesh.points.min(axis=0)] if len(mesh.points) else None,
        "max": [float(x) for x in mesh.points.max(axis=0)] if len(mesh.points) else None,
        "point_data": sorted(mesh.point_data),
    }


def read_with_meshio(paths):
    """{file name: description} for each path, read by meshio."""
    try:
        import meshio  # noqa: F401
        python = sys.executable
    except ImportError:
        python = DEBIAN_PYTHON
    p = subprocess.run([python, os.path.abspath(__file__)] + list(paths), capture_output=True, text=True,
                       timeout=300)
    if p.returncode != 0:
        raise RuntimeError("meshio could not read the files:\n" + p.stderr)
    return {d["file"]: d for d in (json.loads(line) for line in p.stdout.splitlines())}


if __name__ == "__main__":
    for path in sys.argv[1:]:
        print(json.dumps(describe(path)))
