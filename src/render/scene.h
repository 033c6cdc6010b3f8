#pragma once
// The scene both programs draw: the two lights, the chequered floor, a
// frame's shadow flattened onto it and the frame in its own colours, seen
// through the orbiting camera. Plain OpenGL 1.x on whatever context is
// current (the viewer's GLUT window, the batch tool's offscreen buffer); this
// layer opens no window and links no GL library, each program links its own.
#include <cstdint>

#include "render/camera.h"
#include "surface/mesh.h"

struct Material {
    float specular[4];
    float shininess;
    float diffuse[4];
    float ambient[4];
};
// Front and back faces alike.
void set_material(const Material& m);

// The material of a frame, under its per-vertex colours.
extern const Material FRAME_MATERIAL;

// What one picture of the scene is drawn from.
struct SceneLook {
    CameraPose camera;
    float key_light[4];     // GL_LIGHT0, fixed
    float moving_light[4];  // GL_LIGHT1 (moving_light)
    float shadow[16];       // shadow_matrix of the moving light
    float background[3];
    bool floor = true;
    bool shadow_shown = true;
    bool smooth = true;
    float object_spin = 0;  // degrees about the vertical axis
    float object_tilt = 0;  // degrees about x
};

// The lights, material and depth state of the scene, once per context.
void scene_gl_init(const float background[3]);
// A display list of the floor.
uint32_t compile_floor_list();
// A display list of a mesh in world units (view_scale per voxel). Frames
// carry per-vertex colours and take the material before the triangle batch,
// end surfaces inside it.
uint32_t compile_mesh_list(const kestrane::SurfaceMesh& mesh, const Material& material, bool frame, float view_scale);

// Multiplies the perspective of a vertical field of view (degrees) onto the
// current matrix, as gluPerspective does.
void multiply_perspective(double fovy, double aspect, double near_plane, double far_plane);
// Loads the camera's look-at matrix, as gluLookAt does after an identity.
void load_camera(const CameraPose& camera);
// The object's place above the floor: its centre at (0, 0, 1), spun, tilted.
void object_transform(float spin, float tilt);

// Clears, then (inside a pushed matrix, closed by end_scene) loads the
// camera, places the lights, draws the floor and sets the shading.
void begin_scene(const SceneLook& look, uint32_t floor_list);
// A frame's list with its shadow (when shown) and its colours.
void draw_frame(const SceneLook& look, uint32_t frame_list);
void end_scene();
