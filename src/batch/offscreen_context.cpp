#include "batch/offscreen_context.h"

#include <GL/osmesa.h>

#include <new>

struct OffscreenContext {
    OSMesaContext context = nullptr;
    std::vector<uint8_t> buffer;  // RGBA, where OSMesa draws
    int width = 0, height = 0;
    ~OffscreenContext()
    {
        if (!context) return;
        // Released first, so that OSMesa frees the buffer it wraps.
        OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
        OSMesaDestroyContext(context);
    }
};

void OffscreenContextClose::operator()(OffscreenContext* context) const { delete context; }

OffscreenContextPtr open_offscreen_context(int width, int height, std::string* error)
{
    OffscreenContextPtr c(new OffscreenContext);
    c->width = width;
    c->height = height;
    try {
        c->buffer.assign(4 * static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        *error = "not enough memory for the picture";
        return nullptr;
    }
    c->context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 8, 0, nullptr);
    if (!c->context) {
        *error = "OSMesa cannot make an offscreen OpenGL context";
        return nullptr;
    }
    if (!OSMesaMakeCurrent(c->context, c->buffer.data(), GL_UNSIGNED_BYTE, width, height)) {
        *error = "OSMesa cannot draw a picture of that size";
        return nullptr;
    }
    // Rows bottom first, as a window's buffer is read.
    OSMesaPixelStore(OSMESA_Y_UP, 1);
    return c;
}

void read_offscreen_pixels(OffscreenContext& c, std::vector<uint8_t>* rgb)
{
    glFinish();
    rgb->resize(3 * static_cast<size_t>(c.width) * static_cast<size_t>(c.height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, c.width, c.height, GL_RGB, GL_UNSIGNED_BYTE, rgb->data());
}
