#include <cmath>

#include "input/scan_operations.h"

double polygon_distance(Vector3 point, int n, const Vector3* vertices, const int32_t* indices,
                        Vector3 normal, double limit, int16_t& face_on)
{
    const Vector3& first = vertices[indices[0]];
    double plane = vec_dot(vec_sub(first, point), normal);
    if (std::fabs(plane) > limit) return HUGE_VAL;
    Vector3 foot = vec_add_scaled(point, normal, plane);

    bool any_positive = false, any_other = false;
    double nearest = 1e10;  // squared distance from the foot to the face's rim
    for (int j = 0; j < n; ++j) {
        const Vector3& p = vertices[indices[j]];
        const Vector3& q = vertices[indices[(j + 1) % n]];
        Vector3 edge = vec_sub(q, p);
        Vector3 to_foot = vec_sub(foot, p);
        if (vec_dot(vec_cross(edge, to_foot), normal) > 0.0)
            any_positive = true;
        else
            any_other = true;
        double t = vec_dot(edge, to_foot);
        double length = vec_dot(edge, edge);
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
