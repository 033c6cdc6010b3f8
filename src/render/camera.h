#pragma once
// Camera, light and shadow geometry of the view as plain arrays, for the GL
// layer to load; no GL, constant time.

struct CameraPose {
    double eye[3];
    double centre[3];  // a point along the viewing direction: eye + direction
    double up[3];
    double direction[3];
};

// The orbiting camera of the view's azimuth, elevation, twist (degrees) and
// eye distance around the orbit centre (0, 0, 1).
CameraPose camera_pose(float azimuth, float elevation, float twist, float eye_distance);

// Direction of the moving light (w = 0) from its angles and distance.
void moving_light(float azimuth, float elevation, float distance, float out[4]);

// Column-major matrix flattening geometry onto the floor z = 0 along light L.
void shadow_matrix(const float light[4], float out[16]);

// pi as the drawing code uses it.
constexpr double VIEW_PI = 3.1415926535;

// The view's camera and lights when the viewer starts (ViewState's
// defaults), which a video can take to show what the viewer shows.
struct StartingView {
    float azimuth = 0;
    float elevation = 0;
    float twist = 0;
    float eye_distance = 5;
    float light_azimuth = 60;
    float light_elevation = 30;
    float light_distance = 3;
    float key_light[4] = {2, 0, 1, 0};
};
