#include "gl/preview_display.h"

#include <GL/gl.h>

#include <cmath>

#include "app/app_state.h"
#include "gl/lists.h"
#include "gl/viewer.h"
#include "render/camera.h"
#include "render/scene.h"
#include "viewer/preview.h"
#include "viewer/view_state.h"

using namespace kestrane;

namespace {

// World units between the middle of the surfaces and that of the preview,
// along the screen's right: the grid is 2 units across.
constexpr double PREVIEW_OFFSET = 1.6;

// The screen's right in world units, whichever way the camera looks.
void screen_right(double out[3])
{
    const CameraPose p = camera_pose(view.azimuth, view.elevation, view.twist, view.eye_distance);
    const double* d = p.direction;
    const double* u = p.up;
    double r[3] = {d[1] * u[2] - d[2] * u[1], d[2] * u[0] - d[0] * u[2], d[0] * u[1] - d[1] * u[0]};
    const double length = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
    for (int a = 0; a < 3; ++a) out[a] = length > 0 ? r[a] / length : (a == 0 ? 1 : 0);
}

// A frame taken into the list at the last draw: said once that draw is on
// screen, at the start of the next.
bool drawn_unsaid = false;
PreviewFrameInfo drawn;

}  // namespace

void draw_preview()
{
    if (drawn_unsaid) {
        log_preview_drawn(drawn);
        drawn_unsaid = false;
    }
    SurfaceMesh mesh;
    PreviewFrameInfo info;
    const bool fresh = preview_step(&mesh, &info);
    if (!preview_active()) {
        delete_list(view.preview_list);
        return;
    }
    if (fresh) {
        delete_list(view.preview_list);
        // The frame's own colours, as the sequence draws its frames.
        view.preview_list = static_cast<int32_t>(
            compile_mesh_list(mesh, FRAME_MATERIAL, true, static_cast<float>(app.view_scale)));
        drawn = info;
        drawn_unsaid = true;
    }
    if (view.preview_list == NO_LIST) return;
    double right[3];
    screen_right(right);
    glPushMatrix();
    glTranslated(PREVIEW_OFFSET * right[0], PREVIEW_OFFSET * right[1], PREVIEW_OFFSET * right[2]);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    object_transform();
    call_list(view.preview_list);
    glDisable(GL_COLOR_MATERIAL);
    glPopMatrix();
}
