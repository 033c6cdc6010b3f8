#include "render/camera.h"

#include <cmath>


namespace {
double radians(double degrees) { return degrees * VIEW_PI / 180.0; }
}  // namespace

CameraPose camera_pose(float azimuth, float elevation, float twist, float eye_distance)
{
    const double az = radians(azimuth), el = radians(elevation), t = radians(twist);
    CameraPose p{};
    p.direction[0] = std::cos(az) * std::cos(el);
    p.direction[1] = std::sin(az) * std::cos(el);
    p.direction[2] = -std::sin(el);
    const double centre[3] = {0, 0, 1};
    for (int a = 0; a < 3; ++a) {
        p.eye[a] = centre[a] - eye_distance * p.direction[a];
        p.centre[a] = p.eye[a] + p.direction[a];
    }
    // The twist leans the up vector sideways across the viewing direction.
    if (std::fabs(p.direction[1]) < std::fabs(p.direction[0])) {
        p.up[0] = 0;
        p.up[1] = std::sin(t);
        p.up[2] = std::cos(t);
    } else {
        p.up[0] = std::sin(t);
        p.up[1] = 0;
        p.up[2] = std::cos(t);
    }
    return p;
}

void moving_light(float azimuth, float elevation, float distance, float out[4])
{
    const double laz = radians(azimuth), lel = radians(elevation), r = distance;
    out[0] = static_cast<float>(-r * std::cos(laz) * std::cos(lel));
    out[1] = static_cast<float>(-r * std::sin(laz) * std::cos(lel));
    out[2] = static_cast<float>(1 + r * std::sin(lel));
    out[3] = 0;
}

void shadow_matrix(const float l[4], float m[16])
{
    const float columns[16] = {l[2], 0, 0, 0,         //
                               0, l[2], 0, 0,         //
                               -l[0], -l[1], 0, -l[3],  //
                               0, 0, 0, l[2]};
    for (int i = 0; i < 16; ++i) m[i] = columns[i];
}
