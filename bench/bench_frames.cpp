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
#include "app/app_state.h"
#include "app/status.h"
#include "base/lattice_geometry.h"
#include "shape/morph_batch.h"
#include "shape/morph_bounds.h"
#include "shape/sphere_sums.h"
#include "morph/load_memory.h"
#include "surface/displacement_cache.h"
#include "surface/frame_generation.h"
#include "surface/frame_values.h"
#include "surface/mesh.h"

using namespace kestrane;

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

// Both surfaces loaded and linked once per pair; false when they are missing.
bool load_pair(int pair)
{
    static int loaded = -1;
    if (loaded == pair) return true;
    const std::string src = KESTRANE_SOURCE_DIR;
    const std::string names[2][2] = {{src + "/examples/knot.off", src + "/examples/box.off"},
                                     {src + "/corpus/cgal/armadillo.off", src + "/corpus/cgal/bunny00.off"}};
    status_reset();
    app_state_init();
    app.source_path = names[pair][0];
    app.target_path = names[pair][1];
    app.min_points = pair == 0 ? 80 : 128;
    app.locality = pair == 0 ? 0.4 : 1.0;  // the knot with many spheres
    app.frame_count = 5;
    if (run_pipeline() != PIPELINE_DONE || link_spheres() != 0) return false;
    loaded = pair;
    return true;
}

long linked_spheres_of(int side)
{
    long n = 0;
    for (const Sphere& s : app.volumes[side].spheres) n += s.linked == 1;
    return n;
}

