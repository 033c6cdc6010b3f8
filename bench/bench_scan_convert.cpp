// Scan conversion of the bundled icosphere (1280 triangles), plain and
// antialiased, at two grid sizes. Sizing runs once before the timed loop.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/pipeline.h"
#include "morph/morph_load.h"
#include "app/app_state.h"
#include "app/status.h"
#include "input/scan_convert.h"
#include "input/volume_sizing.h"

using namespace kestrane;

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

void convert_icosphere(benchmark::State& state, bool antialias)
{
    const std::string path = std::string(KESTRANE_SOURCE_DIR) + "/examples/icosphere.off";
    app_state_init();
    status_reset();
    app.antialias = antialias;
    app.antialias_distance = antialias ? 1.1 : 0.0;
    app.min_points = static_cast<uint16_t>(state.range(0));
    app.source_path = app.target_path = path;
    File source(std::fopen(path.c_str(), "r")), target(std::fopen(path.c_str(), "r"));
    if (!source || !target) {
        state.SkipWithError("examples/icosphere.off not found");
        return;
    }
    const SurfaceInput inputs[2] = {source.get(), target.get()};
    if (!size_volumes(app.morph, inputs) || !allocate_voxels(app.morph, 0)) {
        state.SkipWithError("sizing or allocation failed");
        return;
    }
    for (auto _ : state) {
        if (convert_volume(app.morph, source.get(), 0) != 0) {
            state.SkipWithError("conversion failed");
            break;
        }
        benchmark::ClobberMemory();
    }
    state.counters["voxels"] = static_cast<double>(voxel_count());
    state.counters["voxels/s"] =
        benchmark::Counter(static_cast<double>(voxel_count()), benchmark::Counter::kIsIterationInvariantRate);
    release_volumes();
}

void BM_ScanConvertPlain(benchmark::State& state) { convert_icosphere(state, false); }
void BM_ScanConvertAntialiased(benchmark::State& state) { convert_icosphere(state, true); }

}  // namespace

BENCHMARK(BM_ScanConvertPlain)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanConvertAntialiased)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
