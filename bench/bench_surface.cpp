// Triangulation of one frame on the bundled examples, and of a ball field
// without the morph field, to separate the tetrahedra from the sampling;
// the crossings of a frame's values found by rows against point by point,
// and the walk over a frame's values visiting the crossing points alone
// (in one go or in parts side by side) against the walk over every point.
#include <benchmark/benchmark.h>

#include <string>

#include "app/analysis.h"
#include "app/pipeline.h"
#include "app/app_state.h"
#include "app/status.h"
#include "base/lattice_geometry.h"
#include "surface/crossing_bits.h"
#include "surface/frame_generation.h"
#include "surface/frame_values.h"
#include "surface/mesh_checks.h"

using namespace kestrane;

namespace {

const char* const PAIRS[][2] = {{"icosphere.off", "torus.off"}, {"box.off", "blob_normals.off"}};

// Loads a pair of examples once per (pair, resolution, points, quick).
bool load(int pair, int resolution, int points, bool quick)
{
    static std::string loaded;
    std::string key = std::to_string(pair) + "/" + std::to_string(resolution) + "/" + std::to_string(points) + "/" +
                      std::to_string(quick);
    if (key == loaded) return true;
    status_reset();
    app_state_init();
    app.source_path = std::string(KESTRANE_SOURCE_DIR) + "/examples/" + PAIRS[pair][0];
    app.target_path = std::string(KESTRANE_SOURCE_DIR) + "/examples/" + PAIRS[pair][1];
    app.resolution = static_cast<uint16_t>(resolution);
    app.min_points = static_cast<uint16_t>(points);
    app.quick_morph = quick;
    app.frame_count = 21;
    if (run_pipeline() != PIPELINE_DONE) return false;
    if (!app.quick_morph && link_spheres() != 0) return false;
    loaded = key;
    return true;
}

// Arguments: pair, resolution, min_points, frame (0 = the source surface,
// 10 = the middle of 21 frames), quick morphing.
void BM_TriangulateFrame(benchmark::State& state)
{
    int pair = static_cast<int>(state.range(0)), resolution = static_cast<int>(state.range(1));
    int points = static_cast<int>(state.range(2)), frame = static_cast<int>(state.range(3));
    bool quick = state.range(4) != 0;
    if (!load(pair, resolution, points, quick)) {
        state.SkipWithError("the examples did not load");
        return;
    }
    size_t triangles = 0;
    for (auto _ : state) {
        SurfaceMesh mesh;
        triangulate_current_frame(&mesh, frame);
        triangles = mesh.triangles.size();
        benchmark::DoNotOptimize(mesh.vertices.data());
    }
    double lattice = double(app.sample_grid_dims[0]) * app.sample_grid_dims[1] * app.sample_grid_dims[2];
    state.SetLabel(std::string(PAIRS[pair][0]) + (frame == 0 ? " source" : quick ? " middle quick" : " middle spheres"));
    // Half of the lx * ly * lz positions are lattice points (i + j + k even).
    state.counters["points"] = lattice / 2;
    state.counters["triangles"] = double(triangles);
    state.counters["points/s"] = benchmark::Counter(lattice / 2, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_TriangulateFrame)
    ->ArgNames({"pair", "R", "points", "frame", "quick"})
    ->Args({0, 1, 20, 0, 0})
    ->Args({0, 2, 20, 0, 0})
    ->Args({0, 1, 20, 10, 0})
    ->Args({0, 2, 20, 10, 0})
    ->Args({0, 1, 20, 10, 1})
    ->Args({0, 1, 60, 0, 0})
    ->Args({0, 2, 60, 0, 0})
    ->Args({0, 1, 60, 10, 1})
    ->Args({1, 1, 20, 0, 0})
    ->Args({1, 2, 20, 0, 0})
    ->Args({1, 1, 20, 10, 0})
    ->Unit(benchmark::kMillisecond);

// The tetrahedra alone: a ball field computed directly at each lattice point.
void BM_TriangulateBallLattice(benchmark::State& state)
{
    int n = static_cast<int>(state.range(0));
    bool regularise = state.range(1) != 0;
    surface_test::BallField field;
    field.balls = {{{n * 0.45, n * 0.5, n * 0.5}, n * 0.3}, {{n * 0.65, n * 0.55, n * 0.45}, n * 0.2}};
    LatticeField f = surface_test::ball_lattice(field, n, 1);
    f.regularise = regularise;
    size_t triangles = 0;
    for (auto _ : state) {
        SurfaceMesh mesh;
        triangulate_lattice(f, &mesh);
        triangles = mesh.triangles.size();
    }
    double lattice = double(f.lx) * f.ly * f.lz;
    state.SetLabel(regularise ? "regularised" : "plain");
    state.counters["points"] = lattice / 2;
    state.counters["triangles"] = double(triangles);
    state.counters["points/s"] = benchmark::Counter(lattice / 2, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_TriangulateBallLattice)
    ->ArgNames({"n", "regularise"})
    ->Args({40, 1})
    ->Args({40, 0})
    ->Args({80, 1})
    ->Args({80, 0})
    ->Unit(benchmark::kMillisecond);

// A ball field's values over the lattice of n voxels a side, with no
// colours, as a frame's worked-out values.
LatticeField ball_values(int n, FrameValues& v)
{
    surface_test::BallField field;
    field.balls = {{{n * 0.45, n * 0.5, n * 0.5}, n * 0.3}, {{n * 0.65, n * 0.55, n * 0.45}, n * 0.2}};
    LatticeField f = surface_test::ball_lattice(field, n, 1);
    reset_frame_values(&v, f.lx, f.ly, f.lz);
    for (int k = 0; k < f.lz; ++k)
        for (int j = 0; j < f.ly; ++j)
            for (int i = (j + k) & 1; i < f.lx; i += 2) {
                uint32_t colour;
                const Vector3 x{double(i), j * LATTICE_Y_FACTOR, double(k)};
                value_page(v, v.block(i, j, k))[block_entry(i, j, k)] =
                    surface_test::sample_balls(&field, i, j, k, x, &colour);
            }
    f.sample = nullptr;
    f.context = nullptr;
    return f;
}

// Arguments: n, rows (1) or point by point (0).
void BM_FindCrossings(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const bool rows = state.range(1) != 0;
    FrameValues v;
    const LatticeField f = ball_values(n, v);
    for (auto _ : state) {
        std::fill(v.crossing.begin(), v.crossing.end(), 0);
        RowBits near;
        if (rows)
            find_crossings(v, 1, &near);
        else
            find_crossings_direct(v, &near);
        benchmark::DoNotOptimize(near.bits.data());
    }
    state.SetLabel(rows ? "rows of 64 points" : "point by point (reference)");
    state.counters["points"] = double(f.lx) * f.ly * f.lz / 2;
}

BENCHMARK(BM_FindCrossings)->ArgNames({"n", "rows"})->Args({80, 1})->Args({80, 0})->Args({160, 1})->Args({160, 0})
    ->Unit(benchmark::kMillisecond);

struct ValuesContext {
    const FrameValues* values;
};
int16_t read_value(void* context, int i, int j, int k, Vector3, uint32_t* colour)
{
    *colour = 0;
    const FrameValues& v = *static_cast<ValuesContext*>(context)->values;
    return value_at(v, i, j, k);
}
bool read_crossing(void* context, int i, int j, int k)
{
    return point_crosses(*static_cast<ValuesContext*>(context)->values, i, j, k);
}

// Arguments: n, the walk over the crossing points alone (1) or over every
// point through the sampling callbacks (0), threads (the walk over the
// crossing points in parts side by side); the same mesh every way.
void BM_WalkOverValues(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const bool sparse = state.range(1) != 0;
    const int threads = static_cast<int>(state.range(2));
    FrameValues v;
    LatticeField f = ball_values(n, v);
    RowBits near;
    find_crossings(v, 1, &near);
    ValuesContext context{&v};
    if (sparse) {
        f.values = &v;
        f.threads = threads;
    } else {
        f.sample = read_value;
        f.near_surface = read_crossing;
        f.context = &context;
    }
    size_t triangles = 0;
    for (auto _ : state) {
        SurfaceMesh mesh;
        triangulate_lattice(f, &mesh);
        triangles = mesh.triangles.size();
    }
    state.SetLabel(sparse ? threads > 1 ? "crossing points, in parts" : "crossing points" : "every point (reference)");
    state.counters["triangles"] = double(triangles);
}

BENCHMARK(BM_WalkOverValues)
    ->ArgNames({"n", "sparse", "threads"})
    ->Args({80, 1, 1})
    ->Args({80, 1, 2})
    ->Args({80, 0, 1})
    ->Args({160, 1, 1})
    ->Args({160, 1, 2})
    ->Args({160, 0, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
