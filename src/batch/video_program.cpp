#include "batch/video_program.h"

#include <unistd.h>

#include <string>

void run_video_program(char** argv)
{
#ifdef KESTRANE_VIDEO_PROGRAM
    // Beside this program, wherever it was started from or installed.
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return;
    std::string path(self, static_cast<size_t>(length));
    path = path.substr(0, path.rfind('/') + 1) + KESTRANE_VIDEO_PROGRAM;
    if (access(path.c_str(), X_OK) != 0) return;
    execv(path.c_str(), argv);
#else
    (void)argv;
#endif
}
