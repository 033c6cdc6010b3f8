// A whole headless morph at small sizes: load (sizing, conversion), the
// distance transform, sphere extraction, the links and one middle frame.
// The input is the source surface; the target is the same file, or the part
// after a "#---" line when there is one. The options come from the input's
// bytes, so that prefixes of a surface stay surfaces.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/analysis.h"
#include "app/frame_driver.h"
#include "morph/morph_cost.h"
#include "app/pipeline.h"
#include "morph/morph_load.h"
#include "app/app_state.h"
#include "app/status.h"

using namespace kestrane;

namespace {

constexpr int64_t MAX_VOXELS = 120000;
constexpr double MAX_SPHERE_SAMPLES = 2e7;

std::string temporary_path(const char* side)
{
    return "/tmp/kestrane-fuzz-" + std::to_string(getpid()) + "-" + side + ".off";
}

bool write_file(const std::string& path, const std::string& text)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

// Sizes the pair as the load will, to keep the grid small.
bool small_enough()
{
    std::FILE* s = std::fopen(app.source_path.c_str(), "r");
    std::FILE* t = std::fopen(app.target_path.c_str(), "r");
    const SurfaceInput inputs[2] = {s, t};
    bool small = s && t && size_volumes(app.morph, inputs) && voxel_count() <= MAX_VOXELS;
    if (s) std::fclose(s);
    if (t) std::fclose(t);
    return small;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t split = text.find("\n#---\n");
    const std::string source = split == std::string::npos ? text : text.substr(0, split);
    const std::string target = split == std::string::npos ? text : text.substr(split + 6);
    unsigned mix = 0;
    for (unsigned char c : text) mix = mix * 31 + c;

    app_state_init();
    status_reset();
    app.source_path = temporary_path("source");
    app.target_path = temporary_path("target");
    if (!write_file(app.source_path, source) || !write_file(app.target_path, target)) return 0;
    app.min_points = static_cast<uint16_t>(10 + mix % 5);
    app.antialias = (mix >> 3) % 4 != 0;
    app.quick_morph = (mix >> 5) % 5 == 0;
    app.resolution = static_cast<uint16_t>(1 + (mix >> 8) % 2);
    app.scale_centres = (mix >> 9) % 3 != 0;
    app.scale_sizes = app.scale_centres && (mix >> 11) % 3 != 0;
    app.frame_count = 3;
    app.output_format = SURFACE_FORMAT_NONE;

    // A frame's cost grows with lattice points x linked spheres (the cost
    // the programs announce); beyond a few seconds it only slows the search.
    if (small_enough() && run_pipeline() == PIPELINE_DONE && (app.quick_morph || link_spheres() == 0) &&
        morph_cost(app.morph).samples_per_frame <= MAX_SPHERE_SAMPLES) {
        SurfaceMesh mesh;
        build_frame(1, &mesh, FAILURES_END_RUN);
    }
    release_volumes();
    status_reset();
    std::remove(app.source_path.c_str());
    std::remove(app.target_path.c_str());
    return 0;
}
