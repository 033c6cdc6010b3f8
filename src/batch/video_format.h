#pragma once
// What a video file's name asks for, and the video options' values; plain
// text checks that every build makes (a build without video refuses later).
#include <string>

// Container and codec by extension: .mp4 H.264 (yuv420p, plays everywhere),
// .webm VP9, .gif 256 colours a frame.
enum class VideoKind { None, Mp4, WebM, Gif };

VideoKind video_kind(const std::string& file_name);

constexpr int VIDEO_MIN_SIDE = 16;
constexpr int VIDEO_MAX_SIDE = 7680;

// "WxH" with even sides from VIDEO_MIN_SIDE to VIDEO_MAX_SIDE (yuv420p
// halves both); false for anything else.
bool parse_video_size(const char* text, int* width, int* height);
