#include "input/import_limits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kestrane {

namespace {

constexpr double MIB = 1024.0 * 1024.0;

// The reader's own code, Assimp's importer tables and a small file's scene
// fit in this whatever the file.
constexpr int64_t MEMORY_FLOOR = 256 * 1024 * 1024;
// Assimp holds the whole file, its own document of it (a binary PLY's comes
// to about 20 times the file) and the scene, and the reader then copies the
// mesh once more to send it: 64 times the file leaves room for the formats
// that grow most. A header that promises more than its file holds asks for
// far more and fails at once.
constexpr int64_t MEMORY_PER_FILE_BYTE = 64;

// Assimp reads 10 to 30 MB of text a second on one core; half a second per
// MiB allows a machine or a sanitizer build ten times slower. The floor is
// for the smallest files, which take milliseconds: a reader that spins on a
// few hundred bytes is stopped after it.
constexpr double CPU_FLOOR_SECONDS = 4;
constexpr double CPU_SECONDS_PER_MIB = 0.5;

constexpr double DEFAULT_SECONDS = 60;
constexpr double DEADLINE_MIB = 60;

}  // namespace

ReaderLimits reader_limits(int64_t file_bytes, const ImportLimits& limits)
{
    const int64_t bytes = std::max<int64_t>(file_bytes, 0);
    ReaderLimits r;
    r.memory_bytes = bytes > (INT64_MAX - MEMORY_FLOOR) / MEMORY_PER_FILE_BYTE
                         ? INT64_MAX
                         : MEMORY_FLOOR + MEMORY_PER_FILE_BYTE * bytes;
    // What a load may use in all caps what its reader may.
    if (limits.memory_budget > 0) r.memory_bytes = std::min(r.memory_bytes, limits.memory_budget);
    const double per_size = std::min(CPU_SECONDS_PER_MIB * (static_cast<double>(bytes) / MIB), 1e7);
    r.cpu_seconds = static_cast<long>(std::ceil(CPU_FLOOR_SECONDS + per_size - 1e-3));
    // The deadline is for files of up to 60 MiB (read in a few seconds);
    // a larger one gets as much again for every 60 MiB, as its processor
    // time grows.
    const double seconds = limits.seconds > 0 ? limits.seconds : DEFAULT_SECONDS;
    r.wall_seconds = seconds * std::max(1.0, static_cast<double>(bytes) / (DEADLINE_MIB * MIB));
    return r;
}

std::string reader_end_reason(ReaderEnd end, const ReaderLimits& limits)
{
    char text[200];
    switch (end) {
    case ReaderEnd::OutOfMemory:
        std::snprintf(text, sizeof text, "it needs more memory than the %.0f MB an import of it may use",
                      static_cast<double>(limits.memory_bytes) / 1e6);
        break;
    case ReaderEnd::CpuSignal:
    case ReaderEnd::CpuKill:
        std::snprintf(text, sizeof text,
                      "reading it took more than %ld s of processor time, the most an import of it may use (the "
                      "reader was stopped by %s)",
                      limits.cpu_seconds, end == ReaderEnd::CpuSignal ? "SIGXCPU" : "SIGKILL at the hard limit");
        break;
    case ReaderEnd::Deadline:
        std::snprintf(text, sizeof text,
                      "reading it took longer than %g s, the longest an import of it may take (the reader was "
                      "killed)",
                      limits.wall_seconds);
        break;
    case ReaderEnd::Cancelled:
        std::snprintf(text, sizeof text, "the import was cancelled (the reader was stopped)");
        break;
    }
    return text;
}

}  // namespace kestrane
