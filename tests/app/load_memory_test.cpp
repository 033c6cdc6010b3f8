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
#include "surface/frame_values.h"
#include "surface/lattice_walk.h"

using namespace kestrane;

namespace {

TEST(LoadMemory, CountsBothVolumesAndTheLargestWorkingSet)
{
    // A thin slab: the grids dominate. Both volumes (6 bytes a voxel each)
    // and the conversion's temporary and tie-break grids (6 + 2) are held
    // at once: at least 20 bytes a voxel, about 19.6 GB here, where a check
    // of each grid alone saw 5.9 GB.
    const int16_t slab[3] = {6837, 6837, 21};
    const int64_t voxels = int64_t{6837} * 6837 * 21;
    EXPECT_GE(load_memory_bytes(slab, true, 1), 20 * voxels);
    EXPECT_GE(load_memory_bytes(slab, false, 1), 18 * voxels);

    // Three voxels thick: a frame's values and slice buffer outweigh the
    // grids, and every worker thread holds them.
    const int16_t sheet[3] = {2000, 2000, 3};
    const int64_t one = load_memory_bytes(sheet, true, 1);
    EXPECT_GT(one, 20 * int64_t{2000} * 2000 * 3);
    const int64_t per_thread = load_memory_bytes(sheet, true, 2) - one;
    EXPECT_EQ(load_memory_bytes(sheet, true, 4) - one, 3 * per_thread);
    EXPECT_EQ(per_thread, lattice_walk_working_bytes(2001, 2829, 4) + frame_values_working_bytes(2001, 2829, 4));
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
