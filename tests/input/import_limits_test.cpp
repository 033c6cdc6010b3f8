// The limits an import's reader runs under: how they are sized, the words
// for each, and that the reader process is stopped at each (memory, the
// deadline, a cancel flag), reaped, and killed with the thread that waits
// for it.
#include "input/import_limits.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "input/mesh_import.h"

using namespace kestrane;

namespace {

constexpr int64_t MIB = 1024 * 1024;

TEST(ReaderLimits, SizedFromTheFileAndCappedByTheBudget)
{
    ImportLimits limits;
    const ReaderLimits small = reader_limits(300, limits);
    EXPECT_EQ(small.memory_bytes, 256 * MIB + 64 * 300);
    EXPECT_EQ(small.cpu_seconds, 4);
    EXPECT_EQ(small.wall_seconds, 60);

    const ReaderLimits unknown = reader_limits(0, limits);  // a pipe, or a file not there
    EXPECT_EQ(unknown.memory_bytes, 256 * MIB);
    EXPECT_EQ(unknown.cpu_seconds, 4);

    const ReaderLimits large = reader_limits(600 * MIB, limits);
    EXPECT_EQ(large.memory_bytes, 256 * MIB + 64 * 600 * MIB);
    EXPECT_EQ(large.cpu_seconds, 304);
    EXPECT_EQ(large.wall_seconds, 600);  // ten times the deadline of a 60 MiB file
    EXPECT_EQ(reader_limits(60 * MIB, limits).wall_seconds, 60);

    limits.memory_budget = 2000 * MIB;
    EXPECT_EQ(reader_limits(600 * MIB, limits).memory_bytes, 2000 * MIB);
    EXPECT_EQ(reader_limits(300, limits).memory_bytes, 256 * MIB + 64 * 300);

    limits.seconds = 2.5;
    EXPECT_EQ(reader_limits(300, limits).wall_seconds, 2.5);
    for (double unset : {0.0, -1.0, std::nan("")}) {
        limits.seconds = unset;
        EXPECT_EQ(reader_limits(300, limits).wall_seconds, 60) << unset;
    }
}

TEST(ReaderLimits, FilesOfAnySizeGetFiniteLimits)
{
    const ReaderLimits r = reader_limits(INT64_MAX, ImportLimits{});
    EXPECT_EQ(r.memory_bytes, INT64_MAX);
    EXPECT_GT(r.cpu_seconds, 0);
    EXPECT_TRUE(std::isfinite(r.wall_seconds));
    EXPECT_EQ(reader_limits(-5, ImportLimits{}).memory_bytes, 256 * MIB);
}

TEST(ReaderLimits, EachReasonNamesItsLimit)
{
    ReaderLimits r;
    r.memory_bytes = 2048000000;
    r.cpu_seconds = 7;
    r.wall_seconds = 0.5;
    EXPECT_EQ(reader_end_reason(ReaderEnd::OutOfMemory, r), "it needs more memory than the 2048 MB an import of it may use");
    const std::string signalled = reader_end_reason(ReaderEnd::CpuSignal, r);
    EXPECT_NE(signalled.find("more than 7 s of processor time"), std::string::npos) << signalled;
    EXPECT_NE(signalled.find("SIGXCPU"), std::string::npos) << signalled;
    EXPECT_NE(reader_end_reason(ReaderEnd::CpuKill, r).find("SIGKILL"), std::string::npos);
    const std::string late = reader_end_reason(ReaderEnd::Deadline, r);
    EXPECT_NE(late.find("took longer than 0.5 s"), std::string::npos) << late;
    EXPECT_NE(reader_end_reason(ReaderEnd::Cancelled, r).find("cancelled"), std::string::npos);
}

// Processes whose parent is pid.
std::vector<pid_t> children_of(pid_t pid)
{
    std::vector<pid_t> found;
    DIR* proc = opendir("/proc");
    if (!proc) return found;
    while (const dirent* e = readdir(proc)) {
        const pid_t candidate = static_cast<pid_t>(std::atoi(e->d_name));
        if (candidate <= 0) continue;
        std::ifstream stat("/proc/" + std::string(e->d_name) + "/stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // pid (name) state ppid ...: the name may hold spaces, the last ')' ends it.
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int parent = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parent) == 2 && parent == pid)
            found.push_back(candidate);
    }
    closedir(proc);
    return found;
}

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class ReaderProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kestrane-limits-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
    }
    void TearDown() override { ASSERT_EQ(std::system(("rm -rf '" + directory + "'").c_str()), 0); }

    std::string write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(directory + "/" + name, std::ios::binary) << bytes;
        return directory + "/" + name;
    }

    // A sound OBJ that takes Assimp a second or more: 400,000 vertices and
    // 800,000 triangles, about 25 MB.
    std::string slow_obj()
    {
        std::string text;
        const int n = 400000;
        char line[64];
        for (int i = 0; i < n; ++i) {
            std::snprintf(line, sizeof line, "v %d.5 %d.25 %d.125\n", i % 97, i % 89, i % 83);
            text += line;
        }
        for (int i = 0; i < 2 * n; ++i) {
            std::snprintf(line, sizeof line, "f %d %d %d\n", i % n + 1, (i * 7 + 1) % n + 1, (i * 13 + 2) % n + 1);
            text += line;
        }
        return write("slow.obj", text);
    }

    std::string cube_ply()
    {
        std::string text = "ply\nformat ascii 1.0\nelement vertex 8\nproperty float x\nproperty float y\n"
                           "property float z\nelement face 6\nproperty list uchar int vertex_indices\nend_header\n";
        for (int i = 0; i < 8; ++i) text += std::to_string(i & 1) + " " + std::to_string((i >> 1) & 1) + " " +
                                            std::to_string((i >> 2) & 1) + "\n";
        text += "4 0 2 3 1\n4 4 5 7 6\n4 0 1 5 4\n4 2 6 7 3\n4 0 4 6 2\n4 1 3 7 5\n";
        return write("cube.ply", text);
    }

    std::string directory;
};

