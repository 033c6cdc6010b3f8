#include <GL/glut.h>

#include "viewer/viewer_outputs.h"
#include "viewer/link_geometry.h"
#include "viewer/links.h"
#include "app/app_state.h"
#include "viewer/view_state.h"
#include "gl/lists.h"
#include "gl/viewer.h"
#include "gl/window_helpers.h"

using namespace kestrane;

namespace {

void vertex(Vector3 p) { glVertex3d(p.x, p.y, p.z); }

void draw_links_of(int side, GLuint first_name)
{
    const Volume& v = app.volumes[side];
    for (int32_t i = 0; i < v.sphere_count && i < static_cast<int32_t>(v.spheres.size()); ++i) {
        const Sphere& s = v.spheres[i];
        if (!s.linked) continue;
        const Vector3 shift = i < static_cast<int32_t>(v.sphere_shift.size()) ? v.sphere_shift[i] : Vector3{0, 0, 0};
        const LinkSegments l = link_segments(side, Vector3{double(s.x), double(s.y), double(s.z)}, shift);
        glLoadName(first_name + static_cast<GLuint>(i));
        glBegin(GL_LINES);
        glColor3f(0, 0, 1);
        vertex(l.q);
        vertex(l.p1);
        if (side == 0) glColor3f(1, 0, 0); else glColor3f(0, 1, 0);
        vertex(l.p1);
        if (side == 0) glColor3f(0, 1, 0); else glColor3f(1, 0, 0);
        vertex(l.p2);
        glEnd();
    }
}

void solid_sphere_at(Vector3 p, double radius, int slices)
{
    glPushMatrix();
    glTranslated(p.x, p.y, p.z);
    glutSolidSphere(radius, slices, slices);
    glPopMatrix();
}

const Material SOURCE_SPHERES = {{0.5f, 0, 0, 0.4f}, 50, {0.5f, 0, 0, 0.4f}, {0.2f, 0, 0, 0.4f}};
const Material TARGET_SPHERES = {{0, 0.5f, 0, 0.4f}, 50, {0, 0.5f, 0, 0.4f}, {0, 0.2f, 0, 0.4f}};

void build_sphere_list(int side, int slices)
{
    const Volume& v = app.volumes[side];
    const GLuint name = glGenLists(1);
    glNewList(name, GL_COMPILE);
    set_material(side == 0 ? SOURCE_SPHERES : TARGET_SPHERES);
    for (int32_t i = 0; i < v.sphere_count && i < static_cast<int32_t>(v.spheres.size()); ++i) {
        const Sphere& s = v.spheres[i];
        solid_sphere_at(to_world(Vector3{double(s.x), double(s.y), double(s.z)}),
                        app.view_scale * s.radius / DISTANCE_UNITS, slices);
    }
    glEndList();
    view.sphere_lists[side] = static_cast<int32_t>(name);
    save_sphere_file(side);
}

}  // namespace

void build_link_list(LinkRequest request)
{
    select_view();
    delete_list(view.link_list);
    if (!update_links(request)) return;
    select_view();
    const GLuint name = glGenLists(1);
    glNewList(name, GL_COMPILE);
    draw_links_of(0, 0);
    draw_links_of(1, static_cast<GLuint>(app.volumes[0].sphere_count));
    glEndList();
    view.link_list = static_cast<int32_t>(name);
}

void build_vector_list()
{
    select_view();
    delete_list(view.vector_list);
    const GLuint name = glGenLists(1);
    glNewList(name, GL_COMPILE);
    for (size_t i = 0; i < app.vectors.size(); ++i) {
        const CorrespondenceVector& cv = app.vectors[i];
        const Vector3 a = to_world(Vector3{cv.start[0], cv.start[1], cv.start[2]});
        const Vector3 b = to_world(Vector3{cv.end[0], cv.end[1], cv.end[2]});
        glLoadName(static_cast<GLuint>(i));
        glColor3f(0, 0, 1);
        glBegin(GL_LINES);
        vertex(a);
        vertex(b);
        glEnd();
        glColor3f(1, 0, 0);
        solid_sphere_at(a, 0.02, 4);
        glColor3f(0, 1, 0);
        solid_sphere_at(b, 0.02, 4);
    }
    glEndList();
    view.vector_list = static_cast<int32_t>(name);
}

void build_sphere_lists()
{
    select_view();
    delete_list(view.sphere_lists[0]);
    delete_list(view.sphere_lists[1]);
    int slices = 14 - app.resolution;
    if (slices < 4) slices = 4;
    build_sphere_list(0, slices);
    select_view();
    build_sphere_list(1, slices);
}
