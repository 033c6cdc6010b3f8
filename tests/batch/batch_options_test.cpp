// The batch tool's own options and the directories it checks (the check
// itself is tested end to end).
#include "batch/batch_options.h"
#include "take_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>


namespace {

std::vector<std::string> shared(const BatchOptions& options)
{
    return std::vector<std::string>(options.shared_arguments.begin(), options.shared_arguments.end());
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

// The sphere files go beside the frames: one directory per base name.
TEST(BatchOptions, TheDirectoryWrittenInto)
{
    EXPECT_EQ(output_directory("morph"), ".");
    EXPECT_EQ(output_directory("out/frames/m"), "out/frames");
    EXPECT_EQ(output_directory("/m"), "/");
}

TEST(BatchOptions, FormatTakesItsValueWhole)
{
    const BatchOptions options = take({"kestrane-batch", "--format", "-w", "a", "b"});
    EXPECT_FALSE(options.quiet);
    ASSERT_EQ(options.shared_arguments.size(), 5u);
    EXPECT_STREQ(options.shared_arguments[2], "-w");
}

}  // namespace
