#!/usr/bin/env python3
"""Checks triangle meshes in OFF files, independently of the C++ code.

Reads OFF, COFF, NOFF and CNOFF (one object, `#` comments, faces of any
size) and measures what a morph frame must be: a closed, edge-manifold,
consistently and outwardly oriented surface. Zero-area and needle-thin
triangles and non-manifold vertices are counted but do not fail a file.
The frames use integer coordinates, so areas and volumes are exact here.

    mesh_check.py frame.off [...]   one line per file; exit 1 if any fails
"""
import math
import re
import sys
from collections import Counter
from dataclasses import dataclass
from typing import List, Optional

SIN2_1_DEG = math.sin(math.radians(1.0)) ** 2
SIN2_10_DEG = math.sin(math.radians(10.0)) ** 2
HEADER = re.compile(r"(C?)(N?)OFF")
INTEGER = re.compile(r"[-+]?\d+")


class MeshError(ValueError):
    """The file is not an OFF object this reader understands."""


@dataclass
class Mesh:
    vertices: List[tuple]
    faces: List[tuple]
    normals: Optional[List[tuple]] = None  # stored per-vertex normals (NOFF, CNOFF)


def _number(token):
    # Integers stay exact so that zero areas and volume signs are exact too.
    return int(token) if INTEGER.fullmatch(token) else float(token)


def parse_off(text):
    lines = [ln.split("#", 1)[0].split() for ln in text.splitlines()]
    lines = [ln for ln in lines if ln]
    if not lines:
        raise MeshError("empty file")
    header = HEADER.fullmatch(lines[0][0])
    if not header:
        raise MeshError(f"no OFF header: {lines[0][0]!r}")
    has_normals = bool(header.group(2))
    counts = lines[0][1:] or (lines[1] if len(lines) > 1 else [])
    body = lines[1:] if lines[0][1:] else lines[2:]
    try:
        nv, nf = int(counts[0]), int(counts[1])
    except (IndexError, ValueError):
        raise MeshError("no vertex and face counts") from None
    if len(body) < nv + nf:
        raise MeshError(f"file ends early: {len(body)} lines for {nv} vertices and {nf} faces")
    vertices, normals, faces = [], [], []
    try:
        for ln in body[:nv]:
            vertices.append(tuple(_number(t) for t in ln[:3]))
            if has_normals:
                normals.append(tuple(float(t) for t in ln[3:6]))
        for ln in body[nv:nv + nf]:
            n = int(ln[0])
            face = tuple(int(t) for t in ln[1:n + 1])
            if len(face) != n or any(i < 0 or i >= nv for i in face):
                raise MeshError(f"bad face line: {' '.join(ln)}")
            faces.append(face)
    except (ValueError, IndexError) as err:
        raise MeshError(f"malformed line: {err}") from None
    if any(len(v) != 3 for v in vertices) or any(len(n) != 3 for n in normals):
        raise MeshError("vertex line too short")
    return Mesh(vertices, faces, normals if has_normals else None)


def read_off(path):
    with open(path, encoding="ascii", errors="replace") as f:
        return parse_off(f.read())


# --- one function per property -------------------------------------------

def edge_uses(faces):
    """Counts of undirected edges and of directed edges over all faces."""
    undirected, directed = Counter(), Counter()
    for face in faces:
        for a, b in zip(face, face[1:] + face[:1]):
            directed[(a, b)] += 1
            undirected[(a, b) if a < b else (b, a)] += 1
    return undirected, directed


def boundary_edges(undirected):
    return sum(1 for c in undirected.values() if c == 1)


def overfull_edges(undirected):
    """Edges in more than two faces: the mesh is not edge-manifold there."""
    return sum(1 for c in undirected.values() if c > 2)


def pinched_edges(undirected):
    """Edges in exactly four faces: two sheets touching along an edge."""
    return sum(1 for c in undirected.values() if c == 4)


def misoriented_edges(undirected, directed):
    """Shared edges not used equally often in both directions.

    On a closed manifold this is "each directed edge once and its reverse
    once"; boundary edges are left to boundary_edges()."""
    return sum(1 for (a, b), c in undirected.items()
               if c >= 2 and directed[(a, b)] != directed[(b, a)])


def faces_repeating_index(faces):
    return sum(1 for f in faces if len(set(f)) < len(f))


def duplicate_faces(faces):
    """Faces whose vertex set already occurred, whatever their order."""
    seen = Counter(frozenset(f) for f in faces)
    return sum(c - 1 for c in seen.values())


