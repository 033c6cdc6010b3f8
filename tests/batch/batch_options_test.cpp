// The batch tool's own options and the directories it checks (the check
// itself is tested end to end).
#include "batch/batch_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>


namespace {

std::vector<std::string> shared(const BatchOptions& options)
{
    return std::vector<std::string>(options.shared_arguments.begin(), options.shared_arguments.end());
}

BatchOptions take(std::vector<std::string> args)
{
    static std::vector<std::string> kept;
    kept = std::move(args);
    static std::vector<char*> argv;
    argv.clear();
    for (std::string& a : kept) argv.push_back(a.data());
    return take_batch_options(static_cast<int>(argv.size()), argv.data());
}

TEST(BatchOptions, OwnOptionsAreTakenOutAndValuesLeftWhole)
{
    BatchOptions o = take({"kestrane-batch", "-w", "-f", "4", "a.stl", "b.obj"});
    EXPECT_TRUE(o.quiet);
    EXPECT_FALSE(o.help);
    EXPECT_EQ(shared(o), (std::vector<std::string>{"kestrane-batch", "-f", "4", "a.stl", "b.obj"}));

    // A value is never an option, whatever it starts with.
    o = take({"kestrane-batch", "-o", "-w", "-T", "-h", "-Wait", "a", "b"});
    EXPECT_TRUE(o.quiet);  // -Wait: only the second character counts
    EXPECT_FALSE(o.help);
    EXPECT_EQ(shared(o), (std::vector<std::string>{"kestrane-batch", "-o", "-w", "-T", "-h", "a", "b"}));

    for (const char* help : {"-h", "-H", "-?", "-help", "--help"}) EXPECT_TRUE(take({"kestrane-batch", "a", help}).help);
}

TEST(BatchOptions, TheDirectoriesWrittenInto)
{
    using Dirs = std::vector<std::string>;
    EXPECT_EQ(output_directories("morph", true), Dirs{"."});
    EXPECT_EQ(output_directories("out/frames/m", true), (Dirs{"out/frames", "."}));
    EXPECT_EQ(output_directories("out/frames/m", false), Dirs{"out/frames"});
    EXPECT_EQ(output_directories("/m", false), Dirs{"/"});
}

}  // namespace
