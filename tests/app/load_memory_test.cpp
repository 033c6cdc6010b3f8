// The memory a load will hold, counted before anything is allocated, and
// the budget it must fit in.
#include "morph/load_memory.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/pipeline.h"
#include "app/app_state.h"
#include "app/status.h"
#include "base/records.h"
#include "morph/morph_state.h"
#include "surface/frame_values.h"
#include "surface/lattice_walk.h"

using namespace kestrane;

namespace {

LoadLayout layout_of(int16_t nx, int16_t ny, int16_t nz, bool antialias, int threads)
{
    LoadLayout layout;
    layout.dims[0] = nx, layout.dims[1] = ny, layout.dims[2] = nz;
    layout.antialias = antialias;
    layout.threads = threads;
    return layout;
}

TEST(LoadMemory, CountsBothVolumesAndTheLargestWorkingSet)
{
    // A thin slab: the grids dominate. Both volumes (6 bytes a voxel each)
    // and the conversion's grid for later objects and its marks (6 + 2 and
    // a bit) are held at once: at least 20 bytes a voxel, about 19.6 GB
    // here, where a check of each grid alone saw 5.9 GB.
    const int64_t voxels = int64_t{6837} * 6837 * 21;
    EXPECT_GE(load_memory_bytes(layout_of(6837, 6837, 21, true, 1)), 20 * voxels);
    EXPECT_GE(load_memory_bytes(layout_of(6837, 6837, 21, false, 1)), 18 * voxels);

    // Three voxels thick: a frame's values and slice buffer outweigh the
    // grids, and every frame built side by side holds them.
    LoadLayout sheet = layout_of(2000, 2000, 3, true, 1);
    const int64_t one = load_memory_bytes(sheet);
    EXPECT_GT(one, 20 * int64_t{2000} * 2000 * 3);
    sheet.frames_at_once = 2;
    const int64_t per_frame = load_memory_bytes(sheet) - one;
    sheet.frames_at_once = 4;
    EXPECT_EQ(load_memory_bytes(sheet) - one, 3 * per_frame);
    EXPECT_EQ(per_frame, lattice_walk_working_bytes(2001, 2829, 4) + frame_values_working_bytes(2001, 2829, 4));
}

// What each way of loading holds: a single object needs no second grid;
// sides in turn hold one side's voxels beside the other's field; a
// one-coloured field holds colours only in its outer tiles. Each is less
// than the layout before it, and the 1024-point morph of the corpus'
// armadillo to bunny00, which peaked at 15.6 GB as its target was
// converted, is counted above that.
TEST(LoadMemory, EachLayoutCountsWhatItHolds)
{
    const int16_t dims[3] = {1269, 1347, 1029};
    const int64_t voxels = int64_t{1269} * 1347 * 1029;
    LoadLayout layout = layout_of(dims[0], dims[1], dims[2], true, 2);
    const int64_t together = load_memory_bytes(layout);
    layout.several_objects[0] = layout.several_objects[1] = false;
    const int64_t single = load_memory_bytes(layout);
    EXPECT_EQ(together - single, 2 * voxels * int64_t(sizeof(Voxel)));
    layout.in_turn = true;
    const int64_t in_turn = load_memory_bytes(layout);
    EXPECT_LT(in_turn, single);
    // One side's voxels beside the other's field, both worst-case coloured.
    EXPECT_GE(in_turn, voxels * int64_t(sizeof(Voxel)) + field_memory_bytes(dims, false));
    layout.one_colour[0] = layout.one_colour[1] = true;
    const int64_t plain = load_memory_bytes(layout);
    EXPECT_LT(plain, in_turn);
    EXPECT_GT(plain, int64_t{15600} * 1000 * 1000);
    // Distances in tiles of a byte a voxel; colours in tiles, each its own
    // at worst.
    EXPECT_LT(field_memory_bytes(dims, true), voxels * 14 / 10);
    EXPECT_GE(field_memory_bytes(dims, false), voxels * 5);
}

// Frames are built side by side only as far as memory allows.
TEST(LoadMemory, FramesSideBySideOnlyAsFarAsTheyFit)
{
    MorphState small;
    small.volume_dims[0] = small.volume_dims[1] = small.volume_dims[2] = 60;
    EXPECT_EQ(frames_that_fit(small, 4), 4);
    EXPECT_EQ(frames_that_fit(small, 0), 1);
    MorphState slab;
    slab.volume_dims[0] = slab.volume_dims[1] = 13669;
    slab.volume_dims[2] = 25;
    EXPECT_EQ(frames_that_fit(slab, 2), 1);
    // The count kept is the largest that fits.
    const int n = frames_that_fit(small, 64);
    EXPECT_LE(load_memory_bytes(load_layout(small, n)), load_memory_budget());
}

TEST(LoadMemory, TheBudgetHonoursTheAddressSpaceLimit)
{
    const int64_t budget = load_memory_budget();
    EXPECT_GT(budget, int64_t{100} << 20);
    // In a child: ulimit -v of 1 GB more than the child maps now.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::FILE* statm = std::fopen("/proc/self/statm", "r");
        long pages = 0;
        if (!statm || std::fscanf(statm, "%ld", &pages) != 1) std::_Exit(2);
        std::fclose(statm);
        const int64_t mapped = static_cast<int64_t>(pages) * sysconf(_SC_PAGE_SIZE);
        rlimit limit;
        limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(mapped + (int64_t{1} << 30));
        if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(3);
        const int64_t limited = load_memory_budget();
        std::_Exit(limited <= (int64_t{1} << 30) && limited > (int64_t{1} << 29) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit " << WEXITSTATUS(status);
}

TEST(LoadMemory, ALoadThatDoesNotFitIsRefusedBeforeAllocating)
{
    // A slab 22 000 voxels wide: hundreds of gigabytes.
    char pattern[] = "/tmp/kestrane-slab-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string slab = dir + "/slab.off";
    std::FILE* f = std::fopen(slab.c_str(), "w");
    ASSERT_TRUE(f);
    std::fputs("OFF 8 6 0\n0 0 0\n1100 0 0\n0 1100 0\n1100 1100 0\n0 0 1\n1100 0 1\n0 1100 1\n1100 1100 1\n"
               "4 0 2 3 1\n4 4 5 7 6\n4 0 1 5 4\n4 2 6 7 3\n4 0 4 6 2\n4 1 3 7 5\n",
               f);
    std::fclose(f);
    app_state_init();
    status_reset();
    static std::vector<std::string> warnings;
    warnings.clear();
    status_hooks.report = [](StatusKind kind, const char* text) {
        if (kind == StatusKind::Warning) warnings.push_back(text);
    };
    app.source_path = app.target_path = slab;
    EXPECT_EQ(run_pipeline(), PIPELINE_LOAD_FAILED);
    EXPECT_EQ(warnings, std::vector<std::string>{"Not enough memory for source data"});
    EXPECT_FALSE(app.volumes[0].voxels);
    EXPECT_FALSE(app.volumes[1].voxels);
    // Points enough for counts beyond 16 bits (as -p and Points: allow):
    // the same message.
    warnings.clear();
    app.min_points = 500;
    EXPECT_EQ(run_pipeline(), PIPELINE_LOAD_FAILED);
    EXPECT_EQ(warnings, std::vector<std::string>{"Not enough memory for source data"});
    status_reset();
    std::remove(slab.c_str());
    rmdir(dir.c_str());
}

}  // namespace
