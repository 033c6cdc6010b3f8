#include <GL/glut.h>

#include "core/app_state.h"
#include "core/window_helpers.h"
#include "shape/correspondence.h"
#include "shape/sphere_extraction.h"
#include "viewer/link_geometry.h"
#include "viewer/sphere_writers.h"
#include "viewer/view_state.h"
#include "viewer/viewer.h"

namespace {

void delete_list(int32_t& slot)
{
    if (slot != NO_LIST && glIsList(static_cast<GLuint>(slot))) glDeleteLists(static_cast<GLuint>(slot), 1);
    slot = NO_LIST;
}

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

void set_material(const float specular[4], const float diffuse[4], const float ambient[4])
{
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 50);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
}

void build_sphere_list(int side, int slices)
{
    static const float red_specular[4] = {0.5f, 0, 0, 0.4f}, red_ambient[4] = {0.2f, 0, 0, 0.4f};
    static const float green_specular[4] = {0, 0.5f, 0, 0.4f}, green_ambient[4] = {0, 0.2f, 0, 0.4f};
    const Volume& v = app.volumes[side];
    const GLuint name = glGenLists(1);
    glNewList(name, GL_COMPILE);
    if (side == 0)
        set_material(red_specular, red_specular, red_ambient);
    else
        set_material(green_specular, green_specular, green_ambient);
    for (int32_t i = 0; i < v.sphere_count && i < static_cast<int32_t>(v.spheres.size()); ++i) {
        const Sphere& s = v.spheres[i];
        solid_sphere_at(to_world(Vector3{double(s.x), double(s.y), double(s.z)}),
                        app.view_scale * s.radius / DISTANCE_UNITS, slices);
    }
    glEndList();
    view.sphere_lists[side] = static_cast<int32_t>(name);
    if (app.output_format == 1)
        write_sphere_file_oogl(side);
    else if (app.output_format == 2)
        write_sphere_file_vrml(side);
}

}  // namespace

void build_link_list(int request)
{
    select_view();
    delete_list(view.link_list);
    if (app.quick_morph) return;
    if (request == 2) {
        if (extract_spheres(0) != 0) return;
        if (extract_spheres(1) != 0) return;
    }
    if (request >= 1 && correspond_spheres() != 0) return;
    // Extraction can switch to quick morphing when it overflows.
    if (app.quick_morph) return;
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
