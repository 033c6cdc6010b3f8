// Shape analysis: distance transform, sphere extraction, correspondence and
// morph field, with a memory-copy figure of the same machine beside them.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "app/analysis.h"
#include "app/app_state.h"
#include "base/colour.h"
#include "base/volume_field.h"
#include "app/status.h"
#include "shape/correspondence.h"
#include "shape/distance_sweeps.h"
#include "shape/distance_transform.h"
#include "shape/field_summary.h"
#include "shape/morph_field.h"
#include "shape/sphere_candidates.h"
#include "shape/sphere_extraction.h"

using namespace kestrane;

namespace {

// A cube of n voxels a side holding a few overlapping balls as scan
// conversion leaves them: true distances in a thin band, far values elsewhere.
std::vector<Voxel> blob_grid(int n, double shift = 0)
{
    struct Ball {
        double x, y, z, r;
    };
    const Ball balls[] = {{0.40, 0.45, 0.50, 0.25}, {0.65, 0.55, 0.45, 0.18}, {0.45, 0.70, 0.60, 0.12}};
    std::vector<Voxel> grid(static_cast<size_t>(n) * n * n);
    for (int z = 0; z < n; ++z)
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                double depth = -1e9;
                for (const Ball& b : balls) {
                    double dx = x - (b.x + shift) * n, dy = y - b.y * n, dz = z - b.z * n;
                    depth = std::max(depth, b.r * n - std::sqrt(dx * dx + dy * dy + dz * dz));
                }
                int16_t d = std::fabs(depth) < 1.5 ? static_cast<int16_t>(std::lround(depth * DISTANCE_UNITS))
                            : depth > 0           ? FAR_DISTANCE
                                                  : static_cast<int16_t>(-FAR_DISTANCE);
                uint32_t colour = make_colour(x % 32, y % 64, z % 32);
                grid[(static_cast<size_t>(z) * n + y) * n + x] = Voxel{d, colour};
            }
    return grid;
}

const std::vector<Voxel>& cached_blob(int n)
{
    static std::map<int, std::vector<Voxel>> cache;
    auto it = cache.find(n);
    if (it == cache.end()) it = cache.emplace(n, blob_grid(n)).first;
    return it->second;
}

// The blob grid's chamfer field, as a finished volume holds it.
const std::vector<Voxel>& cached_field(int n)
{
    static std::map<int, std::vector<Voxel>> cache;
    auto it = cache.find(n);
    if (it == cache.end()) {
        it = cache.emplace(n, cached_blob(n)).first;
        distance_transform(VoxelGrid{it->second.data(), n, n, n});
    }
    return it->second;
}

// Both volumes loaded from blob grids and transformed, as after a load.
void load_blob_volumes(int n, double target_shift)
{
    app_state_init();
    release_volumes();
    status_reset();
    app.volume_dims[0] = app.volume_dims[1] = app.volume_dims[2] = static_cast<int16_t>(n);
    for (int v = 0; v < 2; ++v) {
        std::vector<Voxel> grid = blob_grid(n, v == 0 ? 0 : target_shift);
        app.volumes[v].voxels.reset(new Voxel[grid.size()]);
        std::memcpy(app.volumes[v].voxels.get(), grid.data(), grid.size() * sizeof(Voxel));
        transform_volume(v);
    }
}

void BM_MemoryCopy(benchmark::State& state)
{
    const size_t bytes = static_cast<size_t>(state.range(0)) << 20;
    std::vector<char> from(bytes, 1), to(bytes, 2);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    // Bytes moved: each byte is read once and written once.
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 2 * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_MemoryCopy)->Arg(256)->Unit(benchmark::kMillisecond);

