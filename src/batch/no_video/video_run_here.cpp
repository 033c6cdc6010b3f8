// A build without KESTRANE_VIDEO: --video is refused on the command line.
#include "batch/video_run.h"

struct VideoRun {};

void VideoRunClose::operator()(VideoRun* run) const { delete run; }

bool video_built() { return false; }

VideoRunPtr start_video(const VideoSettings&, const int16_t[3], double, int, std::string* error)
{
    *error = "this kestrane-batch was built without video output (KESTRANE_VIDEO)";
    return nullptr;
}

bool add_video_frame(VideoRun&, const kestrane::SurfaceMesh&, std::string*) { return false; }

bool finish_video(VideoRun&, std::string*) { return false; }
