#include "gl/display_lists.h"

#include <GL/gl.h>

#include "viewer/viewer_outputs.h"
#include "viewer/mesh_drawing.h"
#include "viewer/sequence.h"
#include "app/app_state.h"
#include "viewer/view_state.h"
#include "gl/lists.h"
#include "gl/window_helpers.h"

using namespace kestrane;

namespace {

const Material SOURCE_MATERIAL = {{0.5f, 0, 0, 0.4f}, 50, {0.5f, 0, 0, 0.4f}, {0.2f, 0, 0, 0.4f}};
const Material TARGET_MATERIAL = {{0, 0.5f, 0, 0.4f}, 50, {0, 0.5f, 0, 0.4f}, {0, 0.2f, 0, 0.4f}};
const Material FRAME_MATERIAL = {{0.2f, 0.2f, 0.2f, 1}, 50, {0.7f, 0.7f, 0.7f, 1}, {0.1f, 0.1f, 0.1f, 1}};

// Surface lists set their material inside the triangle batch, frame lists
// before it; only frames carry per-vertex colours.
int32_t compile_mesh(const SurfaceMesh& mesh, const Material& material, bool frame)
{
    const GLuint name = glGenLists(1);
    glNewList(name, GL_COMPILE);
    if (frame) set_material(material);
    glBegin(GL_TRIANGLES);
    if (!frame) set_material(material);
    const float scale = static_cast<float>(app.view_scale);
    for (const MeshTriangle& t : mesh.triangles) {
        for (int k = 0; k < 3; ++k) {
            if (t.v[k] < 0 || static_cast<size_t>(t.v[k]) >= mesh.vertices.size()) continue;
            const DrawVertex d = draw_vertex(mesh.vertices[t.v[k]], scale);
            if (frame) glColor3f(d.colour[0], d.colour[1], d.colour[2]);
            glNormal3f(d.normal[0], d.normal[1], d.normal[2]);
            glVertex3f(d.position[0], d.position[1], d.position[2]);
        }
    }
    glEnd();
    glEndList();
    return static_cast<int32_t>(name);
}

void build_end_surface(int32_t& slot, int frame, const Material& material)
{
    select_view();
    SurfaceMesh mesh;
    build_end_surface_mesh(frame, &mesh);
    select_view();
    slot = compile_mesh(mesh, material, false);
}

}  // namespace

void build_surface_lists(int32_t surface_lists[2])
{
    select_view();
    delete_list(surface_lists[0]);
    delete_list(surface_lists[1]);
    build_end_surface(surface_lists[0], 0, SOURCE_MATERIAL);
    build_end_surface(surface_lists[1], app.frame_count - 1, TARGET_MATERIAL);
}

int build_next_frame()
{
    const int f = sequence_frame_to_build();
    if (f < 0) return 0;
    select_view();
    if (sequence_needs_slots()) {
        for (int32_t i = 0; i < view.frames_built && i < static_cast<int32_t>(view.frame_lists.size()); ++i)
            delete_list(view.frame_lists[i]);
        if (!reset_sequence_slots()) return 0;
    }
    if (!sequence_slot_ready(f)) return 0;
    // Not built yet: the view goes on meanwhile.
    if (!sequence_frame_ready(f)) return 0;
    SurfaceMesh mesh;
    if (!take_sequence_frame(f, &mesh)) return 0;
    select_view();
    view.frame_lists[f] = compile_mesh(mesh, FRAME_MATERIAL, true);
    sequence_frame_stored(f);
    mesh = SurfaceMesh{};
    show_frame(f);
    return advance_sequence(f) ? 1 : 0;
}
