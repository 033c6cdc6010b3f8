#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "viewer/menu_entries.h"
#include "app/pipeline.h"
#include "viewer/pipeline_menu.h"
#include "app/app_state.h"
#include "base/lattice_geometry.h"
#include "app/status.h"
#include "viewer/view_state.h"

using namespace kestrane;

namespace {

std::vector<std::string> warnings;
std::vector<std::string> calls;

void record(StatusKind kind, const char* text)
{
    if (kind == StatusKind::Warning) warnings.push_back(text);
}

// No file names are set, so the pipeline never runs: only the rules act.
class MenuEntries : public testing::Test {
protected:
    void SetUp() override
    {
        app_state_init();
        view.mode = MODE_MANUAL;
        status_reset();
        status_hooks.report = record;
        warnings.clear();
        calls.clear();
        menu_hooks.set_shade_model = [](bool smooth) { calls.push_back(smooth ? "smooth" : "flat"); };
        menu_hooks.rebuild_vector_list = [] { calls.push_back("vectors"); };
        menu_hooks.rebuild_link_list = [](LinkRequest r) { calls.push_back("links " + std::to_string(r)); };
        menu_hooks.rebuild_sphere_lists = [] { calls.push_back("spheres"); };
        menu_hooks.restart_sequence = [] { calls.push_back("sequence"); };
    }
    void TearDown() override
    {
        status_reset();
        menu_hooks = MenuHooks{};
    }
};

using Strings = std::vector<std::string>;

TEST_F(MenuEntries, FormatTogglesShareTheirField)
{
    // Each pair of toggles is one field: switching one on switches the other off.
    struct Step {
        void (*apply)(const char*);
        int output_format, dump_format;
    } steps[] = {{apply_as_vrml, 2, 0}, {apply_as_oogl, 1, 0}, {apply_as_ply, 3, 0}, {apply_as_vrml, 2, 0},
                 {apply_as_ply, 3, 0},  {apply_as_ply, 0, 0},  {apply_as_oogl, 1, 0}, {apply_as_oogl, 0, 0},
                 {apply_as_ppm, 0, 1},  {apply_as_bmp, 0, 2},  {apply_as_bmp, 0, 0}};
    for (const Step& step : steps) {
        step.apply("0");
        EXPECT_EQ(app.output_format, step.output_format);
        EXPECT_EQ(view.dump_format, step.dump_format);
        EXPECT_STREQ(render_as_oogl(), app.output_format == 1 ? "1" : "0");
        EXPECT_STREQ(render_as_vrml(), app.output_format == 2 ? "1" : "0");
        EXPECT_STREQ(render_as_ply(), app.output_format == 3 ? "1" : "0");
        EXPECT_STREQ(render_as_ppm(), view.dump_format == 1 ? "1" : "0");
        EXPECT_STREQ(render_as_bmp(), view.dump_format == 2 ? "1" : "0");
    }
    EXPECT_TRUE(warnings.empty());
}

// Several formats from --format show as several toggles on; any click then
// leaves one format or none. The glTF toggle stands beside them.
TEST_F(MenuEntries, SeveralFormatsAndTheGltfChoice)
{
    app.output_format = SURFACE_FORMAT_PLY;
    app.more_formats = {SURFACE_FORMAT_OBJ, SURFACE_FORMAT_STL};
    EXPECT_EQ(Strings({render_as_ply(), render_as_obj(), render_as_stl(), render_as_oogl()}),
              (Strings{"1", "1", "1", "0"}));
    apply_as_stl("0");  // on: output off
    EXPECT_EQ(Strings({render_as_ply(), render_as_obj(), render_as_stl()}), (Strings{"0", "0", "0"}));
    apply_as_obj("0");
    EXPECT_EQ(Strings({render_as_ply(), render_as_obj(), render_as_stl()}), (Strings{"0", "1", "0"}));
    app.more_formats = {SURFACE_FORMAT_STL};
    apply_as_ply("0");  // off: the one format
    EXPECT_EQ(Strings({render_as_ply(), render_as_obj(), render_as_stl()}), (Strings{"1", "0", "0"}));

    EXPECT_STREQ(render_as_gltf(), "0");
    apply_as_gltf("0");
    EXPECT_STREQ(render_as_gltf(), "1");
    EXPECT_STREQ(render_as_ply(), "1");
    EXPECT_EQ(warnings, Strings{"File will be written during morph creation"});
    apply_as_gltf("0");
    EXPECT_STREQ(render_as_gltf(), "0");
    // An emptied base name switches every frame format off for good.
    app.more_formats = {SURFACE_FORMAT_STL};
    apply_base_name("");
    apply_base_name("m");
    EXPECT_EQ(Strings({render_as_oogl(), render_as_stl()}), (Strings{"1", "0"}));
}

TEST_F(MenuEntries, BaseNameSwitchesFrameOutput)
{
    app.output_format = SURFACE_FORMAT_VRML;
    apply_base_name("morph");
    EXPECT_EQ(app.output_format, 2);  // VRML kept
    apply_base_name("");
    EXPECT_EQ(app.output_format, 0);
    EXPECT_EQ(app.output_base, "");
    apply_base_name("frames");
    EXPECT_EQ(app.output_format, 1);
    EXPECT_STREQ(render_base_name(), "frames");
    EXPECT_EQ(warnings, (Strings{"File will be written during morph creation",
                                 "File will be written during morph creation"}));
}

TEST_F(MenuEntries, DisplayTogglesWarnOutsideTheirMode)
{
    view.mode = MODE_MANUAL;
    bool shadow = view.show_shadow;
    apply_shadow("0");
    EXPECT_NE(view.show_shadow, shadow);
    apply_spheres("0");
    EXPECT_TRUE(view.show_spheres);
    EXPECT_STREQ(render_spheres(), "1");
    view.mode = MODE_AUTOMATIC;
    apply_spheres("0");
    view.mode = MODE_SEQUENCE;
    apply_shadow("0");
    EXPECT_EQ(warnings, (Strings{"This only affects morph sequence",
                                 "This only affects automatic correspondence display"}));
    apply_smooth("0");
    apply_smooth("0");
    EXPECT_EQ(calls, (Strings{"flat", "smooth"}));
}

TEST_F(MenuEntries, ScaleTogglesKeepFlagsConsistent)
{
    app.transform[12] = 5.0;
    apply_sizes("0");  // sizes off, centres stay
    EXPECT_TRUE(app.scale_centres);
    EXPECT_FALSE(app.scale_sizes);
    EXPECT_EQ(app.transform[12], 0.0);
    apply_centres("0");
    EXPECT_FALSE(app.scale_centres);
    apply_sizes("0");  // both on again
    EXPECT_TRUE(app.scale_centres);
    EXPECT_TRUE(app.scale_sizes);
    apply_centres("0");  // both off
    EXPECT_STREQ(render_centres(), "0");
    EXPECT_STREQ(render_sizes(), "0");
}

// Each field repairs what it is given and shows the value it keeps.
TEST_F(MenuEntries, FieldsRepairTheirRangeAndShowTheirValue)
{
    const char* identity = "1.00,0.00,0.00,0.00,0.00,1.00,0.00,0.00,0.00,0.00,1.00,0.00,0.00,0.00,0.00,1.00";
    EXPECT_STREQ(render_transform(), identity);
    EXPECT_STREQ(render_alias(), "1.10");
    EXPECT_STREQ(render_background(), "0.0,0.0,0.0");
    view.mode = MODE_NOTHING_LOADED;  // nothing loaded: no rebuilds
    view.dump_base = "shot";
    struct Step {
        void (*apply)(const char*);
        const char* text;
        const char* (*render)();
        const char* shown;
        const char* warning;  // or nullptr
    } steps[] = {
        {apply_points, "-3", render_points, "500", "Must be at most 500 points"},
        {apply_frames, "1", render_frames, "10", "Must have at least 2 frames"},
        {apply_frames, "101", render_frames, "100", "Must be at most 100 frames"},
        {apply_frames, "abc", render_frames, "10", "Must have at least 2 frames"},  // not a number reads as 0
        {apply_frames, "2", render_frames, "2", nullptr},
        {apply_res, "1", render_res, "1", nullptr},
        {apply_res, "0", render_res, "1", "Minimum triangle to volume resolution is 1"},
        {apply_res, "9", render_res, "8", "Maximum triangle to volume resolution is 8"},
        {apply_res, "-1", render_res, "8", "Maximum triangle to volume resolution is 8"},  // wraps to 65535
        {apply_alias, "1", render_alias, "0.0", "Less than 1.1 - antialiasing disabled"},
        {apply_alias, "2.5", render_alias, "2.50", nullptr},
        {apply_alias, "25", render_alias, "10.00", "Maximum antialiasing distance is 10.0"},
        // Blanks before a number are skipped; blanks between values are no separator.
        {apply_background, "0.5, 0.5, 0.5", render_background, "0.5,0.5,0.5", nullptr},
        {apply_background, "0.5 0.5 0.5", render_background, "0.0,0.0,0.0", "Background is input as R,G,B"},
        {apply_background, "0.2,0.4,0.6", render_background, "0.2,0.4,0.6", nullptr},
        {apply_background, "0.2,1.5,0.6", render_background, "0.0,0.0,0.0", "RGB values must be between 0.0 and 1.0"},
        {apply_background, "nan,0,0", render_background, "0.0,0.0,0.0", "RGB values must be between 0.0 and 1.0"},
        {apply_file_name, "", render_file_name, "shot", "Name must contain some characters"},
        {apply_file_name, "frame", render_file_name, "frame", "Use space bar to toggle screen dump"},
        {apply_transform, "2,0,0,0,0,2,0,0,0,0,2,0,1.5,0,0,1", render_transform,
         "2.00,0.00,0.00,0.00,0.00,2.00,0.00,0.00,0.00,0.00,2.00,0.00,1.50,0.00,0.00,1.00", nullptr},
        {apply_transform, "1,0,0,0,0,1,0,0,0,0,1,0,0,0,0", render_transform, identity,  // 15 values
         "Must have 16 comma separated entries"},
    };
    for (const Step& step : steps) {
        warnings.clear();
        step.apply(step.text);
        EXPECT_STREQ(step.render(), step.shown) << step.text;
        EXPECT_EQ(warnings, step.warning ? Strings{step.warning} : Strings{}) << step.text;
    }
    EXPECT_TRUE(calls.empty());
}

TEST_F(MenuEntries, ChangesRebuildWhatDependsOnThem)
{
    // A repaired transform turns both scale flags back on.
    app.scale_centres = app.scale_sizes = false;
    apply_transform("1,0,0");
    EXPECT_TRUE(app.scale_centres);
    EXPECT_TRUE(app.scale_sizes);
    // Without files nothing reloads at a new resolution.
    apply_res("2");
    EXPECT_EQ(app.resolution, 2);
    EXPECT_TRUE(calls.empty());
    view.mode = MODE_SEQUENCE;
    apply_frames("30");
    EXPECT_EQ(calls, (Strings{"sequence"}));
}

// Res: loads the files again with the grid a load at that resolution sizes,
// keeps the vectors where they were on the surfaces and the mode reached.
TEST_F(MenuEntries, ResolutionReloadsKeepingTheVectorsAndTheMode)
{
    app.source_path = KESTRANE_SOURCE_DIR "/examples/icosphere.off";
    app.target_path = KESTRANE_SOURCE_DIR "/examples/torus.off";
    app.min_points = 12;
    ASSERT_EQ(viewer_load(), PIPELINE_DONE);
    const int16_t dims[3] = {app.volume_dims[0], app.volume_dims[1], app.volume_dims[2]};
    app.vectors.push_back({{10, 11, 12}, {13, 14, 15}});
    view.mode = MODE_SEQUENCE;
    apply_res("3");
    EXPECT_EQ(view.mode, MODE_SEQUENCE);
    // Two more resolution steps of margin: six more voxels on every axis.
    for (int a = 0; a < 3; ++a) EXPECT_EQ(app.volume_dims[a], dims[a] + 6) << a;
    int counts[3], volume[3] = {app.volume_dims[0], app.volume_dims[1], app.volume_dims[2]};
    ASSERT_TRUE(lattice_counts(volume, 3, counts));
    for (int a = 0; a < 3; ++a) EXPECT_EQ(app.sample_grid_dims[a], counts[a]) << a;
    ASSERT_EQ(app.vectors.size(), 1u);
    EXPECT_DOUBLE_EQ(app.vectors[0].start[0], 13);
    EXPECT_DOUBLE_EQ(app.vectors[0].end[2], 18);
    EXPECT_EQ(calls, (Strings{"vectors", "links 1", "spheres", "sequence"}));
    release_volumes();
}

TEST_F(MenuEntries, UnreadableSourceKeepsTheOldName)
{
    app.source_path = "keep.off";
    apply_source("/nonexistent/dir/x.off");
    EXPECT_EQ(app.source_path, "keep.off");
    apply_target("/nonexistent/dir/y.off");
    EXPECT_EQ(warnings, (Strings{"Not able to open source input file", "Not able to open target input file"}));
    apply_source(KESTRANE_SOURCE_DIR "/examples/box.off");  // target empty: no load
    EXPECT_STREQ(render_source(), KESTRANE_SOURCE_DIR "/examples/box.off");
}

}  // namespace
