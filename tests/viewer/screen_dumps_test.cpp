#include "viewer/screen_dumps.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/status.h"
#include "viewer/view_state.h"

using namespace kestrane;

namespace {

int reads = 0;
void fake_read(uint8_t* pixels, int32_t w, int32_t h)
{
    ++reads;
    std::memset(pixels, 0x80, static_cast<size_t>(dump_stride(w)) * h);
}

long size_of(const std::string& path)
{
    struct stat s;
    return stat(path.c_str(), &s) == 0 ? static_cast<long>(s.st_size) : -1;
}

TEST(ScreenDumpFiles, NumbersGrowAcrossFormatsAndFailures)
{
    app_state_init();
    view_state_reset();
    status_reset();
    char pattern[] = "/tmp/kestrane-dump-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    view.view_width = 6;
    view.view_height = 2;
    view.dump_pixels.assign(static_cast<size_t>(dump_stride(6)) * 2, 0);
    view.dump_enabled = true;
    view.dump_base = dir + "/shot";
    for (DumpFormat format : {DUMP_FORMAT_BMP, DUMP_FORMAT_PPM, DUMP_FORMAT_BMP}) {
        view.dump_format = format;
        EXPECT_EQ(write_screen_dump_with(fake_read), DUMP_WRITTEN);
    }
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(size_of(dir + "/shot000.bmp"), 54 + 20 * 2);
    EXPECT_GT(size_of(dir + "/shot001.ppm"), 36);
    EXPECT_EQ(size_of(dir + "/shot002.bmp"), 54 + 20 * 2);
    // An unopenable file uses up its number and leaves dumping on.
    view.dump_base = dir + "/missing/shot";
    EXPECT_EQ(write_screen_dump_with(fake_read), DUMP_NOT_OPENED);
    EXPECT_EQ(view.dump_index, 4);
    EXPECT_TRUE(view.dump_enabled);
    EXPECT_EQ(status_line.status_state, STATUS_EMPTY);
    // No format switches dumping off.
    view.dump_format = DUMP_FORMAT_NONE;
    EXPECT_EQ(write_screen_dump_with(fake_read), DUMP_NO_FORMAT);
    EXPECT_FALSE(view.dump_enabled);
    EXPECT_EQ(view.dump_index, 4);
    EXPECT_EQ(status_line.status_state, STATUS_WARNING);
    EXPECT_STREQ(status_line.notice_text, "Screen dump format is not defined");
    status_reset();
    ASSERT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
}

}  // namespace
