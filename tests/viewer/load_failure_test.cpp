// A load that fails: the status line keeps its short warning, and the
// report for a console names the file and the reason.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/pipeline.h"
#include "viewer/pipeline_menu.h"
#include "app/app_state.h"
#include "app/status.h"
#include "viewer/view_state.h"

using namespace kestrane;

namespace {

std::vector<std::string> warnings;
std::vector<LoadFailure> failures;
void record(StatusKind kind, const char* text)
{
    if (kind == StatusKind::Warning) warnings.push_back(text);
}
void record_failure(const LoadFailure& failure) { failures.push_back(failure); }

std::string example(const char* name) { return std::string(KESTRANE_SOURCE_DIR) + "/examples/" + name; }

const char* FLAT = "OFF\n4 2 0\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n3 0 1 2\n3 0 2 3\n";
// A cube without its face at x = 1: rows along x cross it once.
const char* OPEN =
    "OFF\n8 5 0\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n"
    "4 0 2 3 1\n4 4 5 7 6\n4 0 1 5 4\n4 2 6 7 3\n4 0 4 6 2\n";

class LoadFailureTest : public testing::Test {
protected:
    std::string dir;
    void SetUp() override
    {
        app_state_init();
        release_volumes();
        status_reset();
        status_hooks.report = record;
        warnings.clear();
        failures.clear();
        char pattern[] = "/tmp/kestrane-load-XXXXXX";
        dir = mkdtemp(pattern);
        app.min_points = 12;
    }
    void TearDown() override
    {
        pipeline_hooks.load_failed = nullptr;
        release_volumes();
        status_reset();
        ASSERT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
    }
    std::string file(const char* name, const char* text)
    {
        const std::string path = dir + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
    int load(const std::string& source, const std::string& target)
    {
        app.source_path = source;
        app.target_path = target;
        return viewer_load();
    }
};

TEST_F(LoadFailureTest, TheConsoleLearnsTheFileAndTheReason)
{
    pipeline_hooks.load_failed = record_failure;
    const std::string bad_stl = file("bad.stl", "this is no STL");
    const std::string flat = file("flat.off", FLAT);
    const std::string open = file("open.off", OPEN);
    const std::string missing = dir + "/missing.off";
    struct Case {
        std::string source, target;
        bool plain;
        const char* warning;
        std::string detail;  // the start of it
    } cases[] = {
        {example("icosphere.off"), missing, false, "Not able to open target input file",
         "`" + missing + "' cannot be opened: No such file or directory"},
        {bad_stl, example("torus.off"), false, "Couldn't understand file formats",
         "`" + bad_stl + "' could not be read as STL: "},
        {example("cube.stl"), flat, false, "Couldn't understand file formats",
         "`" + flat + "' has no thickness"},
        {open, example("torus.off"), true, "Couldn't scan convert source data", "`" + open + "' is not closed"},
    };
    for (const Case& c : cases) {
        failures.clear();
        app.antialias = !c.plain;
        EXPECT_EQ(load(c.source, c.target), PIPELINE_LOAD_FAILED) << c.detail;
        ASSERT_EQ(failures.size(), 1u) << c.detail;
        EXPECT_STREQ(failures[0].warning, c.warning);
        EXPECT_EQ(failures[0].detail.substr(0, c.detail.size()), c.detail);
        EXPECT_EQ(view.mode, MODE_NOTHING_LOADED);
        EXPECT_FALSE(app.volumes[0].voxels || app.volumes[1].voxels);
    }
    EXPECT_TRUE(warnings.empty());  // the hook reported instead of the status line
}

TEST_F(LoadFailureTest, WithoutAHookTheStatusLineWarnsAsBefore)
{
    EXPECT_EQ(load(example("cube.stl"), file("flat.off", FLAT)), PIPELINE_LOAD_FAILED);
    EXPECT_EQ(warnings, std::vector<std::string>{"Couldn't understand file formats"});
    EXPECT_EQ(status_line.status_state, STATUS_WARNING);
    // Keeping each surface's own size, the flat file is morphed.
    app.scale_centres = app.scale_sizes = false;
    app.quick_morph = true;
    EXPECT_EQ(load(example("cube.stl"), dir + "/flat.off"), PIPELINE_DONE);
}

}  // namespace
