#include <GL/glut.h>

#include "viewer/screen_dumps.h"
#include "app/app_state.h"
#include "viewer/view_state.h"
#include "gl/screen_capture.h"

using namespace kestrane;

namespace {

// The view starts 25 pixels above the bottom of the main window.
void read_back_buffer(uint8_t* pixels, int32_t width, int32_t height)
{
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 25, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels);
}

}  // namespace

void write_screen_dump() { write_screen_dump_with(read_back_buffer); }
