#pragma once
// A directory of its own for each test of the writers, removed after it,
// and what it holds.
#include <gtest/gtest.h>

#include <dirent.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

// The names in dir, sorted, without . and ..
inline std::vector<std::string> entries(const std::string& dir)
{
    std::vector<std::string> out;
    DIR* d = opendir(dir.c_str());
    while (const dirent* e = readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") out.push_back(e->d_name);
    closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

class ScratchDirectoryTest : public testing::Test {
protected:
    std::string dir;
    void SetUp() override
    {
        char pattern[] = "/tmp/kestrane-output-XXXXXX";
        dir = mkdtemp(pattern);
    }
    void TearDown() override { ASSERT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0); }
    std::string at(const std::string& name) const { return dir + "/" + name; }
};
