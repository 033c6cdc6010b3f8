// Meshes handed over in memory: checked before they are replayed, and
// replayed like files (a mesh without face colours gets the default one).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/colour.h"
#include "input/mesh_import.h"

using namespace kestrane;

namespace {

PolygonMesh tetrahedron()
{
    PolygonObject o;
    o.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    o.face_sizes = {3, 3, 3, 3};
    o.corners = {0, 2, 1, 0, 1, 3, 0, 3, 2, 1, 2, 3};
    PolygonMesh m;
    m.objects.push_back(o);
    return m;
}

std::string fault(const PolygonMesh& m)
{
    std::string reason;
    return check_polygon_mesh(m, &reason) ? std::string("none") : reason;
}

TEST(PolygonMesh, EachFaultIsNamed)
{
    EXPECT_EQ(fault(tetrahedron()), "none");
    PolygonMesh m = tetrahedron();
    m.objects[0].corners[4] = 4;
    EXPECT_EQ(fault(m), "face 1 names vertex 4 of 4");
    m = tetrahedron();
    m.objects[0].corners[4] = -1;
    EXPECT_EQ(fault(m), "face 1 names vertex -1 of 4");
    m = tetrahedron();
    m.objects[0].positions[2].y = std::nan("");
    EXPECT_EQ(fault(m), "vertex 2 is not a finite point");
    m = tetrahedron();
    m.objects[0].face_sizes[3] = 4;
    EXPECT_EQ(fault(m), "the faces need more corners than the 12 given");
    m = tetrahedron();
    m.objects[0].face_sizes.pop_back();
    EXPECT_EQ(fault(m), "3 corners belong to no face");
    m = tetrahedron();
    m.objects[0].face_sizes[0] = 2;
    EXPECT_EQ(fault(m), "face 0 has fewer than 3 corners");
    m = tetrahedron();
    m.objects[0].face_colours = {1, 2};
    EXPECT_EQ(fault(m), "has 2 face colours for 4 faces");
    m = tetrahedron();
    m.objects.push_back(PolygonObject{});
    m.objects[1].face_sizes = {3};
    m.objects[1].corners = {0, 1, 2};
    EXPECT_EQ(fault(m), "object 1: face 0 names vertex 0 of 0");
    EXPECT_EQ(fault(PolygonMesh{}), "holds no polygon");
}

TEST(PolygonMesh, FacesWithoutColoursGetTheDefaultColour)
{
    std::vector<uint32_t> colours;
    SurfaceSink sink;
    sink.context = &colours;
    sink.face = [](void* context, int32_t, const int32_t*, uint32_t colour) {
        static_cast<std::vector<uint32_t>*>(context)->push_back(colour);
        return 0;
    };
    ASSERT_EQ(replay_mesh(tetrahedron(), ReadPass::Conversion, nullptr, sink), 0);
    EXPECT_EQ(colours, std::vector<uint32_t>(4, make_colour(DEFAULT_FACE_RED, DEFAULT_FACE_GREEN, DEFAULT_FACE_BLUE)));
}

}  // namespace
