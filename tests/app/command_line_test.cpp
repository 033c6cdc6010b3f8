#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "app/frame_formats.h"

using namespace kestrane;

namespace {

struct Parsed {
    int result;
    std::string err;
};

Parsed parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "kestrane");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStderr();
    int result = parse_command_line(static_cast<int>(args.size()), argv.data());
    return {result, testing::internal::GetCapturedStderr()};
}

const std::string USAGE =
    "  Usage: kestrane [-o filename] [-f frames] [-p points] [-r resolution] [-c]\n"
    "         [-z] [-a distance] [-q] [-v] [-h] initial_file final_file\n"
    "  Use `kestrane -h' to display further help.\n";

TEST(CommandLine, NoArgumentsKeepsDefaults)
{
    Parsed p = parse({});
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.err, "");
    EXPECT_EQ(app.output_base, "morph");
    EXPECT_EQ(app.output_format, 0);
    EXPECT_EQ(app.frame_count, 20);
    EXPECT_EQ(app.min_points, 20);
    EXPECT_EQ(app.resolution, 1);
    EXPECT_TRUE(app.antialias);
    EXPECT_DOUBLE_EQ(app.antialias_distance, 1.1);
    EXPECT_TRUE(app.scale_centres && app.scale_sizes);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(app.transform[i], i % 5 == 0 ? 1.0 : 0.0);
}

TEST(CommandLine, OptionsAndFilesAreStored)
{
    Parsed p = parse({"-o", "out/m", "-F", "500", "-p", "1000", "-r", "3", "-q", "a.off", "b.off"});
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(app.output_base, "out/m");
    EXPECT_EQ(app.output_format, 1);
    EXPECT_EQ(app.frame_count, 500);  // no upper limit on the command line
    EXPECT_EQ(app.min_points, 1000);
    EXPECT_EQ(app.resolution, 3);
    EXPECT_TRUE(app.quick_morph);
    EXPECT_EQ(app.source_path, "a.off");
    EXPECT_EQ(app.target_path, "b.off");
}

TEST(CommandLine, LaterOptionsOverrideEarlierOnes)
{
    parse({"-c", "-z"});
    EXPECT_FALSE(app.scale_centres || app.scale_sizes);
    parse({"-z", "-c"});
    EXPECT_TRUE(app.scale_centres);
    EXPECT_FALSE(app.scale_sizes);
    parse({"-o", "name", "-v"});
    EXPECT_EQ(app.output_format, 2);
    EXPECT_EQ(app.output_base, "name");
}

TEST(CommandLine, AFormatBeforeTheOutputBaseStands)
{
    parse({"-u", "-o", "name"});
    EXPECT_EQ(app.output_format, SURFACE_FORMAT_PLY);
    parse({"-v", "-o", "name"});
    EXPECT_EQ(app.output_format, SURFACE_FORMAT_VRML);
    parse({"-o", "name"});
    EXPECT_EQ(app.output_format, SURFACE_FORMAT_OOGL);
}

// --format names several frame formats; like -u and -v the last choice
// stands, and the sphere files follow the frames into the base's folder.
TEST(CommandLine, FormatListsAndTheFilesTheyName)
{
    using Formats = std::vector<SurfaceFormat>;
    ASSERT_EQ(parse({"--format", "PLY,obj,stl,obj", "-f", "20", "-o", "out/m", "a", "b"}).result, 0);
    EXPECT_EQ(frame_formats(), (Formats{SURFACE_FORMAT_PLY, SURFACE_FORMAT_OBJ, SURFACE_FORMAT_STL}));
    EXPECT_EQ(frame_file_names(0), (std::vector<std::string>{"out/m001.ply", "out/m01.obj", "out/m01.stl"}));
    EXPECT_EQ(sphere_file_names(1), std::vector<std::string>{"out/sphere020.sph"});
    EXPECT_TRUE(writes_frames_as(SURFACE_FORMAT_STL));
    EXPECT_FALSE(writes_frames_as(SURFACE_FORMAT_OOGL));

    ASSERT_EQ(parse({"-o", "m", "--format", "wrl,off"}).result, 0);
    EXPECT_EQ(sphere_file_names(0), (std::vector<std::string>{"sphere001.wrl", "sphere001.sph"}));
    parse({"--format", "obj,stl", "-u"});
    EXPECT_EQ(frame_formats(), Formats{SURFACE_FORMAT_PLY});
    parse({"-v", "--format", "stl"});
    EXPECT_EQ(frame_formats(), Formats{SURFACE_FORMAT_STL});
    parse({"--format", "stl"});  // without -o as -u without -o
    EXPECT_EQ(app.output_format, SURFACE_FORMAT_STL);
    parse({"-o", "m"});
    EXPECT_TRUE(app.more_formats.empty());
    EXPECT_EQ(frame_formats(), Formats{SURFACE_FORMAT_OOGL});

    for (const char* bad : {"", "ply,", ",obj", "ply,,obj", "glb", "ply obj"}) {
        const Parsed p = parse({"--format", bad, "-o", "m"});
        EXPECT_EQ(p.result, 1) << bad;
        EXPECT_EQ(p.err, "Illegal argument `" + std::string(bad) + "' for parameter `--format'.\n" + USAGE);
    }
    EXPECT_EQ(parse({"--format"}).err, "Illegal argument `(null)' for parameter `--format'.\n" + USAGE);
}

