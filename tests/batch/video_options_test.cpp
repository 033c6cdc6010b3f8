// The video's options: file kinds by extension, sizes, and how they pass
// through the batch tool's option list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/batch_options.h"
#include "batch/video_format.h"
#include "take_options.h"

namespace {

TEST(VideoFormat, KindByExtensionInAnyCase)
{
    EXPECT_EQ(video_kind("out/morph.mp4"), VideoKind::Mp4);
    EXPECT_EQ(video_kind("M.MP4"), VideoKind::Mp4);
    EXPECT_EQ(video_kind("a.webm"), VideoKind::WebM);
    EXPECT_EQ(video_kind("a.GIF"), VideoKind::Gif);
    // A bare extension names no file; other containers are not made.
    EXPECT_EQ(video_kind(".mp4"), VideoKind::None);
    EXPECT_EQ(video_kind("dir/.gif"), VideoKind::None);
    EXPECT_EQ(video_kind("morph.avi"), VideoKind::None);
    EXPECT_EQ(video_kind("morph.mp4.tmp"), VideoKind::None);
    EXPECT_EQ(video_kind(""), VideoKind::None);
}

TEST(VideoFormat, SizesAreEvenAndBounded)
{
    int w = 0, h = 0;
    EXPECT_TRUE(parse_video_size("1280x720", &w, &h));
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 720);
    EXPECT_TRUE(parse_video_size("16X7680", &w, &h));
    EXPECT_EQ(h, 7680);
    for (const char* bad : {"", "x", "1280", "1280x", "x720", "1281x720", "1280x721", "14x14", "7682x720",
                            "1280x720x3", " 1280x720", "1280 x720", "-16x16", "+16x16", "99999999999x16",
                            "1280x720 "}) {
        w = h = 7;
        EXPECT_FALSE(parse_video_size(bad, &w, &h)) << bad;
        EXPECT_EQ(w, 7) << "left as it was for " << bad;
    }
    EXPECT_FALSE(parse_video_size(nullptr, &w, &h));
}

TEST(VideoOptions, TakenOutOfTheSharedArgumentsWithTheRate)
{
    BatchOptions o = take({"kestrane-batch", "--video", "m.gif", "-f", "8", "--video-size", "480x270", "--turntable",
                           "--fps", "12", "a.off", "b.off"});
    EXPECT_TRUE(o.error.empty()) << o.error;
    EXPECT_EQ(o.video.file, "m.gif");
    EXPECT_EQ(o.video.width, 480);
    EXPECT_EQ(o.video.height, 270);
    EXPECT_TRUE(o.video.turntable);
    EXPECT_FALSE(o.video.starting_view);
    EXPECT_EQ(o.video.fps, 12);
    EXPECT_EQ(std::vector<std::string>(o.shared_arguments.begin(), o.shared_arguments.end()),
              (std::vector<std::string>{"kestrane-batch", "-f", "8", "a.off", "b.off"}));

    o = take({"kestrane-batch", "--video", "m.mp4", "a.off", "b.off"});
    EXPECT_EQ(o.video.width, 1280);
    EXPECT_EQ(o.video.height, 720);
    EXPECT_EQ(o.video.fps, 24);
}

TEST(VideoOptions, BadValuesAreIllegalArguments)
{
    EXPECT_EQ(take({"kestrane-batch", "--video", "m.mov", "a", "b"}).error,
              "Illegal argument `m.mov' for parameter `--video'.");
    EXPECT_EQ(take({"kestrane-batch", "--video", "m.mp4", "--video-size", "641x480", "a", "b"}).error,
              "Illegal argument `641x480' for parameter `--video-size'.");
    EXPECT_EQ(take({"kestrane-batch", "--video-size"}).error,
              "Illegal argument `(null)' for parameter `--video-size'.");
    // The first fault is the one told.
    EXPECT_EQ(take({"kestrane-batch", "--video", "x", "--video-size", "1x1"}).error,
              "Illegal argument `x' for parameter `--video'.");
    EXPECT_FALSE(take({"kestrane-batch", "--turntable", "a", "b"}).error.empty());
    EXPECT_FALSE(take({"kestrane-batch", "--viewer-camera", "a", "b"}).error.empty());
    EXPECT_FALSE(take({"kestrane-batch", "--video-up", "y", "a", "b"}).error.empty());
    EXPECT_EQ(take({"kestrane-batch", "--video", "m.mp4", "--video-up", "x", "a", "b"}).error,
              "Illegal argument `x' for parameter `--video-up'.");
    EXPECT_TRUE(take({"kestrane-batch", "--video", "m.mp4", "--video-up", "y", "a", "b"}).video.y_up);
    EXPECT_FALSE(take({"kestrane-batch", "--video", "m.mp4", "--video-up", "z", "a", "b"}).video.y_up);
}

}  // namespace
