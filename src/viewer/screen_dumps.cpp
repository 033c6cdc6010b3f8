#include "viewer/screen_dumps.h"

#include <string>

#include "app/app_state.h"
#include "app/status.h"
#include "viewer/view_state.h"

using namespace kestrane;

int write_screen_dump_with(DumpPixelReader read)
{
    const std::string name = screen_dump_name(view.dump_format, view.dump_base, view.dump_index);
    if (name.empty()) {
        view.dump_enabled = false;
        show_warning("Screen dump format is not defined");
        return DUMP_NO_FORMAT;
    }
    view.dump_index += 1;
    const int32_t width = view.view_width;
    const int32_t height = view.view_height;
    // A buffer that does not match the view (its allocation failed) is not read into.
    if (view.dump_pixels.size() < static_cast<size_t>(dump_stride(width)) * height) return DUMP_NOT_OPENED;
    return write_screen_dump_file(name, view.dump_format, read, view.dump_pixels.data(), width, height,
                                  view.tick_count);
}