template <void (*Transform)(Voxel*, int, int, int)>
void BM_DistanceTransform(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const std::vector<Voxel>& input = cached_blob(n);
    std::vector<Voxel> grid(input.size());
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(grid.data(), input.data(), input.size() * sizeof(Voxel));
        state.ResumeTiming();
        Transform(grid.data(), n, n, n);
        benchmark::ClobberMemory();
    }
    const double sweeps = 2.0 * static_cast<double>(input.size());
    // Seconds per voxel and sweep (shown with an SI prefix, n = nanoseconds).
    state.counters["per_voxel_sweep"] =
        benchmark::Counter(sweeps, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    // Each sweep reads and writes every 6-byte voxel once.
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sweeps * 12));
}
// The fast transform with its rows scanned the fastest way the processor has.
void fast_transform(Voxel* voxels, int nx, int ny, int nz) { fast_distance_transform(voxels, nx, ny, nz); }

BENCHMARK_TEMPLATE(BM_DistanceTransform, fast_transform)->Arg(128)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_DistanceTransform, direct_distance_transform)->Arg(128)->Arg(256)->Unit(benchmark::kMillisecond);

// Many small random balls: a volume with thousands of ridge candidates.
void load_foam_volume(int n)
{
    app_state_init();
    release_volumes();
    status_reset();
    app.volume_dims[0] = app.volume_dims[1] = app.volume_dims[2] = static_cast<int16_t>(n);
    std::mt19937 rng(11);
    struct Ball {
        double x, y, z, r;
    };
    std::vector<Ball> balls;
    for (int i = 0; i < n * n / 40; ++i)
        balls.push_back(Ball{4.0 + rng() % (n - 8), 4.0 + rng() % (n - 8), 4.0 + rng() % (n - 8), 2.0 + rng() % 5});
    std::vector<double> depth(static_cast<size_t>(n) * n * n, -1e9);
    for (const Ball& b : balls)
        for (int z = std::max(0, int(b.z - b.r - 2)); z <= std::min(n - 1, int(b.z + b.r + 2)); ++z)
            for (int y = std::max(0, int(b.y - b.r - 2)); y <= std::min(n - 1, int(b.y + b.r + 2)); ++y)
                for (int x = std::max(0, int(b.x - b.r - 2)); x <= std::min(n - 1, int(b.x + b.r + 2)); ++x) {
                    double d = b.r - std::sqrt((x - b.x) * (x - b.x) + (y - b.y) * (y - b.y) + (z - b.z) * (z - b.z));
                    double& slot = depth[(static_cast<size_t>(z) * n + y) * n + x];
                    slot = std::max(slot, d);
                }
    app.volumes[0].voxels.reset(new Voxel[depth.size()]);
    for (size_t i = 0; i < depth.size(); ++i) {
        double d = depth[i];
        int16_t v = std::fabs(d) < 1.5 ? static_cast<int16_t>(std::lround(d * DISTANCE_UNITS))
                    : d > 0           ? FAR_DISTANCE
                                      : static_cast<int16_t>(-FAR_DISTANCE);
        app.volumes[0].voxels[i] = Voxel{v, make_colour(1, 2, 3)};
    }
    transform_volume(0);
}

void BM_SphereExtraction(benchmark::State& state)
{
    const int n = 128;
    load_foam_volume(n);
    app.locality = state.range(0) / 100.0;
    SphereExtractionOptions options;
    options.direct_selection = state.range(1) != 0;
    for (auto _ : state) benchmark::DoNotOptimize(extract_volume_spheres(0, options));
    state.counters["spheres"] = app.volumes[0].sphere_count;
    release_volumes();
}
BENCHMARK(BM_SphereExtraction)
    ->ArgNames({"locality_pct", "direct"})
    ->Args({20, 0})
    ->Args({20, 1})
    ->Args({100, 0})
    ->Args({100, 1})
    ->Unit(benchmark::kMillisecond);