TEST(CommandLine, AntialiasValues)
{
    parse({"-a", "1"});
    EXPECT_FALSE(app.antialias);
    EXPECT_EQ(app.antialias_distance, 0.0);
    parse({"-a", "0.5"});
    EXPECT_FALSE(app.antialias);
    parse({"-a", "20"});
    EXPECT_TRUE(app.antialias);
    EXPECT_EQ(app.antialias_distance, 20.0);
}

TEST(CommandLine, IllegalValuesNameArgumentAndParameter)
{
    Parsed p = parse({"-f", "1"});
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.err, "Illegal argument `1' for parameter `-f'.\n" + USAGE);

    p = parse({"-p", "9"});
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.err, "Illegal argument `9' for parameter `-p'.\n" + USAGE);

    p = parse({"-f", "many"});  // not a number reads as 0
    EXPECT_EQ(p.result, 1);

    p = parse({"a.off", "-o"});
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.err, "Illegal argument `(null)' for parameter `-o'.\n" + USAGE);

    p = parse({"-o", ""});
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.err, "Illegal argument `' for parameter `-o'.\n" + USAGE);

    p = parse({"-q", ""});  // an empty file name
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.err, "Illegal argument `' for parameter `-q'.\n" + USAGE);
}

TEST(CommandLine, VoxelSizeIsAFiniteLengthAboveZero)
{
    EXPECT_EQ(parse({"-d", "0.25", "a.off", "b.off"}).result, 0);
    EXPECT_DOUBLE_EQ(app.voxel_size, 0.25);
    EXPECT_EQ(parse({"-D", "2e-3"}).result, 0);
    EXPECT_DOUBLE_EQ(app.voxel_size, 0.002);
    for (const char* bad : {"0", "-1", "nan", "inf", "1e999", "0.5mm", ""}) {
        const Parsed p = parse({"-d", bad});
        EXPECT_EQ(p.result, 1) << bad;
        EXPECT_EQ(p.err, std::string("Illegal argument `") + bad + "' for parameter `-d'.\n" + USAGE) << bad;
    }
}

TEST(CommandLine, ValuesThatWrapIn16BitsAreIllegal)
{
    // 65536 frames would be stored as 0 and divide by zero later.
    EXPECT_EQ(parse({"-f", "65536"}).result, 1);
    EXPECT_EQ(parse({"-f", "65537"}).result, 1);
    EXPECT_EQ(parse({"-p", "65545"}).result, 1);
}

TEST(CommandLine, ValuesBeyondWhatTheRecordHoldsAreRefusedNotWrapped)
{
    // Each would wrap to a legal value in 16 bits (or in an int, for -j):
    // 70000 frames to 4464, 65556 points to 20, 2^32 + 2 threads to 2.
    for (const auto& [option, value] : std::vector<std::pair<std::string, std::string>>{
             {"-f", "70000"}, {"-f", "1000000"}, {"-p", "65556"}, {"-r", "65536"}, {"-r", "-40000"},
             {"-j", "4294967298"}, {"-j", "257"}, {"-j", "99999999999999999999"}, {"-F", "65538"}}) {
        Parsed p = parse({option, value, "a.off", "b.off"});
        EXPECT_EQ(p.result, 1) << option << " " << value;
        EXPECT_EQ(p.err, "Illegal argument `" + value + "' for parameter `" + option + "'.\n" + USAGE);
        EXPECT_EQ(app.frame_count, 20);
        EXPECT_EQ(app.min_points, 20);
        EXPECT_EQ(app.resolution, 1);
    }
}

