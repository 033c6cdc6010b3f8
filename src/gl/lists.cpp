#include "gl/lists.h"

#include <GL/glu.h>

#include "viewer/view_state.h"

using namespace kestrane;

void delete_list(int32_t& slot)
{
    if (slot != NO_LIST && glIsList(static_cast<GLuint>(slot))) glDeleteLists(static_cast<GLuint>(slot), 1);
    slot = NO_LIST;
}

void call_list(int32_t list)
{
    if (list != NO_LIST) glCallList(static_cast<GLuint>(list));
}

void set_material(const Material& m)
{
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, m.specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m.shininess);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, m.diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, m.ambient);
}

void multiply_view_perspective(double aspect) { gluPerspective(45, aspect, 0.2, 40); }
