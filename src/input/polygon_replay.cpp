#include <cmath>
#include <string>

#include "base/colour.h"
#include "input/mesh_import.h"

namespace kestrane {
namespace {

uint32_t default_face_colour() { return make_colour(DEFAULT_FACE_RED, DEFAULT_FACE_GREEN, DEFAULT_FACE_BLUE); }

// A value rounded to float, as the OFF reader keeps its coordinates. Kept
// out of line: GCC 12's SLP vectorizer folds a vectorised double-to-float-
// to-double round trip into nothing.
__attribute__((noinline)) float to_float(double value) { return static_cast<float>(value); }

}  // namespace

bool check_polygon_mesh(const PolygonMesh& mesh, std::string* reason)
{
    auto fail = [&](size_t object, const std::string& what) {
        *reason = (mesh.objects.size() > 1 ? "object " + std::to_string(object) + ": " : std::string()) + what;
        return false;
    };
    size_t faces = 0;
    for (size_t o = 0; o < mesh.objects.size(); ++o) {
        const PolygonObject& object = mesh.objects[o];
        const size_t n = object.positions.size();
        for (size_t v = 0; v < n; ++v) {
            const Vector3 p = object.positions[v];
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
                return fail(o, "vertex " + std::to_string(v) + " is not a finite point");
        }
        if (!object.face_colours.empty() && object.face_colours.size() != object.face_sizes.size())
            return fail(o, "has " + std::to_string(object.face_colours.size()) + " face colours for " +
                               std::to_string(object.face_sizes.size()) + " faces");
        size_t first = 0;
        for (size_t f = 0; f < object.face_sizes.size(); ++f) {
            const int32_t size = object.face_sizes[f];
            if (size < 3) return fail(o, "face " + std::to_string(f) + " has fewer than 3 corners");
            if (first + static_cast<size_t>(size) > object.corners.size())
                return fail(o, "the faces need more corners than the " + std::to_string(object.corners.size()) +
                                   " given");
            for (int32_t k = 0; k < size; ++k) {
                const int32_t index = object.corners[first + static_cast<size_t>(k)];
                if (index < 0 || static_cast<size_t>(index) >= n)
                    return fail(o, "face " + std::to_string(f) + " names vertex " + std::to_string(index) + " of " +
                                       std::to_string(n));
            }
            first += static_cast<size_t>(size);
        }
        if (first != object.corners.size())
            return fail(o, std::to_string(object.corners.size() - first) + " corners belong to no face");
        faces += object.face_sizes.size();
    }
    if (faces == 0) {
        *reason = "holds no polygon";
        return false;
    }
    return true;
}

int replay_mesh(const PolygonMesh& mesh, ReadPass, const double* transform, const SurfaceSink& sink)
{
    // Both passes meet every face, as they do in an OFF file.
    for (const PolygonObject& object : mesh.objects) {
        const auto faces = static_cast<int32_t>(object.face_sizes.size());
        if (sink.begin_object) {
            int status = sink.begin_object(sink.context, static_cast<int32_t>(object.positions.size()), faces);
            if (status != 0) return status;
        }
        for (Vector3 p : object.positions) {
            // At float precision, as every file is read (imported files
            // hold floats already).
            p = {to_float(p.x), to_float(p.y), to_float(p.z)};
            if (transform) {
                Vector3 moved = transform_point(transform, p.x, p.y, p.z);
                p = {to_float(moved.x), to_float(moved.y), to_float(moved.z)};
            }
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return SURFACE_BAD_OFF_VERTEX;
            if (sink.vertex) {
                int status = sink.vertex(sink.context, p);
                if (status != 0) return status;
            }
        }
        if (sink.face) {
            size_t first = 0;
            for (int32_t f = 0; f < faces; ++f) {
                const int32_t n = object.face_sizes[f];
                const int32_t* indices = n > MAX_FACE_VERTICES ? nullptr : object.corners.data() + first;
                const uint32_t colour = object.face_colours.empty() ? default_face_colour() : object.face_colours[f];
                int status = sink.face(sink.context, n, indices, colour);
                if (status != 0) return status;
                first += static_cast<size_t>(n);
            }
        }
        if (sink.end_object) {
            int status = sink.end_object(sink.context);
            if (status != 0) return status;
        }
    }
    return SURFACE_OK;
}

}  // namespace kestrane
