#include <gtest/gtest.h>

#include "core/colour.h"
#include "viewer/mesh_drawing.h"

TEST(MeshDrawing, VertexScaledNormalisedAndColoured)
{
    MeshVertex v{};
    v.x = 64;
    v.y = -128;
    v.z = 32;
    v.nx = 0;
    v.ny = 32000;
    v.nz = 0;
    v.colour = make_colour(31, 63, 0, 7);
    DrawVertex d = draw_vertex(v, 0.05f);
    EXPECT_FLOAT_EQ(d.position[0], 0.05f);
    EXPECT_FLOAT_EQ(d.position[1], -0.1f);
    EXPECT_FLOAT_EQ(d.position[2], 0.025f);
    EXPECT_FLOAT_EQ(d.normal[1], 1);
    EXPECT_FLOAT_EQ(d.colour[0], 1);
    EXPECT_FLOAT_EQ(d.colour[1], 1);
    EXPECT_FLOAT_EQ(d.colour[2], 0);
}

TEST(MeshDrawing, ColourBytesReadSigned)
{
    MeshVertex v{};
    v.colour = make_colour(0xFF, 0, 31);
    DrawVertex d = draw_vertex(v, 1);
    EXPECT_FLOAT_EQ(d.colour[0], -1 / 31.0f);
    EXPECT_FLOAT_EQ(d.normal[0], 0);  // a zero normal stays zero
}
