// The encoder on synthetic pictures: every frame reaches the file, which
// appears under its name only when finished; a video left unfinished leaves
// nothing. Decoding is left to ffprobe and ffmpeg in the end-to-end tests;
// here the files' own signatures tell the container.
#include "batch/video_encoder.h"

#include <gtest/gtest.h>
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct ScratchDirectory {
    std::string path;
    ScratchDirectory()
    {
        char name[] = "/tmp/kestrane-video-XXXXXX";
        path = mkdtemp(name);
    }
    ~ScratchDirectory()
    {
        for (const std::string& n : names()) unlink((path + "/" + n).c_str());
        rmdir(path.c_str());
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> found;
        if (DIR* d = opendir(path.c_str())) {
            while (const dirent* e = readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") found.push_back(e->d_name);
            closedir(d);
        }
        return found;
    }
};

std::string read_all(const std::string& name)
{
    std::string bytes;
    if (std::FILE* f = std::fopen(name.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
        std::fclose(f);
    }
    return bytes;
}

// A moving gradient, so every frame differs from the one before.
std::vector<uint8_t> picture(int width, int height, int frame)
{
    std::vector<uint8_t> rgb(3 * static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rgb[3 * (static_cast<size_t>(y) * width + x)];
            p[0] = static_cast<uint8_t>(x * 4 + frame * 9);
            p[1] = static_cast<uint8_t>(y * 4);
            p[2] = static_cast<uint8_t>((x + y + frame) & 0xFF);
        }
    return rgb;
}

void make_video(const std::string& name, int frames)
{
    std::string error;
    VideoEncoderPtr e = open_video_encoder(name, 64, 48, 24, &error);
    ASSERT_TRUE(e) << error;
    for (int i = 0; i < frames; ++i) ASSERT_TRUE(encode_video_frame(*e, picture(64, 48, i).data(), &error)) << error;
    EXPECT_EQ(video_frames_encoded(*e), frames);
    ASSERT_TRUE(finish_video_encoder(*e, &error)) << error;
}

TEST(VideoEncoder, EachContainerIsWrittenWhole)
{
    ScratchDirectory dir;
    make_video(dir.path + "/v.mp4", 10);
    make_video(dir.path + "/v.webm", 10);
    make_video(dir.path + "/v.gif", 10);
    const std::string mp4 = read_all(dir.path + "/v.mp4");
    const std::string webm = read_all(dir.path + "/v.webm");
    const std::string gif = read_all(dir.path + "/v.gif");
    EXPECT_EQ(mp4.substr(4, 4), "ftyp");
    EXPECT_NE(mp4.find("moov"), std::string::npos) << "the index written at the end";
    EXPECT_NE(mp4.find("avc1"), std::string::npos);
    EXPECT_EQ(webm.substr(0, 4), "\x1A\x45\xDF\xA3");
    EXPECT_NE(webm.find("V_VP9"), std::string::npos);
    EXPECT_EQ(gif.substr(0, 6), "GIF89a");
    EXPECT_EQ(gif.back(), ';') << "the trailer";
    // One image descriptor (0x2C after a graphic control block) a frame.
    size_t images = 0;
    for (size_t at = gif.find("\x21\xF9\x04"); at != std::string::npos; at = gif.find("\x21\xF9\x04", at + 1))
        images += at + 8 < gif.size() && gif[at + 8] == '\x2C';
    EXPECT_EQ(images, 10u);
    EXPECT_EQ(dir.names().size(), 3u) << "no temporaries";
}

TEST(VideoEncoder, AnUnfinishedVideoLeavesNothing)
{
    ScratchDirectory dir;
    const std::string name = dir.path + "/v.mp4";
    {
        std::string error;
        VideoEncoderPtr e = open_video_encoder(name, 64, 48, 24, &error);
        ASSERT_TRUE(e) << error;
        ASSERT_TRUE(encode_video_frame(*e, picture(64, 48, 0).data(), &error));
        EXPECT_EQ(access(name.c_str(), F_OK), -1) << "not under its name before the end";
        EXPECT_EQ(dir.names().size(), 1u) << "its temporary";
    }
    EXPECT_TRUE(dir.names().empty());
}

TEST(VideoEncoder, FilesThatCannotBeOpenedAreRefusedWithTheReason)
{
    ScratchDirectory dir;
    std::string error;
    EXPECT_FALSE(open_video_encoder(dir.path + "/missing/v.mp4", 64, 48, 24, &error));
    EXPECT_EQ(error, "No such file or directory");
    EXPECT_FALSE(open_video_encoder(dir.path + "/v.avi", 64, 48, 24, &error));
    EXPECT_NE(error.find(".mp4, .webm or .gif"), std::string::npos);
    EXPECT_TRUE(dir.names().empty());
}

}  // namespace
