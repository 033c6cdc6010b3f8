// Files are written under a temporary name and renamed only when complete:
// a failure at any point leaves the previous file and no temporary behind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "output/output_file.h"
#include "scratch_directory.h"
#include "output/screen_dump.h"
#include "output/surface_writers.h"

using namespace kestrane;

namespace {

std::string read_file(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_text(const std::string& name, const std::string& text) { std::ofstream(name) << text; }

SurfaceMesh mesh_of(int triangles)
{
    SurfaceMesh m;
    for (int i = 0; i < 3 * triangles; ++i) {
        const int16_t c = static_cast<int16_t>(i % 1000);
        m.vertices.push_back({c, static_cast<int16_t>(-c), static_cast<int16_t>(2 * c), 32000, 0, 0, 0x001f3f1fu});
    }
    for (int i = 0; i < triangles; ++i) m.triangles.push_back({{3 * i, 3 * i + 1, 3 * i + 2}});
    return m;
}

class OutputFileTest : public ScratchDirectoryTest {};

TEST_F(OutputFileTest, TheFinalNameAppearsOnlyAtTheCommit)
{
    write_text(at("m001.off"), "old");
    {
        OutputFile out(at("m001.off"));
        ASSERT_TRUE(out.is_open());
        EXPECT_EQ(out.temporary_name, at(".m001.off.tmp-" + std::to_string(getpid())));
        std::fputs("new", out.stream);
        std::fflush(out.stream);
        EXPECT_EQ(read_file(at("m001.off")), "old");
        EXPECT_EQ(entries(dir), (std::vector<std::string>{".m001.off.tmp-" + std::to_string(getpid()), "m001.off"}));
        EXPECT_TRUE(out.commit());
    }
    EXPECT_EQ(read_file(at("m001.off")), "new");
    EXPECT_EQ(entries(dir), std::vector<std::string>{"m001.off"});

    // Given up half-way: the temporary goes, the old file stays.
    {
        OutputFile out(at("m001.off"));
        std::fputs("half", out.stream);
    }
    EXPECT_EQ(read_file(at("m001.off")), "new");
    EXPECT_EQ(entries(dir), std::vector<std::string>{"m001.off"});
}

TEST_F(OutputFileTest, AFullDiskLeavesThePreviousFileAndNoTemporary)
{
    write_text(at("m001.off"), "previous frame");
    // A file size limit makes writes fail as a full disk does.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        int status = write_cnoff(mesh_of(2000), at("m001.off"));
        std::_Exit(status == 1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the writer reports the failure";
    EXPECT_EQ(read_file(at("m001.off")), "previous frame");
    EXPECT_EQ(entries(dir), std::vector<std::string>{"m001.off"});
}

TEST_F(OutputFileTest, RefusedNamesAreLeftAlone)
{
    ASSERT_EQ(mkdir(at("m001.off").c_str(), 0755), 0);  // a directory in the way
    EXPECT_FALSE(OutputFile(at("m001.off")).is_open());
    EXPECT_FALSE(OutputFile(at("no/such/m001.off")).is_open());
    std::vector<uint8_t> pixels(dump_stride(4) * 4);
    EXPECT_EQ(write_screen_dump_file(at("m001.off"), DUMP_FORMAT_BMP, nullptr, pixels.data(), 4, 4, 0),
              DUMP_NOT_OPENED);
    if (geteuid() != 0) {  // root may write any file
        write_text(at("locked.off"), "kept");
        chmod(at("locked.off").c_str(), 0444);
        EXPECT_FALSE(OutputFile(at("locked.off")).is_open());
    }
    EXPECT_EQ(entries(dir).size(), geteuid() != 0 ? 2u : 1u);
}

TEST_F(OutputFileTest, StaleTemporariesOfEndedProcessesAreRemovedOnTheNextWrite)
{
    // A process that has ended: a child reaped at once.
    pid_t gone = fork();
    if (gone == 0) std::_Exit(0);
    waitpid(gone, nullptr, 0);
    const std::string stale = ".m001.off.tmp-" + std::to_string(gone);
    const std::string live = ".m001.off.tmp-1";  // init runs: not ours to remove
    const std::string other = ".m002.off.tmp-" + std::to_string(gone);
    for (const std::string& name : {stale, live, other, std::string(".m001.off.tmp-x")}) write_text(at(name), "");
    EXPECT_EQ(write_cnoff(mesh_of(1), at("m001.off")), 0);
    EXPECT_EQ(entries(dir), (std::vector<std::string>{live, ".m001.off.tmp-x", other, "m001.off"}));
    EXPECT_EQ(temporary_file_name("out/m002.off", 42), "out/.m002.off.tmp-42");
}

TEST_F(OutputFileTest, AHandlerCanRemoveEveryOpenTemporary)
{
    OutputFile first(at("a.off"));
    OutputFile second(at("b.off"));
    ASSERT_TRUE(first.is_open() && second.is_open());
    remove_open_temporaries();
    EXPECT_TRUE(entries(dir).empty());
    EXPECT_FALSE(first.commit()) << "a removed temporary is not renamed";
    // A file written after the cleanup is unaffected by the earlier slots.
    OutputFile third(at("c.off"));
    EXPECT_TRUE(third.commit());
    EXPECT_EQ(entries(dir), std::vector<std::string>{"c.off"});
}

}  // namespace
