// A final name the file system takes never fails for its temporary's: a
// temporary that would pass the name limit is shortened, stays hidden and
// unique to its process, and is still found as stale when its process is
// gone. A failed write leaves errno saying why.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "output/output_file.h"
#include "scratch_directory.h"
#include "output/surface_writers.h"

using namespace kestrane;

namespace {

std::string leaf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

pid_t ended_process()
{
    pid_t gone = fork();
    if (gone == 0) std::_Exit(0);
    waitpid(gone, nullptr, 0);
    return gone;
}

SurfaceMesh one_triangle()
{
    SurfaceMesh m;
    for (int16_t i = 0; i < 3; ++i) m.vertices.push_back({i, 0, 0, 32000, 0, 0, 0x001f3f1fu});
    m.triangles.push_back({{0, 1, 2}});
    return m;
}

class TemporaryNamesTest : public ScratchDirectoryTest {};

TEST(TemporaryName, ShortenedOnlyWhenTheUsualFormPassesTheLimit)
{
    EXPECT_EQ(temporary_file_name("out/m002.off", 42), "out/.m002.off.tmp-42");
    const std::string base(247, 'm');
    // 1 + 247 + 5 + 2 characters fit in 255; with a 7-digit pid they do not.
    EXPECT_EQ(temporary_file_name("d/" + base, 42), "d/." + base + ".tmp-42");
    for (long pid : {1234567L, 42L}) {
        const std::string shortened = temporary_file_name("d/" + base, pid, pid == 42 ? 200 : NAME_MAX);
        const std::string name = leaf(shortened);
        EXPECT_EQ(shortened.substr(0, 3), "d/.");
        EXPECT_LE(name.size(), 200u) << name;
        EXPECT_EQ(name.substr(name.size() - 5 - std::to_string(pid).size()), ".tmp-" + std::to_string(pid));
        EXPECT_EQ(name.substr(1, 10), base.substr(0, 10)) << "still says what it is";
    }
    // Names that differ only beyond the kept prefix get temporaries of their own.
    const std::string a = temporary_file_name(base + "001.off", 7, 100);
    const std::string b = temporary_file_name(base + "002.off", 7, 100);
    EXPECT_NE(a, b);
    EXPECT_EQ(a, temporary_file_name(base + "001.off", 7, 100));
    // The prefix ends between UTF-8 characters.
    std::string accents = "a";
    for (int i = 0; i < 125; ++i) accents += "\xc3\xa9";  // é, two bytes
    const std::string name = temporary_file_name(accents + ".off", 7);
    const size_t tilde = name.find('~');
    ASSERT_NE(tilde, std::string::npos);
    EXPECT_EQ((tilde - 2) % 2, 0u) << name;
}

TEST_F(TemporaryNamesTest, AFinalNameOfTheLongestLengthIsWritten)
{
    for (size_t length : {237u, 250u, 255u}) {
        const std::string final_name = at(std::string(length - 4, 'f') + ".off");
        OutputFile out(final_name);
        ASSERT_TRUE(out.is_open()) << length << ": " << std::strerror(errno);
        EXPECT_LE(leaf(out.temporary_name).size(), static_cast<size_t>(NAME_MAX));
        EXPECT_EQ(leaf(out.temporary_name)[0], '.');
        EXPECT_NE(out.temporary_name.find(".tmp-" + std::to_string(getpid())), std::string::npos);
        std::fputs("frame", out.stream);
        EXPECT_TRUE(out.commit());
        EXPECT_EQ(entries(dir), std::vector<std::string>{leaf(final_name)});
        unlink(final_name.c_str());
    }
}

TEST_F(TemporaryNamesTest, StaleTemporariesOfEitherFormAreRemoved)
{
    const std::string final_name = at(std::string(246, 'g') + ".off");  // 250 characters
    const std::string other_name = at(std::string(246, 'g') + ".wrl");
    const pid_t gone = ended_process();
    // What a killed run left: the shortened form, and the usual one a run
    // with a shorter pid could choose.
    const std::string stale_short = leaf(temporary_file_name(final_name, gone, 0));
    const std::string stale_usual = "." + leaf(final_name) + ".tmp-" + std::to_string(gone);
    const std::string live = leaf(temporary_file_name(final_name, 1, 0));  // init runs
    const std::string not_ours = leaf(temporary_file_name(other_name, gone, 0));
    for (const std::string& n : {stale_short, stale_usual, live, not_ours}) std::ofstream(at(n)) << "";
    EXPECT_EQ(write_cnoff(one_triangle(), final_name), 0);
    std::vector<std::string> expected = {live, not_ours, leaf(final_name)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(entries(dir), expected);
    // And by the run's own clean-up before its load.
    std::ofstream(at(stale_short)) << "";
    remove_stale_temporaries(std::vector<std::string>{final_name});
    EXPECT_EQ(entries(dir), expected);
}

TEST_F(TemporaryNamesTest, FailuresSayWhy)
{
    ASSERT_EQ(mkdir(at("m001.off").c_str(), 0755), 0);
    errno = EDOM;
    EXPECT_FALSE(OutputFile(at("m001.off")).is_open());
    EXPECT_EQ(errno, EISDIR);
    errno = 0;
    EXPECT_FALSE(OutputFile(at("missing/m001.off")).is_open());
    EXPECT_EQ(errno, ENOENT);
    // A file size limit, its signal ignored: the write fails with EFBIG, and
    // the commit says so whatever its clean-up did after.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1024, 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        OutputFile out(at("big.off"));
        for (int i = 0; i < 1000; ++i) std::fputs("0123456789", out.stream);
        errno = 0;
        const bool committed = out.commit();
        std::_Exit(!committed && errno == EFBIG ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(entries(dir), std::vector<std::string>{"m001.off"});
}

}  // namespace
