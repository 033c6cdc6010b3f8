#pragma once
// An OpenGL context that draws into memory (OSMesa): no window, no X
// server, so a video can be made on a machine without a display.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct OffscreenContext;
struct OffscreenContextClose {
    void operator()(OffscreenContext* context) const;
};
using OffscreenContextPtr = std::unique_ptr<OffscreenContext, OffscreenContextClose>;

// A current context of width x height pixels with a depth and a stencil
// buffer; null, with the reason, when OSMesa cannot make one that size.
OffscreenContextPtr open_offscreen_context(int width, int height, std::string* error);
// The picture drawn: rows of RGB, bottom row first.
void read_offscreen_pixels(OffscreenContext& context, std::vector<uint8_t>* rgb);
