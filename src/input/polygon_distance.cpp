#include <cmath>

#include "input/scan_operations.h"

namespace kestrane {
FaceGeometry face_geometry(int n, const Vector3* vertices, const int32_t* indices, Vector3 normal)
{
    FaceGeometry f;
    f.normal = normal;
    f.corners.resize(static_cast<size_t>(n));
    f.edges.resize(static_cast<size_t>(n));
    f.lengths.resize(static_cast<size_t>(n));
    for (int j = 0; j < n; ++j) f.corners[j] = vertices[indices[j]];
    for (int j = 0; j < n; ++j) {
        f.edges[j] = vec_sub(f.corners[(j + 1) % n], f.corners[j]);
        f.lengths[j] = vec_dot(f.edges[j], f.edges[j]);
    }
    return f;
}

double face_distance(const FaceGeometry& f, Vector3 point, double limit, int16_t& face_on)
{
    const Vector3 normal = f.normal;
    const Vector3& first = f.corners[0];
    double plane = vec_dot(vec_sub(first, point), normal);
    if (std::fabs(plane) > limit) return HUGE_VAL;
    Vector3 foot = vec_add_scaled(point, normal, plane);

    bool any_positive = false, any_other = false;
    double nearest = 1e10;  // squared distance from the foot to the face's rim
    const size_t n = f.corners.size();
    for (size_t j = 0; j < n; ++j) {
        const Vector3& p = f.corners[j];
        const Vector3& q = f.corners[j + 1 == n ? 0 : j + 1];
        const Vector3& edge = f.edges[j];
        Vector3 to_foot = vec_sub(foot, p);
        if (vec_dot(vec_cross(edge, to_foot), normal) > 0.0)
            any_positive = true;
        else
            any_other = true;
        double t = vec_dot(edge, to_foot);
        double length = f.lengths[j];
        Vector3 closest = t < 0.0 ? p : (t > length ? q : vec_add_scaled(p, edge, t / length));
        Vector3 gap = vec_sub(foot, closest);
        nearest = std::fmin(nearest, vec_dot(gap, gap));
    }
    if (!any_positive || !any_other) {
        face_on = 32000;  // the foot lies within the face
        return plane;
    }
    double distance = std::sqrt(plane * plane + nearest);
    if (plane < 0.0) distance = -distance;
    face_on = distance == 0.0 ? 32000 : static_cast<int16_t>(std::trunc(std::fabs(32000.0 * plane / distance)));
    return std::fabs(distance) > limit ? HUGE_VAL : distance;
}

double polygon_distance(Vector3 point, int n, const Vector3* vertices, const int32_t* indices, Vector3 normal,
                        double limit, int16_t& face_on)
{
    return face_distance(face_geometry(n, vertices, indices, normal), point, limit, face_on);
}

}  // namespace kestrane
