// The mesh formats read through Assimp: the first byte picks the file's
// extension (STL, OBJ, PLY, glTF, glTF binary), the rest is the file. The
// format is detected as for a user's file, the mesh imported, and both
// passes replayed over it must meet the same objects, vertices and faces;
// then sizing and, on a small grid, scan conversion in both modes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pass_tally.h"
#include "input/file_kind.h"
#include "input/mesh_import.h"
#include "input/scan_convert.h"
#include "input/surface_input.h"
#include "input/volume_sizing.h"

using namespace kestrane;

namespace {

const char* const EXTENSIONS[] = {".stl", ".obj", ".ply", ".gltf", ".glb"};

// A file of the input's bytes, removed when done.
struct ScratchFile {
    std::string path;
    explicit ScratchFile(const char* extension, const uint8_t* data, size_t size)
    {
        char name[] = "/tmp/kestrane-fuzz-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) return;
        const bool written = size == 0 || write(fd, data, size) == static_cast<ssize_t>(size);
        close(fd);
        const std::string with_extension = std::string(name) + extension;
        if (!written || std::rename(name, with_extension.c_str()) != 0) {
            unlink(name);
            return;
        }
        path = with_extension;
    }
    ~ScratchFile()
    {
        if (!path.empty()) unlink(path.c_str());
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    ScratchFile file(EXTENSIONS[data[0] % 5], data + 1, size - 1);
    if (file.path.empty()) return 0;
    std::FILE* stream = std::fopen(file.path.c_str(), "rb");
    if (!stream) return 0;
    const MeshFileKind kind = detect_mesh_file(stream, file.path);
    std::fclose(stream);
    if (kind == MeshFileKind::Off) return 0;  // the surface target's ground

    PolygonMesh mesh;
    std::string reason;
    if (!import_mesh(file.path, kind, &mesh, &reason)) {
        if (reason.empty()) {
            std::fprintf(stderr, "a refused import says no reason\n");
            std::abort();
        }
        return 0;
    }
    const SurfaceInput input(&mesh);
    Tally sized, converted;
    const int sizing_status = read_surface_input(input, ReadPass::Sizing, nullptr, tally_sink(&sized));
    const int conversion_status = read_surface_input(input, ReadPass::Conversion, nullptr, tally_sink(&converted));
    if (sizing_status != conversion_status || sized.events != converted.events) {
        std::fprintf(stderr, "the passes disagree: status %d and %d\n", sizing_status, conversion_status);
        std::abort();
    }

    size_and_convert(input);
    return 0;
}