def pieces(faces, vertex_count):
    """Connected pieces, faces being joined through shared vertices."""
    parent = list(range(vertex_count))

    def root(i):
        while parent[i] != i:
            parent[i] = parent[parent[i]]
            i = parent[i]
        return i

    for f in faces:
        r = root(f[0])
        for i in f[1:]:
            parent[root(i)] = r
    return len({root(i) for f in faces for i in f})


def _sub(p, q):
    return (p[0] - q[0], p[1] - q[1], p[2] - q[2])


def _cross(u, v):
    return (u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0])


def _dot(u, v):
    return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]


def signed_volume(mesh):
    """Enclosed volume, positive when the faces wind counter-clockwise seen
    from outside (faces are fanned from their first vertex)."""
    v, six = mesh.vertices, 0
    for f in mesh.faces:
        for i in range(1, len(f) - 1):
            six += _dot(v[f[0]], _cross(v[f[i]], v[f[i + 1]]))
    return six / 6


def normal_agreement(mesh):
    """(agree, disagree): stored vertex normals against the area-weighted
    normals of the faces around each vertex; vertices without either are
    left out."""
    if mesh.normals is None:
        return 0, 0
    acc = [[0, 0, 0] for _ in mesh.vertices]
    v = mesh.vertices
    for f in mesh.faces:
        for i in range(1, len(f) - 1):
            n = _cross(_sub(v[f[i]], v[f[0]]), _sub(v[f[i + 1]], v[f[0]]))
            for k in (f[0], f[i], f[i + 1]):
                a = acc[k]
                a[0] += n[0]; a[1] += n[1]; a[2] += n[2]
    agree = disagree = 0
    for stored, a in zip(mesh.normals, acc):
        d = _dot(stored, a)
        agree += d > 0
        disagree += d < 0
    return agree, disagree


def triangle_shapes(mesh):
    """(zero-area triangles, triangles with an angle under 1 degree, under
    10 degrees); zero-area triangles are counted only in the first figure.

    The smallest angle lies opposite the shortest side a, and is at most 60
    degrees, so it is under t exactly when (2 area)^2 < sin^2 t * b^2 c^2."""
    v = mesh.vertices
    zero = under1 = under10 = 0
    for f in mesh.faces:
        if len(f) != 3:
            continue
        p, q, r = v[f[0]], v[f[1]], v[f[2]]
        e1, e2, e3 = _sub(q, p), _sub(r, q), _sub(p, r)
        n = _cross(e1, e3)
        area2 = _dot(n, n)
        if area2 == 0:
            zero += 1
            continue
        l1, l2, l3 = sorted((_dot(e1, e1), _dot(e2, e2), _dot(e3, e3)))
        product = l2 * l3
        under1 += area2 < SIN2_1_DEG * product
        under10 += area2 < SIN2_10_DEG * product
    return zero, under1, under10


def nonmanifold_vertices(faces, vertex_count):
    """Vertices whose faces do not form one fan: the link (the edge opposite
    the vertex in each face) must be one path or cycle, so no link vertex
    may have more than two link edges and the link must be connected."""
    links = [[] for _ in range(vertex_count)]
    for f in faces:
        n = len(f)
        for i, x in enumerate(f):
            links[x].append((f[i - 1], f[(i + 1) % n]))
    count = 0
    for link in links:
        if not link:
            continue
        degree = Counter(u for edge in link for u in edge)
        if max(degree.values()) > 2:
            count += 1
            continue
        parent = {u: u for u in degree}

        def root(u):
            while parent[u] != u:
                u = parent[u]
            return u

        for a, b in link:
            parent[root(a)] = root(b)
        count += len({root(u) for u in parent}) > 1
    return count


# --- results -------------------------------------------------------------