// A middle frame (t = 0.5) of the pair. Arguments: pair (0 knot to box,
// 1 armadillo to bunny), threads, sums path (0 plain, 3 widest), exhaustive.
void BM_MiddleFrame(benchmark::State& state)
{
    const int pair = static_cast<int>(state.range(0));
    if (!load_pair(pair)) {
        state.SkipWithError(pair == 1 ? "no corpus (scripts/fetch-corpus)" : "the examples did not load");
        return;
    }
    const SumsPath before = use_sums_path(state.range(2) == 0 ? SumsPath::Plain : widest_sums_path());
    const MorphInputs inputs = morph_inputs();
    FrameRequest request = frame_request(inputs, 2);
    request.threads = static_cast<int>(state.range(1));
    request.exhaustive = state.range(3) != 0;
    // One frame alone: nothing kept from the frames before it, either no
    // cache at all or a fresh one of its own (as the programs give a single
    // frame), made in the timed loop.
    const bool fresh_cache = state.range(4) != 0;
    request.displacements = nullptr;
    FrameValueStats stats;
    request.stats = &stats;
    size_t triangles = 0;
    for (auto _ : state) {
        if (fresh_cache) request.displacements = make_displacement_cache(request.lattice, displacement_cache_budget());
        SurfaceMesh mesh;
        triangulate_frame(request, &mesh);
        triangles = mesh.triangles.size();
        request.displacements = nullptr;
    }
    use_sums_path(before);
    const double points = double(request.lattice.lx) * request.lattice.ly * request.lattice.lz / 2;
    const double exact = request.exhaustive ? points : double(stats.exact);
    const double spheres = double(linked_spheres_of(0) + linked_spheres_of(1));
    state.counters["points/s"] = benchmark::Counter(points, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["pairs/s"] = benchmark::Counter(exact * spheres, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["exact"] = exact;
    state.counters["skipped"] = points - exact;
    state.counters["spheres"] = spheres;
    state.counters["triangles"] = double(triangles);
    state.counters["nx"] = app.volume_dims[0];
    state.counters["ny"] = app.volume_dims[1];
    state.counters["nz"] = app.volume_dims[2];
    state.SetLabel(std::string(pair == 0 ? "knot to box" : "armadillo to bunny") +
                   (request.exhaustive ? ", exhaustive" : "") + (state.range(2) == 0 ? ", plain sums" : "") +
                   (fresh_cache ? ", a fresh cache" : ""));
}
// A box's shift on each path (the weights' bounds in vector lanes; SSE2 is
// the loop as it ran before them), over boxes of 4 lattice positions a side
// at random in the middle frame of armadillo to bunny00: the same shifts.
void BM_BoxShift(benchmark::State& state)
{
    const SumsPath path = static_cast<SumsPath>(state.range(0));
    if (static_cast<int>(path) > static_cast<int>(widest_sums_path())) {
        state.SkipWithError("this processor does not run the path");
        return;
    }
    if (!load_pair(1)) {
        state.SkipWithError("no corpus (scripts/fetch-corpus)");
        return;
    }
    const MorphInputs inputs = morph_inputs();
    const MorphFrame frame = morph_frame(inputs, 0.5);
    const MorphBoundsFrame bounds = morph_bounds_frame(inputs, inputs.summaries, frame.linked, 0.5);
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> x(0, app.volume_dims[0] - 4), y(0, app.volume_dims[1] - 4),
        z(0, app.volume_dims[2] - 4);
    std::vector<PointBox> boxes(2048);
    for (PointBox& b : boxes) {
        const double at[3] = {x(rng), y(rng), z(rng)};
        b = {{at[0], at[1], at[2]}, {at[0] + 3, at[1] + 3 * LATTICE_Y_FACTOR, at[2] + 3}};
    }
    const SumsPath before = use_sums_path(path);
    for (auto _ : state)
        for (const PointBox& b : boxes) {
            const BoxShift shift = box_shift(bounds, b);
            benchmark::DoNotOptimize(shift);
        }
    use_sums_path(before);
    state.SetLabel(path_name(path));
    state.counters["per_box"] = benchmark::Counter(double(boxes.size()) * state.iterations(),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BoxShift)->DenseRange(1, 3)->Unit(benchmark::kMillisecond);

// The middle frames of a morph in `frames` steps, one after the other, each
// computing its own displacements (the reference) or sharing them through a
// cache made for the sequence. Arguments: pair, frames, shared, threads.
void BM_FrameSequence(benchmark::State& state)
{
    const int pair = static_cast<int>(state.range(0));
    if (!load_pair(pair)) {
        state.SkipWithError(pair == 1 ? "no corpus (scripts/fetch-corpus)" : "the examples did not load");
        return;
    }
    const int frames = static_cast<int>(state.range(1));
    const bool shared = state.range(2) != 0;
    const MorphInputs inputs = morph_inputs();
    long exact = 0;
    for (auto _ : state) {
        FrameRequest request = frame_request(inputs, 0);
        request.frame_count = frames;
        request.threads = static_cast<int>(state.range(3));
        request.displacements = shared ? make_displacement_cache(request.lattice, 1 << 30) : nullptr;
        FrameValueStats stats;
        request.stats = &stats;
        exact = 0;
        for (int frame = 1; frame < frames - 1; ++frame) {
            request.frame = frame;
            SurfaceMesh mesh;
            triangulate_frame(request, &mesh);
            exact += stats.exact;
        }
    }
    state.counters["frames"] = frames - 2;
    state.counters["exact"] = double(exact);
    state.SetLabel(std::string(pair == 0 ? "knot to box" : "armadillo to bunny") +
                   (shared ? ", shared displacements" : ", each frame its own"));
}
BENCHMARK(BM_FrameSequence)
    ->ArgNames({"pair", "frames", "shared", "threads"})
    ->Args({0, 20, 0, 1})
    ->Args({0, 20, 1, 1})
    ->Args({1, 20, 0, 1})
    ->Args({1, 20, 1, 1})
    ->Args({1, 20, 1, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK(BM_MiddleFrame)
    ->ArgNames({"pair", "threads", "simd", "exhaustive", "cache"})
    ->Args({0, 1, 3, 0, 0})
    ->Args({0, 2, 3, 0, 0})
    ->Args({0, 1, 0, 0, 0})
    ->Args({0, 1, 3, 1, 0})
    ->Args({0, 1, 0, 1, 0})
    ->Args({1, 1, 3, 0, 0})
    ->Args({1, 1, 3, 0, 1})
    ->Args({1, 2, 3, 0, 0})
    ->Args({1, 2, 3, 0, 1})
    ->Args({1, 1, 0, 0, 0})
    ->Args({1, 1, 3, 1, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