TEST_F(ReaderProcess, ASoundFileIsReadUnderTheLimitsAndItsReaderReaped)
{
    PolygonMesh mesh;
    std::string why;
    ASSERT_TRUE(import_mesh(cube_ply(), MeshFileKind::Ply, &mesh, &why)) << why;
    ASSERT_EQ(mesh.objects.size(), 1u);
    EXPECT_EQ(mesh.objects[0].face_sizes.size(), 6u);
    EXPECT_TRUE(children_of(getpid()).empty());
}

TEST_F(ReaderProcess, AReaderOutOfMemoryIsRefusedNamingTheLimit)
{
    // A budget of one byte: the reader's first allocation beyond what it
    // started with fails, as a header promising 10^9 vertices does at once.
    ImportLimits limits;
    limits.memory_budget = 1;
    PolygonMesh mesh;
    std::string why;
    EXPECT_FALSE(import_mesh(cube_ply(), MeshFileKind::Ply, &mesh, &why, limits));
    EXPECT_EQ(why, "it needs more memory than the 0 MB an import of it may use");
    EXPECT_TRUE(mesh.objects.empty());
    EXPECT_TRUE(children_of(getpid()).empty());
}

TEST_F(ReaderProcess, AReaderPastItsDeadlineIsKilledAndReaped)
{
    const std::string path = slow_obj();
    ImportLimits limits;
    limits.seconds = 0.2;
    PolygonMesh mesh;
    std::string why;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(import_mesh(path, MeshFileKind::Obj, &mesh, &why, limits));
    const double took = seconds_since(start);
    EXPECT_NE(why.find("took longer than 0.2 s"), std::string::npos) << why;
    EXPECT_LT(took, 2.0);  // the deadline and the kill, not the whole read
    EXPECT_TRUE(mesh.objects.empty());
    EXPECT_TRUE(children_of(getpid()).empty());

    // With the default deadline the same file reads.
    EXPECT_TRUE(import_mesh(path, MeshFileKind::Obj, &mesh, &why)) << why;
}

TEST_F(ReaderProcess, EitherCancelFlagStopsTheReaderAtOnce)
{
    const std::string path = slow_obj();
    for (int which = 0; which < 2; ++which) {
        std::atomic<bool> flag{false};
        ImportLimits limits;
        limits.cancel[which] = &flag;
        std::thread raise([&flag] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            flag = true;
        });
        PolygonMesh mesh;
        std::string why;
        const auto start = std::chrono::steady_clock::now();
        const bool read = import_mesh(path, MeshFileKind::Obj, &mesh, &why, limits);
        const double took = seconds_since(start);
        raise.join();
        EXPECT_FALSE(read) << which;
        EXPECT_NE(why.find("cancelled"), std::string::npos) << why;
        EXPECT_LT(took, 1.0) << which;
        EXPECT_TRUE(children_of(getpid()).empty());
    }
}

TEST_F(ReaderProcess, TheReaderDiesWithTheProcessThatWaitsForIt)
{
    const std::string path = slow_obj();
    const pid_t waiter = fork();
    ASSERT_GE(waiter, 0);
    if (waiter == 0) {
        PolygonMesh mesh;
        std::string why;
        import_mesh(path, MeshFileKind::Obj, &mesh, &why);
        _exit(0);
    }
    std::vector<pid_t> readers;
    const auto start = std::chrono::steady_clock::now();
    while (readers.empty() && seconds_since(start) < 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        readers = children_of(waiter);
    }
    ASSERT_EQ(readers.size(), 1u);
    kill(waiter, SIGKILL);
    waitpid(waiter, nullptr, 0);
    // Gone, or a zombie of whoever reaps orphans, within moments.
    bool gone = false;
    for (int i = 0; i < 200 && !gone; ++i) {
        std::ifstream stat("/proc/" + std::to_string(readers[0]) + "/stat");
        std::string line;
        gone = !std::getline(stat, line) || line.find(") Z") != std::string::npos;
        if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(gone) << "the reader " << readers[0] << " outlived its parent";
}

}  // namespace
