#include "render/scene.h"

#include <GL/gl.h>

#include <cmath>

#include "render/mesh_drawing.h"

namespace {

const Material DARK_SQUARE = {{0.5f, 0.5f, 0.5f, 1}, 90, {0.1f, 0.1f, 0.1f, 1}, {0.05f, 0.05f, 0.05f, 1}};
const Material LIGHT_SQUARE = {{0.5f, 0.5f, 0.5f, 1}, 90, {0.5f, 0.5f, 0.5f, 1}, {0.9f, 0.9f, 0.9f, 1}};

// gluLookAt's arithmetic, in its single precision, so the picture is the
// one the viewer always drew.
void normalise(float v[3])
{
    const float r = static_cast<float>(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
    if (r == 0.0f) return;
    v[0] /= r;
    v[1] /= r;
    v[2] /= r;
}

void cross(const float a[3], const float b[3], float out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

}  // namespace

const Material FRAME_MATERIAL = {{0.2f, 0.2f, 0.2f, 1}, 50, {0.7f, 0.7f, 0.7f, 1}, {0.1f, 0.1f, 0.1f, 1}};

void set_material(const Material& m)
{
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, m.specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m.shininess);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, m.diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, m.ambient);
}

void scene_gl_init(const float background[3])
{
    static const float black[4] = {0, 0, 0, 1};
    static const float key_diffuse[4] = {0.2f, 0.2f, 0.2f, 1};
    static const float moving_ambient[4] = {0.1f, 0.1f, 0.1f, 1};
    static const float moving_diffuse[4] = {0.8f, 0.8f, 0.8f, 1};
    static const float moving_specular[4] = {0.5f, 0.5f, 0.5f, 1};
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, key_diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, black);
    glLightfv(GL_LIGHT1, GL_AMBIENT, moving_ambient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, moving_diffuse);
    glLightfv(GL_LIGHT1, GL_SPECULAR, moving_specular);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHT1);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_DITHER);
    glEnable(GL_LIGHTING);
    glEnable(GL_STENCIL_TEST);
    glDisable(GL_FOG);
    glDisable(GL_LOGIC_OP);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glDepthFunc(GL_LESS);
    glClearDepth(1.0);
    glClearColor(background[0], background[1], background[2], 0);
}

uint32_t compile_floor_list()
{
    const float s = 0.8333333f;
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    for (int i = -16; i < 16; ++i) {
        for (int j = -16; j < 16; ++j) {
            set_material((i + j) % 2 == 0 ? DARK_SQUARE : LIGHT_SQUARE);
            glVertex3f(i * s, j * s, 0);
            glVertex3f((i + 1) * s, j * s, 0);
            glVertex3f((i + 1) * s, (j + 1) * s, 0);
            glVertex3f(i * s, (j + 1) * s, 0);
        }
    }
    glEnd();
    glEndList();
    return list;
}

uint32_t compile_mesh_list(const SurfaceMesh& mesh, const Material& material, bool frame, float view_scale)
{
    const GLuint name = glGenLists(1);
    glNewList(name, GL_COMPILE);
    if (frame) set_material(material);
    glBegin(GL_TRIANGLES);
    if (!frame) set_material(material);
    for (const MeshTriangle& t : mesh.triangles) {
        for (int k = 0; k < 3; ++k) {
            if (t.v[k] < 0 || static_cast<size_t>(t.v[k]) >= mesh.vertices.size()) continue;
            const DrawVertex d = draw_vertex(mesh.vertices[t.v[k]], view_scale);
            if (frame) glColor3f(d.colour[0], d.colour[1], d.colour[2]);
            glNormal3f(d.normal[0], d.normal[1], d.normal[2]);
            glVertex3f(d.position[0], d.position[1], d.position[2]);
        }
    }
    glEnd();
    glEndList();
    return name;
}

void multiply_perspective(double fovy, double aspect, double near_plane, double far_plane)
{
    const double half = fovy / 2 * 3.14159265358979323846 / 180;
    const double depth = far_plane - near_plane;
    const double sine = std::sin(half);
    if (depth == 0 || sine == 0 || aspect == 0) return;
    const double cotangent = std::cos(half) / sine;
    double m[16] = {0};
    m[0] = cotangent / aspect;
    m[5] = cotangent;
    m[10] = -(far_plane + near_plane) / depth;
    m[11] = -1;
    m[14] = -2 * near_plane * far_plane / depth;
    glMultMatrixd(m);
}

void load_camera(const CameraPose& p)
{
    float forward[3], side[3], up[3];
    for (int a = 0; a < 3; ++a) {
        forward[a] = static_cast<float>(p.centre[a] - p.eye[a]);
        up[a] = static_cast<float>(p.up[a]);
    }
    normalise(forward);
    cross(forward, up, side);
    normalise(side);
    cross(side, forward, up);
    float m[16] = {0};
    for (int a = 0; a < 3; ++a) {
        m[4 * a + 0] = side[a];
        m[4 * a + 1] = up[a];
        m[4 * a + 2] = -forward[a];
    }
    m[15] = 1;
    glLoadIdentity();
    glMultMatrixf(m);
    glTranslated(-p.eye[0], -p.eye[1], -p.eye[2]);
}

void object_transform(float spin, float tilt)
{
    glTranslatef(0, 0, 1);
    glRotatef(spin, 0, 0, 1);
    glRotatef(tilt, 1, 0, 0);
}

void begin_scene(const SceneLook& look, uint32_t floor_list)
{
    glClearColor(look.background[0], look.background[1], look.background[2], 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    load_camera(look.camera);
    glLightfv(GL_LIGHT0, GL_POSITION, look.key_light);
    glLightfv(GL_LIGHT1, GL_POSITION, look.moving_light);
    if (look.floor && floor_list != 0) glCallList(floor_list);
    glShadeModel(look.smooth ? GL_SMOOTH : GL_FLAT);
}

void draw_frame(const SceneLook& look, uint32_t frame_list)
{
    if (look.shadow_shown) {
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHT0);
        glDisable(GL_LIGHT1);
        glPushMatrix();
        glMultMatrixf(look.shadow);
        object_transform(look.object_spin, look.object_tilt);
        glCallList(frame_list);
        glPopMatrix();
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_LIGHT0);
        glEnable(GL_LIGHT1);
    }
    glPushMatrix();
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    object_transform(look.object_spin, look.object_tilt);
    glCallList(frame_list);
    glDisable(GL_COLOR_MATERIAL);
    glPopMatrix();
}

void end_scene() { glPopMatrix(); }
