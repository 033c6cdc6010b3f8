#include "app/frame_formats.h"

#include <algorithm>
#include <cctype>

#include "app/app_state.h"
#include "output/sphere_writers.h"
#include "output/surface_writers.h"

std::vector<SurfaceFormat> frame_formats()
{
    std::vector<SurfaceFormat> formats;
    if (app.output_format == SURFACE_FORMAT_NONE) return formats;
    formats.push_back(app.output_format);
    for (SurfaceFormat f : app.more_formats)
        if (f != SURFACE_FORMAT_NONE && std::find(formats.begin(), formats.end(), f) == formats.end())
            formats.push_back(f);
    return formats;
}

bool writes_frames_as(SurfaceFormat format)
{
    const std::vector<SurfaceFormat> formats = frame_formats();
    return std::find(formats.begin(), formats.end(), format) != formats.end();
}

void choose_single_format(SurfaceFormat format)
{
    app.output_format = format;
    app.more_formats.clear();
}

std::vector<std::string> frame_file_names(int frame)
{
    std::vector<std::string> names;
    for (SurfaceFormat f : frame_formats()) names.push_back(frame_file_name(app.output_base, frame, app.frame_count, f));
    return names;
}

std::vector<SurfaceFormat> sphere_formats()
{
    std::vector<SurfaceFormat> formats;
    for (SurfaceFormat f : frame_formats()) {
        const SurfaceFormat sphere = f == SURFACE_FORMAT_VRML ? SURFACE_FORMAT_VRML : SURFACE_FORMAT_OOGL;
        if (std::find(formats.begin(), formats.end(), sphere) == formats.end()) formats.push_back(sphere);
    }
    return formats;
}

std::vector<std::string> sphere_file_names(int side)
{
    std::vector<std::string> names;
    for (SurfaceFormat f : sphere_formats()) names.push_back(sphere_file_path(app.output_base, side, app.frame_count, f));
    return names;
}

bool parse_format_list(const char* text, std::vector<SurfaceFormat>* formats)
{
    struct Named {
        const char* name;
        SurfaceFormat format;
    };
    static const Named names[] = {{"off", SURFACE_FORMAT_OOGL}, {"oogl", SURFACE_FORMAT_OOGL},
                                  {"wrl", SURFACE_FORMAT_VRML}, {"vrml", SURFACE_FORMAT_VRML},
                                  {"ply", SURFACE_FORMAT_PLY},  {"obj", SURFACE_FORMAT_OBJ},
                                  {"stl", SURFACE_FORMAT_STL}};
    std::vector<SurfaceFormat> chosen;
    std::string word;
    for (const char* p = text;; ++p) {
        if (*p != ',' && *p != '\0') {
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
            continue;
        }
        const Named* found = nullptr;
        for (const Named& n : names)
            if (word == n.name) found = &n;
        if (!found) return false;
        if (std::find(chosen.begin(), chosen.end(), found->format) == chosen.end()) chosen.push_back(found->format);
        word.clear();
        if (*p == '\0') break;
    }
    *formats = chosen;
    return true;
}
