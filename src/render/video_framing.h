#pragma once
// Where the video's camera stands. Every frame of a morph is an isosurface
// on the lattice, which lies inside the voxel grid sized to hold both
// surfaces, so that grid's box bounds every frame; with a turntable the box
// sweeps the upright cylinder around it. The camera keeps the viewing
// direction of the video and stands back from the object's centre just far
// enough for that box (or cylinder) to fit both fields of view. All of it is
// known before the first frame, so each frame is drawn and encoded as it
// comes.
#include <cstdint>

#include "render/scene.h"

constexpr double VIEW_FIELD_OF_VIEW = 45;  // degrees, vertical, as the viewer's
constexpr double VIEW_NEAR = 0.2, VIEW_FAR = 40;
constexpr float VIDEO_ELEVATION = 15;  // degrees above the horizon

struct VideoFraming {
    int16_t volume_dims[3] = {0, 0, 0};
    double view_scale = 0;  // drawing units per voxel
    int width = 1280, height = 720;
    bool turntable = false;      // one revolution of the object over the video
    bool starting_view = false;  // the viewer's starting camera instead
    bool y_up = false;           // the surfaces' y axis up (tilted onto z), as glTF and OBJ have it
};

// Distance from the object's centre at which the grid fits the picture,
// looking along `direction` (unit) with `up` as the picture's up.
double framing_distance(const VideoFraming& framing, const double direction[3], const double up[3]);
// The scene of video frame `index` of `count`: the camera, the viewer's
// lights, floor and shadow, and the object's turn.
SceneLook video_look(const VideoFraming& framing, int index, int count);
