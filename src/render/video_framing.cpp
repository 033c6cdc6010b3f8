#include "render/video_framing.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

struct Point {
    double x, y, z;
};

double dot(const Point& a, const double b[3]) { return a.x * b[0] + a.y * b[1] + a.z * b[2]; }

// Points whose hull holds the grid's box (about the object's centre) in
// every turn the video gives it: the box's corners, or with a turntable
// polygons around the circles its corners sweep.
std::vector<Point> bounding_points(const VideoFraming& f)
{
    double half[3];
    for (int axis = 0; axis < 3; ++axis) half[axis] = 0.5 * std::max(0, f.volume_dims[axis] - 1) * f.view_scale;
    // Tilted upright, the grid's y and z sides trade places.
    if (f.y_up) std::swap(half[1], half[2]);
    std::vector<Point> points;
    if (!f.turntable) {
        for (int corner = 0; corner < 8; ++corner)
            points.push_back({corner & 1 ? half[0] : -half[0], corner & 2 ? half[1] : -half[1],
                              corner & 4 ? half[2] : -half[2]});
        return points;
    }
    const int sides = 72;
    // The polygon's edges touch the circle from outside.
    const double radius = std::hypot(half[0], half[1]) / std::cos(VIEW_PI / sides);
    for (int k = 0; k < sides; ++k) {
        const double a = 2 * VIEW_PI * k / sides;
        for (double z : {-half[2], half[2]}) points.push_back({radius * std::cos(a), radius * std::sin(a), z});
    }
    return points;
}

}  // namespace

double framing_distance(const VideoFraming& f, const double direction[3], const double up[3])
{
    // The picture's axes, as the look-at matrix makes them.
    double side[3] = {direction[1] * up[2] - direction[2] * up[1], direction[2] * up[0] - direction[0] * up[2],
                      direction[0] * up[1] - direction[1] * up[0]};
    const double length = std::sqrt(side[0] * side[0] + side[1] * side[1] + side[2] * side[2]);
    for (double& c : side) c /= length;
    const double upright[3] = {side[1] * direction[2] - side[2] * direction[1],
                               side[2] * direction[0] - side[0] * direction[2],
                               side[0] * direction[1] - side[1] * direction[0]};
    const double tan_vertical = std::tan(VIEW_FIELD_OF_VIEW / 2 * VIEW_PI / 180);
    const double aspect = f.height > 0 ? static_cast<double>(f.width) / f.height : 1;
    const double tan_horizontal = tan_vertical * aspect;
    // A point at depth z beyond the centre and offsets (x, y) fits when
    // (d + z) tan >= |offset| for both axes, and lies beyond the near plane.
    double distance = 0;
    for (const Point& p : bounding_points(f)) {
        const double z = dot(p, direction);
        distance = std::max({distance, std::fabs(dot(p, side)) / tan_horizontal - z,
                             std::fabs(dot(p, upright)) / tan_vertical - z, VIEW_NEAR - z});
    }
    return distance;
}

SceneLook video_look(const VideoFraming& f, int index, int count)
{
    const StartingView start;
    SceneLook look;
    if (f.starting_view) {
        look.camera = camera_pose(start.azimuth, start.elevation, start.twist, start.eye_distance);
    } else {
        const CameraPose unit = camera_pose(start.azimuth, VIDEO_ELEVATION, 0, 1);
        look.camera = camera_pose(start.azimuth, VIDEO_ELEVATION, 0,
                                  static_cast<float>(framing_distance(f, unit.direction, unit.up)));
    }
    for (int i = 0; i < 4; ++i) look.key_light[i] = start.key_light[i];
    moving_light(start.light_azimuth, start.light_elevation, start.light_distance, look.moving_light);
    shadow_matrix(look.moving_light, look.shadow);
    for (float& c : look.background) c = 0;
    // One revolution that loops: the frame after the last would be the first.
    if (f.turntable && count > 0) look.object_spin = static_cast<float>(360.0 * index / count);
    look.object_tilt = f.y_up ? 90 : 0;
    return look;
}