// Selection alone on the candidates of the foam volume.
void BM_SphereSelection(benchmark::State& state)
{
    const int n = 128;
    load_foam_volume(n);
    CandidateList list;
    scan_candidates(field_of(app.volumes[0].voxels.get(), app.volume_dims), list);
    const double locality = state.range(0) / 100.0;
    const bool direct = state.range(1) != 0;
    size_t chosen = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (size_t i = 0; i < list.count; ++i) list[i].linked = CANDIDATE_OPEN;
        state.ResumeTiming();
        if (direct) select_spheres_direct(list, locality);
        else select_spheres_grid(list, locality);
    }
    for (size_t i = 0; i < list.count; ++i) chosen += list[i].linked == CANDIDATE_CHOSEN;
    state.counters["candidates"] = static_cast<double>(list.count);
    state.counters["spheres"] = static_cast<double>(chosen);
    release_volumes();
}
BENCHMARK(BM_SphereSelection)
    ->ArgNames({"locality_pct", "direct"})
    ->Args({20, 0})
    ->Args({20, 1})
    ->Args({100, 0})
    ->Args({100, 1})
    ->Unit(benchmark::kMillisecond);

// A few hundred spheres a side, scattered inside the blobs, with manual vectors.
void BM_CorrespondSpheres(benchmark::State& state)
{
    const int n = 64, count = static_cast<int>(state.range(0));
    load_blob_volumes(n, 0.05);
    std::mt19937 rng(7);
    for (int v = 0; v < 2; ++v) {
        app.volumes[v].spheres.clear();
        for (int i = 0; i < count; ++i) {
            int16_t x = static_cast<int16_t>(10 + rng() % 44), y = static_cast<int16_t>(10 + rng() % 44),
                    z = static_cast<int16_t>(10 + rng() % 44);
            int16_t r = static_cast<int16_t>(22 + rng() % 200);
            app.volumes[v].spheres.push_back(Sphere{x, y, z, r, 0});
        }
        app.volumes[v].sphere_shift.assign(count, Vector3{0, 0, 0});
        app.volumes[v].sphere_count = count;
    }
    for (int i = 0; i < static_cast<int>(state.range(1)); ++i)
        app.vectors.push_back(CorrespondenceVector{{20.0 + i, 30, 30}, {22.0 + i, 31, 29}});
    for (auto _ : state) benchmark::DoNotOptimize(link_spheres());
    state.counters["pairs"] = benchmark::Counter(double(count) * count, benchmark::Counter::kIsIterationInvariantRate);
    release_volumes();
}
BENCHMARK(BM_CorrespondSpheres)->ArgNames({"spheres", "vectors"})->Args({300, 0})->Args({300, 4})->Unit(benchmark::kMillisecond);

// One frame's worth of samples on a lattice through the volume at t = 0.37.
void BM_MorphSample(benchmark::State& state)
{
    const int n = 64;
    load_blob_volumes(n, 0.05);
    app.quick_morph = state.range(0) != 0;
    app.locality = 0.3;  // a few dozen spheres a side
    if (!app.quick_morph) {
        extract_volume_spheres(0);
        extract_volume_spheres(1);
    }
    for (int i = 0; i < static_cast<int>(state.range(1)); ++i)
        app.vectors.push_back(CorrespondenceVector{{20.0 + 5 * i, 30, 30}, {22.0 + 5 * i, 31, 29}});
    if (!app.quick_morph) link_spheres();
    int linked = 0;
    for (const Sphere& s : app.volumes[0].spheres) linked += s.linked;
    const MorphInputs inputs = morph_inputs();
    int64_t samples = 0;
    for (auto _ : state) {
        for (double z = 0.5; z < n - 1; z += 2.0)
            for (double y = 0.5; y < n - 1; y += 2.0)
                for (double x = 0.5; x < n - 1; x += 2.0) {
                    uint32_t colour;
                    benchmark::DoNotOptimize(morph_sample(inputs, Vector3{x, y, z}, 0.37, &colour));
                    ++samples;
                }
    }
    // Seconds per sample (shown with an SI prefix, n = nanoseconds).
    state.counters["per_sample"] =
        benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["linked_source_spheres"] = linked;
    release_volumes();
}
BENCHMARK(BM_MorphSample)
    ->ArgNames({"quick", "vectors"})
    ->Args({1, 0})
    ->Args({1, 4})
    ->Args({0, 0})
    ->Args({0, 4})
    ->Unit(benchmark::kMillisecond);

