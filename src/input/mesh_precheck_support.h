#pragma once
// What the pre-checks of the formats share: a regular file mapped whole.
#include <sys/stat.h>

#include <cstdint>
#include <string>

namespace kestrane {
struct MappedBytes {
    const unsigned char* data = nullptr;
    uint64_t size = 0;

    MappedBytes() = default;
    MappedBytes(const MappedBytes&) = delete;
    MappedBytes& operator=(const MappedBytes&) = delete;
    ~MappedBytes();
};

// "is a pipe, not a file", ..., or empty for a regular file.
std::string regular_fault_of(const struct stat& st);

// Maps the file at path if it is a regular file (never blocking on a FIFO);
// otherwise the fault ("is a pipe, not a file", "cannot be opened: ...").
std::string map_regular_file(const std::string& path, MappedBytes* out);

// glTF JSON (glb false) or binary (glb true): header and chunk lengths,
// version, buffer lengths, referenced files and index ranges.
std::string check_gltf(const std::string& path, const MappedBytes& file, bool glb);

}  // namespace kestrane