@dataclass
class Report:
    path: str = ""
    vertices: int = 0
    triangles: int = 0
    other_faces: int = 0  # faces that are not triangles
    boundary_edges: int = 0
    overfull_edges: int = 0
    pinched_edges: int = 0
    misoriented_edges: int = 0
    repeated_index_faces: int = 0
    duplicate_faces: int = 0
    pieces: int = 0
    volume: float = 0.0
    normals_agree: int = 0
    normals_disagree: int = 0
    zero_area: int = 0
    angle_under_1: int = 0
    angle_under_10: int = 0
    nonmanifold_vertices: int = 0  # informative: not counted as a failure

    @property
    def closed(self):
        return self.boundary_edges == 0 and self.overfull_edges == 0

    @property
    def edge_manifold(self):
        return self.overfull_edges == 0

    @property
    def oriented(self):
        return self.misoriented_edges == 0

    @property
    def sound(self):
        """Closed, edge-manifold and consistently oriented."""
        return self.closed and self.edge_manifold and self.oriented

    def problems(self):
        found = []
        if self.triangles + self.other_faces == 0:
            found.append("no faces")
        if self.boundary_edges:
            found.append(f"{self.boundary_edges} boundary edges")
        if self.overfull_edges:
            found.append(f"{self.overfull_edges} edges in >2 faces")
        if self.misoriented_edges:
            found.append(f"{self.misoriented_edges} misoriented edges")
        if self.closed and self.volume <= 0 and self.triangles + self.other_faces:
            # Only a closed surface encloses a volume whose sign means anything.
            found.append("faces point inwards")
        if self.normals_disagree > self.normals_agree:
            found.append("stored normals point inwards")
        if self.repeated_index_faces:
            found.append(f"{self.repeated_index_faces} faces repeat a vertex")
        if self.duplicate_faces:
            found.append(f"{self.duplicate_faces} duplicate faces")
        if self.other_faces:
            found.append(f"{self.other_faces} faces are not triangles")
        return found

    def summary(self):
        state = "ok" if not self.problems() else "FAIL " + ", ".join(self.problems())
        return (f"{self.path}: {state}; V={self.vertices} T={self.triangles} "
                f"pieces={self.pieces} zero-area={self.zero_area} "
                f"<1deg={self.angle_under_1} <10deg={self.angle_under_10} "
                f"nonmanifold-vertices={self.nonmanifold_vertices}")


def check_mesh(mesh, path=""):
    undirected, directed = edge_uses(mesh.faces)
    agree, disagree = normal_agreement(mesh)
    zero, under1, under10 = triangle_shapes(mesh)
    triangles = sum(1 for f in mesh.faces if len(f) == 3)
    return Report(
        path=str(path),
        vertices=len(mesh.vertices),
        triangles=triangles,
        other_faces=len(mesh.faces) - triangles,
        boundary_edges=boundary_edges(undirected),
        overfull_edges=overfull_edges(undirected),
        pinched_edges=pinched_edges(undirected),
        misoriented_edges=misoriented_edges(undirected, directed),
        repeated_index_faces=faces_repeating_index(mesh.faces),
        duplicate_faces=duplicate_faces(mesh.faces),
        pieces=pieces(mesh.faces, len(mesh.vertices)),
        volume=signed_volume(mesh),
        normals_agree=agree,
        normals_disagree=disagree,
        zero_area=zero,
        angle_under_1=under1,
        angle_under_10=under10,
        nonmanifold_vertices=nonmanifold_vertices(mesh.faces, len(mesh.vertices)),
    )


def check_file(path):
    return check_mesh(read_off(path), path)


@dataclass
class InputClass:
    closed: bool
    edge_manifold: bool
    oriented: bool
    faces: int = 0

    @property
    def label(self):
        """"closed" for a closed, edge-manifold, oriented surface, else its
        defects joined by '+' (open, non-manifold, non-oriented)."""
        defects = [name for name, bad in (("open", not self.closed),
                                          ("non-manifold", not self.edge_manifold),
                                          ("non-oriented", not self.oriented)) if bad]
        return "+".join(defects) or "closed"


def classify_input(path):
    """Topology of an input surface, polygons allowed: only what decides
    whether it bounds a solid, so it stays quick on large meshes."""
    mesh = read_off(path)
    undirected, directed = edge_uses(mesh.faces)
    return InputClass(
        closed=bool(mesh.faces) and boundary_edges(undirected) == 0
        and overfull_edges(undirected) == 0,
        edge_manifold=overfull_edges(undirected) == 0,
        oriented=misoriented_edges(undirected, directed) == 0,
        faces=len(mesh.faces),
    )


def main(argv):
    if not argv or argv[0] in ("-h", "--help"):
        print(__doc__.strip())
        return 0 if argv else 2
    failed = False
    for path in argv:
        try:
            report = check_file(path)
        except (OSError, MeshError) as err:
            print(f"{path}: FAIL unreadable: {err}")
            failed = True
            continue
        print(report.summary())
        failed |= bool(report.problems())
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
