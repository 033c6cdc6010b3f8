#include "gl/lists.h"

#include <GL/gl.h>

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

void multiply_view_perspective(double aspect) { multiply_perspective(45, aspect, 0.2, 40); }
