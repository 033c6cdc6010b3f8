#include <GL/glut.h>

#include <cstdlib>
#include <new>

#include "core/app_state.h"
#include "core/status.h"
#include "core/window_helpers.h"
#include "surface/display_lists.h"
#include "surface/frame_generation.h"
#include "viewer/mesh_drawing.h"
#include "surface/surface_writers.h"

namespace {

std::vector<int32_t>* sequence_lists = nullptr;
int32_t* sequence_count = nullptr;

struct Material {
    float specular[4];
    float shininess;
    float diffuse[4];
    float ambient[4];
};

const Material SOURCE_MATERIAL = {{0.5f, 0, 0, 0.4f}, 50, {0.5f, 0, 0, 0.4f}, {0.2f, 0, 0, 0.4f}};
const Material TARGET_MATERIAL = {{0, 0.5f, 0, 0.4f}, 50, {0, 0.5f, 0, 0.4f}, {0, 0.2f, 0, 0.4f}};
const Material FRAME_MATERIAL = {{0.2f, 0.2f, 0.2f, 1}, 50, {0.7f, 0.7f, 0.7f, 1}, {0.1f, 0.1f, 0.1f, 1}};

void set_material(const Material& m)
{
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, m.specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m.shininess);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, m.diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, m.ambient);
}

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

void delete_list(int32_t& slot)
{
    if (slot != -1 && glIsList(static_cast<GLuint>(slot))) glDeleteLists(static_cast<GLuint>(slot), 1);
    slot = -1;
}

void build_end_surface(int32_t& slot, int frame, const Material& material)
{
    select_view();
    SurfaceMesh mesh;
    triangulate_frame(&mesh, frame);
    select_view();
    slot = compile_mesh(mesh, material, false);
    if (app.output_format == 1 || app.output_format == 2) write_surface(mesh, frame);
}

void cancel_sequence() { app.next_build_frame = -1; }

}  // namespace

void build_surface_lists(int32_t surface_lists[2])
{
    select_view();
    delete_list(surface_lists[0]);
    delete_list(surface_lists[1]);
    build_end_surface(surface_lists[0], 0, SOURCE_MATERIAL);
    build_end_surface(surface_lists[1], app.frame_count - 1, TARGET_MATERIAL);
}

void start_sequence(std::vector<int32_t>* frame_lists, int32_t* frames_built)
{
    sequence_lists = frame_lists;
    sequence_count = frames_built;
    show_progress(cancel_sequence);
    app.next_build_frame = 0;
}

int build_next_frame()
{
    if (app.next_build_frame < 0 || !sequence_lists || !sequence_count) return 0;
    select_view();
    const int32_t f = app.next_build_frame;
    if (f == 0) {
        for (int32_t i = 0; i < *sequence_count && i < static_cast<int32_t>(sequence_lists->size()); ++i)
            delete_list((*sequence_lists)[i]);
        *sequence_count = 0;
        try {
            sequence_lists->assign(app.frame_count, -1);
        } catch (const std::bad_alloc&) {
            std::exit(1);
        }
    }
    // A reload or a new frame count since the start leaves no slot for this
    // frame: the run is over.
    if (f >= static_cast<int32_t>(sequence_lists->size()) || f >= app.frame_count || app.mode < 0) {
        end_progress();
        app.next_build_frame = -1;
        return 0;
    }
    SurfaceMesh mesh;
    triangulate_frame(&mesh, f);
    select_view();
    (*sequence_lists)[f] = compile_mesh(mesh, FRAME_MATERIAL, true);
    *sequence_count = f + 1;
    if (app.output_format == 1 || app.output_format == 2) write_surface(mesh, f);
    mesh = SurfaceMesh{};
    show_frame(f);
    app.next_build_frame = f + 1;
    if (app.next_build_frame >= app.frame_count) {
        end_progress();
        app.next_build_frame = -1;
        return 0;
    }
    return 1;
}