// The layouts of a field's distances: the 6-byte voxels (the reference),
// packed, and in tiles of a byte a voxel (as a large grid keeps them).
enum FieldLayout { VOXELS, PACKED, TILED };
const char* layout_name(int layout)
{
    return layout == VOXELS ? "6-byte voxels (reference)" : layout == PACKED ? "packed" : "tiled";
}
bool split_field(const std::vector<Voxel>& grid, int n, int layout, VolumeField* split, FieldView* field)
{
    const int16_t dims[3] = {int16_t(n), int16_t(n), int16_t(n)};
    if (layout == VOXELS) {
        *field = field_of(grid.data(), dims);
        return true;
    }
    if (!split_voxels(VoxelGrid{const_cast<Voxel*>(grid.data()), n, n, n}, split, false,
                      layout == TILED ? 0 : INT64_MAX))
        return false;
    *field = field_view(*split);
    return true;
}

constexpr int READ_FIELD = 320;  // voxels a side of the field the reads go over

// Times read(field, point) over the points, on the chamfer field of a blob
// in the layout of argument 0; false when the field could not be split.
template <typename Read>
bool time_field_reads(benchmark::State& state, const std::vector<Vector3>& points, const Read& read)
{
    const int layout = static_cast<int>(state.range(0));
    VolumeField split;
    FieldView field;
    if (!split_field(cached_field(READ_FIELD), READ_FIELD, layout, &split, &field)) {
        state.SkipWithError("no memory for the field");
        return false;
    }
    for (auto _ : state) {
        int64_t sum = 0;
        for (const Vector3& p : points) sum += read(field, p);
        benchmark::DoNotOptimize(sum);
    }
    state.counters["per_sample"] = benchmark::Counter(static_cast<double>(points.size()) * state.iterations(),
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    return true;
}

// Distance and colour reads at random points of a large chamfer field, over
// each layout: the same values, from a third and a sixth of the bytes.
void BM_SampleField(benchmark::State& state)
{
    std::mt19937 random(5);
    std::uniform_real_distribution<double> at(1.0, READ_FIELD - 2.0);
    std::vector<Vector3> points(1 << 20);
    for (Vector3& p : points) p = {at(random), at(random), at(random)};
    const bool colours = state.range(1) != 0;
    if (time_field_reads(state, points, [colours](const FieldView& field, const Vector3& p) -> int64_t {
            return colours ? sample_colour(field, p.x, p.y, p.z) : sample_distance(field, p.x, p.y, p.z);
        }))
        state.SetLabel(layout_name(static_cast<int>(state.range(0))));
}

// Distance reads at lattice points (whole voxels along x and z), as the
// depths of a frame's exact values: the trilinear read (the reference) and
// the read along y alone, the same values.
void BM_LatticeDepthRead(benchmark::State& state)
{
    std::mt19937 random(5);
    std::uniform_int_distribution<int> at(1, READ_FIELD - 2);
    std::uniform_real_distribution<double> row(1.0, READ_FIELD - 2.0);
    std::vector<Vector3> points(1 << 20);
    for (Vector3& p : points) p = {double(at(random)), row(random), double(at(random))};
    const bool along_y = state.range(1) != 0;
    if (time_field_reads(state, points, [along_y](const FieldView& field, const Vector3& p) -> int64_t {
            return along_y ? sample_distance_whole_xz(field, p.x, p.y, p.z) : sample_distance(field, p.x, p.y, p.z);
        }))
        state.SetLabel(std::string(layout_name(static_cast<int>(state.range(0)))) +
                       (along_y ? ", along y" : ", trilinear (reference)"));
}
BENCHMARK(BM_LatticeDepthRead)
    ->ArgNames({"layout", "along_y"})
    ->Args({PACKED, 0})
    ->Args({PACKED, 1})
    ->Args({TILED, 0})
    ->Args({TILED, 1})
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_SampleField)
    ->ArgNames({"layout", "colour"})
    ->Args({VOXELS, 0})
    ->Args({PACKED, 0})
    ->Args({TILED, 0})
    ->Args({VOXELS, 1})
    ->Args({PACKED, 1})
    ->Args({TILED, 1})
    ->Unit(benchmark::kMillisecond);

