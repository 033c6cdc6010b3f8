// The video's camera: the grid's box (or its turntable cylinder) fits the
// picture, only just, and the scene's other settings are the viewer's.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "render/video_framing.h"

namespace {

struct Projected {
    double x, y;  // in units of the half field of view: inside when both within [-1, 1]
    double depth;
};

// A point about the object's centre (0, 0, 1), tilted upright when y is up
// and turned by spin degrees, as the look-at and perspective matrices place it.
Projected project(const SceneLook& look, const VideoFraming& f, double px, double py, double pz, double spin)
{
    if (f.y_up) {
        const double y = py;
        py = -pz;
        pz = y;
    }
    const double a = spin * VIEW_PI / 180;
    const double world[3] = {px * std::cos(a) - py * std::sin(a), px * std::sin(a) + py * std::cos(a), pz + 1};
    const CameraPose& c = look.camera;
    double forward[3], side[3], up[3], v[3];
    for (int i = 0; i < 3; ++i) {
        forward[i] = c.centre[i] - c.eye[i];
        v[i] = world[i] - c.eye[i];
    }
    auto normalise = [](double* u) {
        const double r = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
        for (int i = 0; i < 3; ++i) u[i] /= r;
    };
    normalise(forward);
    side[0] = forward[1] * c.up[2] - forward[2] * c.up[1];
    side[1] = forward[2] * c.up[0] - forward[0] * c.up[2];
    side[2] = forward[0] * c.up[1] - forward[1] * c.up[0];
    normalise(side);
    up[0] = side[1] * forward[2] - side[2] * forward[1];
    up[1] = side[2] * forward[0] - side[0] * forward[2];
    up[2] = side[0] * forward[1] - side[1] * forward[0];
    auto dot = [](const double* p, const double* q) { return p[0] * q[0] + p[1] * q[1] + p[2] * q[2]; };
    const double depth = dot(v, forward);
    const double t = std::tan(VIEW_FIELD_OF_VIEW / 2 * VIEW_PI / 180);
    const double aspect = static_cast<double>(f.width) / f.height;
    return {dot(v, side) / depth / (t * aspect), dot(v, up) / depth / t, depth};
}

// The largest offset from the picture's centre of any corner of the grid's
// box in any of the given turns (1: touches the edge).
double reach(const SceneLook& look, const VideoFraming& f, const std::vector<double>& spins, double* nearest)
{
    double worst = 0;
    *nearest = 1e9;
    for (double spin : spins)
        for (int corner = 0; corner < 8; ++corner) {
            double half[3];
            for (int axis = 0; axis < 3; ++axis) half[axis] = 0.5 * (f.volume_dims[axis] - 1) * f.view_scale;
            const Projected p = project(look, f, corner & 1 ? half[0] : -half[0], corner & 2 ? half[1] : -half[1],
                                        corner & 4 ? half[2] : -half[2], spin);
            worst = std::max({worst, std::fabs(p.x), std::fabs(p.y)});
            *nearest = std::min(*nearest, p.depth);
        }
    return worst;
}

VideoFraming framing(int16_t x, int16_t y, int16_t z, int width, int height, bool turntable)
{
    VideoFraming f;
    f.volume_dims[0] = x;
    f.volume_dims[1] = y;
    f.volume_dims[2] = z;
    f.view_scale = 2.0 / std::max({x, y, z});
    f.width = width;
    f.height = height;
    f.turntable = turntable;
    return f;
}

TEST(VideoFraming, TheGridFitsOnlyJustWithoutATurn)
{
    for (const VideoFraming& f : {framing(35, 35, 25, 1280, 720, false), framing(80, 20, 20, 1280, 720, false),
                                  framing(20, 20, 90, 1280, 720, false), framing(40, 30, 20, 480, 640, false)}) {
        const SceneLook look = video_look(f, 0, 20);
        EXPECT_EQ(look.object_spin, 0);
        double nearest = 0;
        const double r = reach(look, f, {0}, &nearest);
        EXPECT_LE(r, 1 + 1e-6);
        EXPECT_GT(r, 0.999) << "a corner touches an edge of the picture";
        EXPECT_GT(nearest, VIEW_NEAR);
    }
}

TEST(VideoFraming, ATurntableTurnsOnceAndStaysInThePicture)
{
    const VideoFraming f = framing(80, 30, 20, 1280, 720, true);
    std::vector<double> spins;
    for (int i = 0; i < 20; ++i) {
        const SceneLook look = video_look(f, i, 20);
        EXPECT_FLOAT_EQ(look.object_spin, 18.0f * i);
        spins.push_back(look.object_spin);
    }
    for (int degree = 0; degree < 360; degree += 5) spins.push_back(degree);
    double nearest = 0;
    const double r = reach(video_look(f, 0, 20), f, spins, &nearest);
    EXPECT_LE(r, 1 + 1e-6);
    EXPECT_GT(r, 0.97) << "the cylinder the box sweeps is framed, not a loose sphere";
    // Standing back for every turn costs distance against a still object.
    const VideoFraming still = framing(80, 30, 20, 1280, 720, false);
    EXPECT_LT(video_look(f, 0, 20).camera.eye[0], video_look(still, 0, 20).camera.eye[0]);
}

TEST(VideoFraming, YUpTiltsTheObjectAndFramesItUpright)
{
    for (bool turntable : {false, true}) {
        VideoFraming f = framing(30, 80, 24, 1280, 720, turntable);
        f.y_up = true;
        const SceneLook look = video_look(f, 0, 20);
        EXPECT_EQ(look.object_tilt, 90);
        std::vector<double> spins = {0};
        for (int degree = 0; turntable && degree < 360; degree += 5) spins.push_back(degree);
        double nearest = 0;
        const double r = reach(look, f, spins, &nearest);
        EXPECT_LE(r, 1 + 1e-6);
        EXPECT_GT(r, 0.97);
    }
}

TEST(VideoFraming, StartingViewAndLightsAreTheViewers)
{
    VideoFraming f = framing(35, 35, 25, 480, 320, false);
    f.starting_view = true;
    const SceneLook look = video_look(f, 3, 20);
    const StartingView start;
    const CameraPose viewer = camera_pose(start.azimuth, start.elevation, start.twist, start.eye_distance);
    for (int a = 0; a < 3; ++a) {
        EXPECT_EQ(look.camera.eye[a], viewer.eye[a]);
        EXPECT_EQ(look.camera.up[a], viewer.up[a]);
    }
    float light[4], shadow[16];
    moving_light(start.light_azimuth, start.light_elevation, start.light_distance, light);
    shadow_matrix(light, shadow);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(look.moving_light[i], light[i]);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(look.shadow[i], shadow[i]);
    EXPECT_TRUE(look.floor && look.shadow_shown && look.smooth);
    // Framed, the camera looks down on the object at the video's elevation.
    f.starting_view = false;
    const CameraPose& c = video_look(f, 0, 20).camera;
    EXPECT_NEAR(c.direction[2], -std::sin(VIDEO_ELEVATION * VIEW_PI / 180), 1e-6);
}

}  // namespace