TEST(CommandLine, ValuesWithinSixteenBitsReadAsBefore)
{
    Parsed p = parse({"-f", "65535", "-p", "65535", "-j", "256"});
    EXPECT_EQ(p.result, 0) << p.err;
    EXPECT_EQ(app.frame_count, 65535);
    EXPECT_EQ(app.min_points, 65535);
    EXPECT_EQ(app.threads, 256);
    // Read as atoi reads: blanks before, anything after the digits ignored.
    EXPECT_EQ(parse({"-f", " 7", "-p", "12x", "-j", "3 threads"}).result, 0);
    EXPECT_EQ(app.frame_count, 7);
    EXPECT_EQ(app.min_points, 12);
    EXPECT_EQ(app.threads, 3);
    // A large resolution in 16 bits meets the upper bound instead of wrapping below it.
    for (const char* r : {"40000", "65535", "32768"}) {
        EXPECT_EQ(parse({"-r", r}).result, 0);
        EXPECT_EQ(app.resolution, 8) << r;
    }
    EXPECT_EQ(parse({"-j", "0"}).result, 1);
}

TEST(CommandLine, TransformMustBeFiniteAndInvertible)
{
    const std::string illegal = "Illegal argument `%' for parameter `-t'.\n" + USAGE;
    for (const std::string t : {"nan,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1", "1,0,0,0,0,1,0,0,0,0,1,0,inf,0,0,1",
                                "1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,-Inf", "1,0,0,0,0,1,0,0,0,0,0,0,0,0,0,1",
                                "1,2,3,0,2,4,6,0,0,0,1,0,0,0,0,1",  // two columns in line
                                "1e200,0,0,0,0,1e200,0,0,0,0,1e200,0,0,0,0,1"}) {  // a determinant beyond double
        Parsed p = parse({"-t", t, "a.off", "b.off"});
        EXPECT_EQ(p.result, 1) << t;
        std::string expected = illegal;
        expected.replace(expected.find('%'), 1, t);
        EXPECT_EQ(p.err, expected);
    }
    // Turned, mirrored, shrunk a long way or moved far: all invertible.
    for (const std::string t : {"0,1,0,0,-1,0,0,0,0,0,1,0,5,6,7,1", "-1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1",
                                "1e-5,0,0,0,0,1e-5,0,0,0,0,1e-5,0,0,0,0,1", "1,0,0,0,0,1,0,0,0,0,1,0,1e30,0,0,1"})
        EXPECT_EQ(parse({"-t", t}).result, 0) << t;
}

TEST(CommandLine, ResolutionIsBroughtIntoRange)
{
    parse({"-r", "0"});
    EXPECT_EQ(app.resolution, 1);
    parse({"-r", "-4"});
    EXPECT_EQ(app.resolution, 1);
    parse({"-r", "12"});
    EXPECT_EQ(app.resolution, 8);
}

TEST(CommandLine, OverlongPathsAreIllegal)
{
    std::string longname(PATH_CAPACITY, 'x');  // one character too many
    Parsed p = parse({longname});
    EXPECT_EQ(p.result, 1);
    EXPECT_TRUE(app.source_path.empty());
    p = parse({"-o", longname});
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(app.output_base, "morph");
    std::string fits(PATH_CAPACITY - 1, 'y');
    EXPECT_EQ(parse({fits}).result, 0);
    EXPECT_EQ(app.source_path, fits);
}

TEST(CommandLine, UnknownOptionsAndSurplusFiles)
{
    Parsed p = parse({"-x"});
    EXPECT_EQ(p.result, 2);
    EXPECT_EQ(p.err, "Unknown input parameter `-x'.\n" + USAGE);

    p = parse({"-"});
    EXPECT_EQ(p.result, 2);
    EXPECT_EQ(p.err, "Unknown input parameter `-'.\n" + USAGE);

    p = parse({"a", "b", "c"});
    EXPECT_EQ(p.result, 2);
    EXPECT_EQ(p.err, "Unknown string input `c'.\n" + USAGE);
}

TEST(CommandLine, TransformNeedsSixteenValues)
{
    Parsed p = parse({"-t", "1,0,0,0,0,1,0,0,0,0,1,0,1,2,3,1"});
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(app.transform[12], 1.0);
    EXPECT_EQ(app.transform[14], 3.0);
    EXPECT_FALSE(app.scale_centres || app.scale_sizes);
    p = parse({"-t", "1,2,3"});
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.err, "Illegal argument `1,2,3' for parameter `-t'.\n" + USAGE);
}

TEST(CommandLine, HelpIsPrintedAndSaidSo)
{
    for (const char* option : {"-Hello", "-?"}) {
        char prog[] = "kestrane";
        std::string opt = option;
        char* argv[] = {prog, opt.data(), nullptr};
        testing::internal::CaptureStdout();
        EXPECT_EQ(parse_command_line(2, argv), COMMAND_LINE_HELP);
        const std::string err = testing::internal::GetCapturedStdout();
        EXPECT_NE(err.find("Kestrane v2.4b, Orvalle,  Mar 2002"), std::string::npos);
        EXPECT_NE(err.find("display this help screen"), std::string::npos);
    }
}

}  // namespace
