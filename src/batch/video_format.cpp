#include "batch/video_format.h"

#include <cctype>
#include <cstdlib>
#include <strings.h>

namespace {

bool ends_with(const std::string& name, const char* suffix)
{
    const std::string s = suffix;
    return name.size() > s.size() && strcasecmp(name.c_str() + name.size() - s.size(), s.c_str()) == 0 &&
           name[name.size() - s.size() - 1] != '/';
}

bool take_side(const char*& p, int* side)
{
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    long value = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        value = value * 10 + (*p++ - '0');
        if (value > VIDEO_MAX_SIDE) return false;
    }
    if (value < VIDEO_MIN_SIDE || value % 2 != 0) return false;
    *side = static_cast<int>(value);
    return true;
}

}  // namespace

VideoKind video_kind(const std::string& name)
{
    if (ends_with(name, ".mp4")) return VideoKind::Mp4;
    if (ends_with(name, ".webm")) return VideoKind::WebM;
    if (ends_with(name, ".gif")) return VideoKind::Gif;
    return VideoKind::None;
}

bool parse_video_size(const char* text, int* width, int* height)
{
    if (!text) return false;
    const char* p = text;
    int w = 0, h = 0;
    if (!take_side(p, &w) || (*p != 'x' && *p != 'X')) return false;
    ++p;
    if (!take_side(p, &h) || *p != '\0') return false;
    *width = w;
    *height = h;
    return true;
}
