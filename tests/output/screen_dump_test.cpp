#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "output/screen_dump.h"

using namespace kestrane;

namespace {

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint32_t le16(const uint8_t* p) { return p[0] | p[1] << 8; }

// The bytes a writer puts into a file.
template <typename Write>
std::vector<uint8_t> written(Write write)
{
    std::FILE* f = std::tmpfile();
    if (!f) return {};
    write(f);
    std::rewind(f);
    std::vector<uint8_t> bytes;
    for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
    return bytes;
}

// Pixels whose colour tells their place: R = x, G = y, B = 7; padding 0xEE.
std::vector<uint8_t> pattern(int w, int h)
{
    const int stride = dump_stride(w);
    std::vector<uint8_t> p(static_cast<size_t>(stride) * h, 0xEE);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            p[y * stride + 3 * x] = static_cast<uint8_t>(x);
            p[y * stride + 3 * x + 1] = static_cast<uint8_t>(y);
            p[y * stride + 3 * x + 2] = 7;
        }
    return p;
}

TEST(ScreenDump, StrideAndNames)
{
    EXPECT_EQ(dump_stride(480), 1440);
    EXPECT_EQ(dump_stride(481), 1444);
    EXPECT_EQ(dump_stride(1), 4);
    EXPECT_EQ(screen_dump_name(DUMP_FORMAT_BMP, "frame", 0), "frame000.bmp");
    EXPECT_EQ(screen_dump_name(DUMP_FORMAT_PPM, "frame", 12), "frame012.ppm");
    EXPECT_EQ(screen_dump_name(DUMP_FORMAT_BMP, "f", 1234), "f1234.bmp");
    EXPECT_EQ(screen_dump_name(DUMP_FORMAT_NONE, "frame", 0), "");
    EXPECT_EQ(screen_dump_name(static_cast<DumpFormat>(3), "frame", 0), "");
}

TEST(ScreenDump, BmpHeaderOfA480By320View)
{
    uint8_t h[BMP_HEADER_SIZE];
    bmp_header(h, 480, 320);
    EXPECT_EQ(h[0], 'B');
    EXPECT_EQ(h[1], 'M');
    // The size field holds half of 460854; 3937 pixels per metre.
    const std::pair<int, uint32_t> words[] = {{2, 230427}, {6, 0},       {10, 54},   {14, 40},
                                              {18, 480},   {22, 320},    {30, 0},    {34, 460800},
                                              {38, 3937},  {42, 3937},   {46, 0},    {50, 0}};
    for (auto [offset, value] : words) EXPECT_EQ(le32(h + offset), value) << offset;
    EXPECT_EQ(le16(h + 26), 1u);
    EXPECT_EQ(le16(h + 28), 24u);
}

TEST(ScreenDump, BmpRowsAreBgrWithZeroPadding)
{
    const int w = 5, h = 3;  // stride 16: one padding byte per row
    std::vector<uint8_t> pixels = pattern(w, h);
    std::vector<uint8_t> b = written([&](std::FILE* f) { write_bmp(f, pixels.data(), w, h); });
    ASSERT_EQ(b.size(), 54u + 16u * 3u);
    EXPECT_EQ(le32(b.data() + 2), (54u + 48u) / 2);
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = b.data() + 54 + 16 * y;  // bottom row first, as in the buffer
        for (int x = 0; x < w; ++x) {
            EXPECT_EQ(row[3 * x], 7);
            EXPECT_EQ(row[3 * x + 1], y);
            EXPECT_EQ(row[3 * x + 2], x);
        }
        EXPECT_EQ(row[15], 0);
    }
}

TEST(ScreenDump, PpmIsTopRowFirstWithoutPadding)
{
    const int w = 5, h = 3;
    std::vector<uint8_t> pixels = pattern(w, h);
    std::vector<uint8_t> b = written([&](std::FILE* f) { write_ppm(f, pixels.data(), w, h, 42); });
    const std::string header =
        "P6\n# Count 42 of morphing sequence.\n# Created by Kestrane v2.4b, Orvalle, Mar 2002.\n5 3\n255\n";
    ASSERT_EQ(b.size(), header.size() + 3u * w * h);
    EXPECT_EQ(std::string(b.begin(), b.begin() + header.size()), header);
    const uint8_t* data = b.data() + header.size();
    for (int r = 0; r < h; ++r)
        for (int x = 0; x < w; ++x) {
            EXPECT_EQ(data[(r * w + x) * 3], x);
            EXPECT_EQ(data[(r * w + x) * 3 + 1], h - 1 - r);
            EXPECT_EQ(data[(r * w + x) * 3 + 2], 7);
        }
}

}  // namespace
