#include "output/screen_dump.h"

#include <cstring>
#include <vector>

#include "base/version.h"
#include "output/output_file.h"

namespace kestrane {
namespace {

void put16(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

int32_t dump_stride(int32_t width) { return (3 * width + 3) / 4 * 4; }

std::string screen_dump_name(DumpFormat format, const std::string& base, int32_t index)
{
    const char* extension = format == DUMP_FORMAT_BMP ? "bmp" : format == DUMP_FORMAT_PPM ? "ppm" : nullptr;
    if (!extension) return std::string();
    char number[16];
    std::snprintf(number, sizeof number, "%03i.", index);
    return base + number + extension;
}

void bmp_header(uint8_t out[BMP_HEADER_SIZE], int32_t width, int32_t height)
{
    const uint32_t image_size = static_cast<uint32_t>(dump_stride(width)) * static_cast<uint32_t>(height);
    std::memset(out, 0, BMP_HEADER_SIZE);
    out[0] = 'B';
    out[1] = 'M';
    // The size field counts 16-bit words, not bytes.
    put32(out + 2, (BMP_HEADER_SIZE + image_size) / 2);
    put32(out + 10, BMP_HEADER_SIZE);
    put32(out + 14, 40);
    put32(out + 18, static_cast<uint32_t>(width));
    put32(out + 22, static_cast<uint32_t>(height));
    put16(out + 26, 1);
    put16(out + 28, 24);
    put32(out + 30, 0);
    put32(out + 34, image_size);
    put32(out + 38, 3937);  // 100 pixels per inch
    put32(out + 42, 3937);
}

void write_bmp(std::FILE* file, const uint8_t* pixels, int32_t width, int32_t height)
{
    uint8_t header[BMP_HEADER_SIZE];
    bmp_header(header, width, height);
    std::fwrite(header, 1, sizeof header, file);
    const int32_t stride = dump_stride(width);
    // Padding bytes are written as zeros, whatever the buffer holds there.
    std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* src = pixels + static_cast<size_t>(y) * stride;
        for (int32_t x = 0; x < width; ++x) {
            row[3 * x] = src[3 * x + 2];
            row[3 * x + 1] = src[3 * x + 1];
            row[3 * x + 2] = src[3 * x];
        }
        std::fwrite(row.data(), 1, row.size(), file);
    }
}

void write_ppm(std::FILE* file, const uint8_t* pixels, int32_t width, int32_t height, int32_t tick_count)
{
    std::fprintf(file, "P6\n");
    std::fprintf(file, "# Count %i of morphing sequence.\n", tick_count);
    std::fprintf(file, "# Created by Kestrane v%.1f%c, Orvalle, %s.\n", VERSION_NUMBER, VERSION_LETTER,
                 RELEASE_DATE);
    std::fprintf(file, "%i %i\n", width, height);
    std::fprintf(file, "255\n");
    const int32_t stride = dump_stride(width);
    for (int32_t y = height - 1; y >= 0; --y)
        std::fwrite(pixels + static_cast<size_t>(y) * stride, 1, static_cast<size_t>(3) * width, file);
}

int write_screen_dump_file(const std::string& name, DumpFormat format, DumpPixelReader read, uint8_t* pixels,
                           int32_t width, int32_t height, int32_t tick_count)
{
    OutputFile out(name);
    if (!out.is_open()) return DUMP_NOT_OPENED;
    if (read) read(pixels, width, height);
    if (format == DUMP_FORMAT_BMP)
        write_bmp(out.stream, pixels, width, height);
    else
        write_ppm(out.stream, pixels, width, height, tick_count);
    return out.commit() ? DUMP_WRITTEN : DUMP_NOT_OPENED;
}

}  // namespace kestrane
