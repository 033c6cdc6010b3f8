// Morphs an octahedron into a cube, both held in memory, through the
// installed package alone: the headers it installs must compile on their
// own and its archives must link with what the package config finds.
#include <kestrane/kestrane.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

int failures = 0;

// A colour word: red 0..31, green 0..63, blue 0..31 in memory order.
uint32_t colour(uint8_t red, uint8_t green, uint8_t blue)
{
    const uint8_t bytes[4] = {red, green, blue, 0};
    uint32_t word;
    std::memcpy(&word, bytes, 4);
    return word;
}

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

// Corners on the axes at distance 1; faces counter-clockwise seen from outside.
kestrane::PolygonMesh octahedron()
{
    kestrane::PolygonObject o;
    o.positions = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int sx = 0; sx < 2; ++sx)
        for (int sy = 0; sy < 2; ++sy)
            for (int sz = 0; sz < 2; ++sz) {
                int a = sx, b = 2 + sy, c = 4 + sz;
                if ((sx + sy + sz) % 2) std::swap(b, c);  // a mirrored octant turns the other way
                o.face_sizes.push_back(3);
                o.corners.insert(o.corners.end(), {a, b, c});
                o.face_colours.push_back(colour(31, 0, 0));
            }
    kestrane::PolygonMesh m;
    m.objects.push_back(o);
    return m;
}

// Side 3 around (5, 0, 0), six quads; corner i has x, y, z from bits 0, 1, 2.
kestrane::PolygonMesh cube()
{
    kestrane::PolygonObject o;
    for (int i = 0; i < 8; ++i)
        o.positions.push_back({5 + ((i & 1) ? 1.5 : -1.5), (i & 2) ? 1.5 : -1.5, (i & 4) ? 1.5 : -1.5});
    o.corners = {0, 2, 3, 1, 4, 5, 7, 6, 0, 1, 5, 4, 2, 6, 7, 3, 0, 4, 6, 2, 1, 3, 7, 5};
    o.face_sizes.assign(6, 4);
    o.face_colours.assign(6, colour(0, 0, 31));
    kestrane::PolygonMesh m;
    m.objects.push_back(o);
    return m;
}

}  // namespace

int main()
{
    const kestrane::Surface source = kestrane::Surface::memory(octahedron(), "octahedron");
    const kestrane::Surface target = kestrane::Surface::memory(cube(), "cube");
    kestrane::MorphOptions options;
    options.parameters.frame_count = 3;
    options.parameters.min_points = 10;
    options.parameters.threads = 2;

    std::vector<kestrane::Mesh> frames;
    try {
        frames = kestrane::morph(source, target, options);
    } catch (const kestrane::MorphError& e) {
        std::fprintf(stderr, "FAILED: morph: %s\n", e.what());
        return 1;
    }
    check(frames.size() == 3, "one mesh per frame");
    for (const kestrane::Mesh& f : frames) {
        check(f.face_count() > 0 && f.faces.size() % 3 == 0, "a frame has triangles");
        check(f.normals.size() == f.vertices.size() && f.colours.size() == f.vertices.size(),
              "a normal and a colour per vertex");
        bool in_range = true;
        for (int32_t v : f.faces) in_range = in_range && v >= 0 && size_t(v) < f.vertex_count();
        check(in_range, "faces index the frame's vertices");
    }

    if (!frames.empty()) {
        double lo[3], hi[3];
        std::fill(lo, lo + 3, std::numeric_limits<double>::max());
        std::fill(hi, hi + 3, std::numeric_limits<double>::lowest());
        const kestrane::Mesh& first = frames.front();
        for (size_t i = 0; i < first.vertices.size(); ++i) {
            lo[i % 3] = std::min(lo[i % 3], first.vertices[i]);
            hi[i % 3] = std::max(hi[i % 3], first.vertices[i]);
        }
        // The octahedron spans -1 .. 1 on each axis; its tips may lose up
        // to a sample spacing to the sampling.
        bool close = true;
        for (int a = 0; a < 3; ++a) close = close && std::fabs(lo[a] + 1) < 0.2 && std::fabs(hi[a] - 1) < 0.2;
        if (!close)
            std::fprintf(stderr, "first frame spans %g..%g, %g..%g, %g..%g\n", lo[0], hi[0], lo[1], hi[1], lo[2],
                         hi[2]);
        check(close, "the first frame is the source");
    }

    // Errors cross the library as its own exception type.
    options.parameters.frame_count = 1;
    bool refused = false;
    try {
        kestrane::morph(source, target, options);
    } catch (const kestrane::MorphError& e) {
        refused = e.result().problem == kestrane::Problem::BadParameter;
    }
    check(refused, "a single frame is refused with BadParameter");

    if (failures == 0) std::printf("morphed %zu frames through the installed package\n", frames.size());
    return failures == 0 ? 0 : 1;
}
