#pragma once
// Screen dumps of the 3-D view as 24-bit BMP or raw PPM (P6) files: names,
// byte layouts and the file writer. The viewer's numbering and buffer live
// in the application layer.
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/modes.h"

namespace kestrane {
constexpr int32_t BMP_HEADER_SIZE = 54;

// Bytes per row of dump pixels: 3 per pixel, raised to a multiple of 4.
int32_t dump_stride(int32_t width);
// "%s%03i.bmp" or "%s%03i.ppm"; empty for DUMP_FORMAT_NONE or an unknown format.
std::string screen_dump_name(DumpFormat format, const std::string& base, int32_t index);

// The 54-byte header of a 24-bit BMP of width x height pixels.
void bmp_header(uint8_t out[BMP_HEADER_SIZE], int32_t width, int32_t height);
// pixels: height rows of dump_stride(width) bytes, bottom row first, R, G, B.
void write_bmp(std::FILE* file, const uint8_t* pixels, int32_t width, int32_t height);
void write_ppm(std::FILE* file, const uint8_t* pixels, int32_t width, int32_t height, int32_t tick_count);

// Reads the view's pixels into the dump buffer (the GL back buffer in the viewer).
using DumpPixelReader = void (*)(uint8_t* pixels, int32_t width, int32_t height);

enum ScreenDumpResult {
    DUMP_WRITTEN = 0,
    DUMP_NO_FORMAT = 1,   // dumping switched itself off with a warning
    DUMP_NOT_OPENED = 2,  // the number is used up, nothing written under it
};

// Opens the named file, reads the pixels into `pixels` (height rows of
// dump_stride(width) bytes) with read, writes them in the format and commits
// the file (output_file.h). DUMP_WRITTEN or DUMP_NOT_OPENED (not opened:
// nothing is read; not written: a previous file of the name is untouched).
int write_screen_dump_file(const std::string& name, DumpFormat format, DumpPixelReader read, uint8_t* pixels,
                           int32_t width, int32_t height, int32_t tick_count);

}  // namespace kestrane