// Times range(first, last) over boxes `side` a side, their corners at random
// from 0 to `most` on every axis.
template <typename Range>
void time_box_ranges(benchmark::State& state, int most, int side, const Range& range)
{
    std::mt19937 random(3);
    std::uniform_int_distribution<int> corner(0, most);
    std::vector<std::array<int, 3>> corners(4096);
    for (auto& c : corners) c = {corner(random), corner(random), corner(random)};
    size_t next = 0;
    for (auto _ : state) {
        const std::array<int, 3>& c = corners[next++ % corners.size()];
        const int last[3] = {c[0] + side - 1, c[1] + side - 1, c[2] + side - 1};
        benchmark::DoNotOptimize(range(c.data(), last));
    }
}

// The least and greatest distance over small boxes of voxels of a chamfer
// field, as the frames' bounds read them: voxel by voxel (the reference),
// packed distances a row at a time, and tiled ones a tile at a time.
// Arguments: the box's side (1 to 8 voxels), the layout.
void BM_VoxelRange(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    const int layout = static_cast<int>(state.range(1));
    const int n = 128;
    VolumeField split;
    FieldView field;
    if (!split_field(cached_field(n), n, layout == VOXELS ? PACKED : layout, &split, &field)) {
        state.SkipWithError("no memory for the field");
        return;
    }
    time_box_ranges(state, n - 1 - side, side, [&](const int* first, const int* last) {
        return layout == VOXELS ? voxel_range_direct(field, first, last) : voxel_range(field, first, last);
    });
    state.SetLabel(layout == VOXELS ? "voxel by voxel (reference)" : layout == PACKED ? "rows of packed distances"
                                                                                      : "tiles of a byte a voxel");
}
BENCHMARK(BM_VoxelRange)
    ->ArgNames({"side", "layout"})
    ->Args({2, VOXELS})
    ->Args({2, PACKED})
    ->Args({2, TILED})
    ->Args({4, VOXELS})
    ->Args({4, PACKED})
    ->Args({4, TILED})
    ->Args({8, VOXELS})
    ->Args({8, PACKED})
    ->Args({8, TILED});

// The same over boxes of blocks of a level of the field's summary, as the
// bounds read boxes too wide to read voxel by voxel: block by block (the
// reference) and rows of blocks. Arguments: the box's side (2 to 8 blocks),
// whether the rows are read whole.
void BM_BlockRange(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    const bool rows = state.range(1) != 0;
    const int n = 128;
    VolumeField split;
    FieldView field;
    if (!split_field(cached_field(n), n, PACKED, &split, &field)) {
        state.SkipWithError("no memory for the field");
        return;
    }
    const FieldSummary summary = summarise_field(field);
    const FieldLevel& level = summary.levels[0];
    time_box_ranges(state, level.blocks[0] - side, side, [&](const int* first, const int* last) {
        return rows ? block_range(level, first, last) : block_range_direct(level, first, last);
    });
    state.SetLabel(rows ? "rows of blocks" : "block by block (reference)");
}
BENCHMARK(BM_BlockRange)->ArgNames({"side", "rows"})->ArgsProduct({{2, 4, 8}, {0, 1}});

}  // namespace

BENCHMARK_MAIN();

