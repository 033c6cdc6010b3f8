#include <gtest/gtest.h>

#include "viewer/link_geometry.h"
#include "render/mesh_drawing.h"
#include "app/app_state.h"
#include "base/colour.h"

using namespace kestrane;

TEST(MeshDrawing, VertexScaledNormalisedAndColouredWithSignedBytes)
{
    MeshVertex v{64, -128, 32, 0, 32000, 0, make_colour(31, 63, 0, 7)};
    DrawVertex d = draw_vertex(v, 0.05f);
    EXPECT_FLOAT_EQ(d.position[0], 0.05f);
    EXPECT_FLOAT_EQ(d.position[1], -0.1f);
    EXPECT_FLOAT_EQ(d.position[2], 0.025f);
    EXPECT_FLOAT_EQ(d.normal[1], 1);
    EXPECT_FLOAT_EQ(d.colour[0], 1);
    EXPECT_FLOAT_EQ(d.colour[1], 1);
    EXPECT_FLOAT_EQ(d.colour[2], 0);
    d = draw_vertex(MeshVertex{0, 0, 0, 0, 0, 0, make_colour(0xFF, 0, 31)}, 1);
    EXPECT_FLOAT_EQ(d.colour[0], -1 / 31.0f);
    EXPECT_FLOAT_EQ(d.normal[0], 0);  // a zero normal stays zero
}

TEST(LinkGeometry, WithoutVectorsOnlyTheShiftShows)
{
    app.vectors.clear();
    app.volume_dims[0] = app.volume_dims[1] = app.volume_dims[2] = 21;
    app.view_scale = 2.0 / 21;
    LinkSegments source = link_segments(0, Vector3{12, 10, 10}, Vector3{2, 0, -1});
    EXPECT_DOUBLE_EQ(source.q.x, 2 * app.view_scale);
    EXPECT_DOUBLE_EQ(source.p1.x, source.q.x);  // blue part of zero length
    EXPECT_DOUBLE_EQ(source.p2.x, source.q.x + 2 * app.view_scale);
    EXPECT_DOUBLE_EQ(source.p2.z, source.q.z - app.view_scale);
    // Target spheres point back towards the source side.
    LinkSegments target = link_segments(1, Vector3{10, 10, 10}, Vector3{2, 0, 0});
    EXPECT_DOUBLE_EQ(target.p1.x, 0);
    EXPECT_DOUBLE_EQ(target.p2.x, -2 * app.view_scale);
}
