#include "gl/preview_display.h"

#include <GL/gl.h>

#include <cmath>

#include "app/app_state.h"
#include "gl/lists.h"
#include "gl/viewer.h"
#include "viewer/camera.h"
#include "viewer/mesh_drawing.h"
#include "viewer/preview.h"
#include "viewer/view_state.h"

using namespace kestrane;

namespace {

const Material PREVIEW_MATERIAL = {{0.2f, 0.2f, 0.2f, 1}, 50, {0.7f, 0.7f, 0.7f, 1}, {0.1f, 0.1f, 0.1f, 1}};
// World units between the middle of the surfaces and that of the preview,
// along the screen's right: the grid is 2 units across.
constexpr double PREVIEW_OFFSET = 1.6;

// The frame's own colours, as the sequence draws its frames.
int32_t compile_preview(const SurfaceMesh& mesh)
{
    const GLuint name = glGenLists(1);
    glNewList(name, GL_COMPILE);
    set_material(PREVIEW_MATERIAL);
    glBegin(GL_TRIANGLES);
    const float scale = static_cast<float>(app.view_scale);
    for (const MeshTriangle& t : mesh.triangles) {
        for (int k = 0; k < 3; ++k) {
            if (t.v[k] < 0 || static_cast<size_t>(t.v[k]) >= mesh.vertices.size()) continue;
            const DrawVertex d = draw_vertex(mesh.vertices[t.v[k]], scale);
            glColor3f(d.colour[0], d.colour[1], d.colour[2]);
            glNormal3f(d.normal[0], d.normal[1], d.normal[2]);
            glVertex3f(d.position[0], d.position[1], d.position[2]);
        }
    }
    glEnd();
    glEndList();
    return static_cast<int32_t>(name);
}

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
        view.preview_list = compile_preview(mesh);
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
