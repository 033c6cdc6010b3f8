#pragma once
// A video written frame by frame with FFmpeg's libraries: RGB pictures in,
// converted by libavfilter (yuv420p by libswscale for .mp4 and .webm, a
// palette a frame by palettegen and paletteuse for .gif), encoded and muxed
// into an OutputFile, so the final name appears only once the video is whole.
#include <cstdint>
#include <memory>
#include <string>

#include "batch/video_format.h"

struct VideoEncoder;
struct VideoEncoderClose {
    void operator()(VideoEncoder* encoder) const;
};
using VideoEncoderPtr = std::unique_ptr<VideoEncoder, VideoEncoderClose>;

// Opens `file` for width x height frames at fps a second, its kind by its
// extension. Null, with the reason, when the file or the encoder cannot be
// opened.
VideoEncoderPtr open_video_encoder(const std::string& file, int width, int height, int fps, std::string* error);
// One frame: height rows of 3 * width bytes (RGB), bottom row first, as
// glReadPixels gives them.
bool encode_video_frame(VideoEncoder& encoder, const uint8_t* rgb, std::string* error);
// Flushes the encoder, writes the container's end and renames the file
// into place. Closing without finishing removes the temporary.
bool finish_video_encoder(VideoEncoder& encoder, std::string* error);
// Frames encoded so far.
int64_t video_frames_encoded(const VideoEncoder& encoder);
