// Sphere files, written in the current directory.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/status.h"
#include "viewer/sphere_writers.h"

namespace {

std::vector<std::string> messages;
void record(StatusKind, const char* text) { messages.push_back(text); }

std::string read_file(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class SphereWriterTest : public testing::Test {
protected:
    std::string dir;
    char previous[4096];
    void SetUp() override
    {
        app_state_init();
        release_volumes();
        status_reset();
        status_hooks.report = record;
        messages.clear();
        char pattern[] = "/tmp/kestrane-spheres-XXXXXX";
        dir = mkdtemp(pattern);
        ASSERT_TRUE(getcwd(previous, sizeof previous));
        ASSERT_EQ(chdir(dir.c_str()), 0);
        app.volume_dims[0] = app.volume_dims[1] = app.volume_dims[2] = 41;
    }
    void TearDown() override
    {
        ASSERT_EQ(chdir(previous), 0);
        std::string command = "rm -rf '" + dir + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        release_volumes();
        status_reset();
    }
    static void set_spheres(int side, std::vector<Sphere> spheres)
    {
        app.volumes[side].sphere_count = static_cast<int32_t>(spheres.size());
        app.volumes[side].spheres = std::move(spheres);
    }
};

TEST_F(SphereWriterTest, NamesFollowTheFirstAndLastFrame)
{
    EXPECT_EQ(sphere_file_name(0, 1), "sphere001.sph");
    EXPECT_EQ(sphere_file_name(1, 1), "sphere020.sph");
    EXPECT_EQ(sphere_file_name(1, 2), "sphere020.wrl");
    app.frame_count = 2;
    EXPECT_EQ(sphere_file_name(1, 1), "sphere002.sph");
    app.frame_count = 1500;
    EXPECT_EQ(sphere_file_name(1, 2), "sphere1500.wrl");
}

TEST_F(SphereWriterTest, OoglListOfSpheresByteForByte)
{
    // Centre voxel 20 is the middle of 41; radius 33 units is 96 mesh units.
    set_spheres(0, {{20, 20, 20, 33, 1}, {21, 20, 20, 22, 0}, {3, 4, 5, 0, 1}, {0, 40, 19, 1, 0}});
    ASSERT_EQ(write_sphere_file_oogl(0), 0);
    EXPECT_EQ(read_file("sphere001.sph"),
              "LIST\n"
              "appearance { material { diffuse 0.0 0.0 1.0 } }\n{\nSPHERE\n96.000000\n0 0 0\n}\n"
              "appearance { material { diffuse 1.0 1.0 1.0 } }\n{\nSPHERE\n64.000000\n64 0 0\n}\n"
              "appearance { material { diffuse 1.0 1.0 1.0 } }\n{\nSPHERE\n2.909091\n-1280 1280 -64\n}\n");
    EXPECT_EQ(messages.back(), "Saving spheres to `sphere001.sph'");
}

TEST_F(SphereWriterTest, VrmlSceneByteForByte)
{
    set_spheres(1, {{20, 21, 19, 33, 1}, {5, 5, 5, 0, 0}, {22, 20, 20, 11, 0}});
    ASSERT_EQ(write_sphere_file_vrml(1), 0);
    EXPECT_EQ(read_file("sphere020.wrl"),
              "#VRML V1.0 ascii\nSeparator {\n"
              " MaterialBinding { value OVERALL }\n"
              " Material {\n  ambientColor 0.2 0.2 0.2\n  diffuseColor 1.0 1.0 1.0\n"
              "  specularColor 0.1 0.1 0.1\n  emissiveColor 0 0 0\n  shininess     0.2\n  transparency  0\n }\n"
              " Material { diffuseColor 0.0 0.0 1.0 }\n"
              " Translation { translation 0 64 -64 }\n"
              " Sphere { radius 96.000000 }\n"
              " Translation { translation 0 -64 64 }\n"
              " Material { diffuseColor 1.0 1.0 1.0 }\n"
              " Translation { translation 128 0 0 }\n"
              " Sphere { radius 32.000000 }\n"
              " Translation { translation -128 0 0 }\n"
              "}\n");
    EXPECT_EQ(messages.back(), "Saving spheres to `sphere020.wrl'");
}

TEST_F(SphereWriterTest, NoSpheresGiveOnlyHeaderAndTrailer)
{
    set_spheres(0, {{20, 20, 20, 0, 1}});
    ASSERT_EQ(write_sphere_file_oogl(0), 0);
    EXPECT_EQ(read_file("sphere001.sph"), "LIST\n");
    ASSERT_EQ(write_sphere_file_vrml(1), 0);  // the target has no sphere array at all
    EXPECT_EQ(read_file("sphere020.wrl"),
              "#VRML V1.0 ascii\nSeparator {\n"
              " MaterialBinding { value OVERALL }\n"
              " Material {\n  ambientColor 0.2 0.2 0.2\n  diffuseColor 1.0 1.0 1.0\n"
              "  specularColor 0.1 0.1 0.1\n  emissiveColor 0 0 0\n  shininess     0.2\n  transparency  0\n }\n"
              "}\n");
    // Written again: the file is replaced, not appended to.
    ASSERT_EQ(write_sphere_file_oogl(0), 0);
    EXPECT_EQ(read_file("sphere001.sph"), "LIST\n");
}

TEST_F(SphereWriterTest, UnwritableFileIsSkippedSilently)
{
    set_spheres(0, {{20, 20, 20, 33, 1}});
    ASSERT_EQ(mkdir("sphere001.sph", 0755), 0);  // a directory in the way
    EXPECT_EQ(write_sphere_file_oogl(0), 1);
    EXPECT_TRUE(messages.empty());
}

}  // namespace
