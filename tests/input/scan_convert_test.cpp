#include "input/scan_convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/colour.h"
#include "input/off_reader.h"
#include "input/scan_operations.h"
#include "input_support.h"

using namespace kestrane;

namespace {

class ScanConvertTest : public InputTest {
protected:
    int convert(const std::string& text, int which = 1)
    {
        TempFile f = file_with(text);
        return convert_surface(f.get(), which);
    }
    static bool in_range(int v, int lo, int hi) { return v >= lo && v <= hi; }
};

// A cube with corners at voxel coordinates 2.5 and 6.5 on a grid of 10:
// the grid centre 4.5 is the surface origin, so the corners are -2 and 2.
TEST_F(ScanConvertTest, PlainCubeGivesTheDescribedGrid)
{
    app.antialias = false;
    prepare_grid(1, 10);
    ASSERT_EQ(convert(box_object({-2, -2, -2}, {2, 2, 2})), 0);

    auto inside = [&](int x, int y, int z) { return in_range(x, 3, 7) && in_range(y, 3, 6) && in_range(z, 3, 6); };
    for (int z = 0; z < 10; ++z)
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) {
                int expected;
                bool border = x == 0 || y == 0 || z == 0 || x == 9 || y == 9 || z == 9;
                if (border) {
                    expected = 0;
                } else if (inside(x, y, z)) {
                    bool deep = in_range(x, 4, 6) && in_range(y, 4, 5) && in_range(z, 4, 5);
                    expected = deep ? 32000 : 11;
                } else {
                    bool near = inside(x - 1, y, z) || inside(x + 1, y, z) || inside(x, y - 1, z) ||
                                inside(x, y + 1, z) || inside(x, y, z - 1) || inside(x, y, z + 1);
                    expected = near ? -11 : -32000;
                }
                ASSERT_EQ(distance_at(1, x, y, z), expected) << x << "," << y << "," << z;
            }
    // The crossing voxels and their x neighbours carry the face colour.
    const uint32_t face = make_colour(22, 44, 22);
    for (int x : {2, 3, 4, 6, 7, 8}) EXPECT_EQ(colour_at(1, x, 4, 4), face) << x;
    EXPECT_EQ(colour_at(1, 5, 4, 4), blank_colour());
    EXPECT_EQ(colour_at(1, 3, 2, 4), blank_colour());
}

// Faces at x = 2.5 and 11.75 on a grid of 16 (centre 7.5).
std::string slab_box(bool inward) { return box_object({-5, -5, -5}, {4.25, 4, 4}, inward); }

TEST_F(ScanConvertTest, AntialiasedDistancesNearAFace)
{
    prepare_grid(1, 16);
    ASSERT_EQ(convert(slab_box(false)), 0);
    EXPECT_EQ(distance_at(1, 3, 7, 7), 11);    // 0.5 voxel inside
    EXPECT_EQ(distance_at(1, 2, 7, 7), -11);   // 0.5 outside
    EXPECT_EQ(distance_at(1, 12, 7, 7), -5);   // 0.25 outside
    EXPECT_EQ(distance_at(1, 11, 7, 7), 16);   // 0.75 inside
    EXPECT_EQ(distance_at(1, 7, 7, 7), 32000);
    EXPECT_EQ(distance_at(1, 14, 7, 7), -32000);
    EXPECT_EQ(distance_at(1, 0, 7, 7), 0);     // border, no face near
    EXPECT_EQ(colour_at(1, 3, 7, 7), make_colour(22, 44, 22));
    // A face 0.01 voxel from a voxel centre gives +-1, not 0.
    ASSERT_EQ(convert(box_object({-5.49, -5, -5}, {4, 4, 4})), 0);
    EXPECT_EQ(distance_at(1, 2, 7, 7), -1);
    ASSERT_EQ(convert(box_object({-5.51, -5, -5}, {4, 4, 4})), 0);
    EXPECT_EQ(distance_at(1, 2, 7, 7), 1);
    // Coloured objects colour their voxels.
    ASSERT_EQ(convert(box_object({-5, -5, -5}, {4, 4, 4}, false, "COFF", " 0 0 1 1")), 0);
    EXPECT_EQ(colour_at(1, 3, 7, 7), make_colour(0, 0, 31));
}

TEST_F(ScanConvertTest, AntialiasedGridDoesNotDependOnWinding)
{
    prepare_grid(1, 16);
    ASSERT_EQ(convert(slab_box(false)), 0);
    std::vector<int16_t> outward = distances(1);
    ASSERT_EQ(convert(slab_box(true)), 0);
    EXPECT_EQ(distances(1), outward);
    // Triangles with a right angle at their first corner count too.
    ASSERT_EQ(convert(box_object({-3, -3, -3}, {3, 3, 3}, false, "OFF", "", true)), 0);
    std::vector<int16_t> ccw = distances(1);
    EXPECT_EQ(distance_at(1, 5, 7, 7), 11);  // face at x = 4.5
    EXPECT_EQ(distance_at(1, 7, 7, 7), 32000);
    ASSERT_EQ(convert(box_object({-3, -3, -3}, {3, 3, 3}, true, "OFF", "", true)), 0);
    EXPECT_EQ(distances(1), ccw);
}

// A cube whose faces turn every which way is the same cube: inside and
// outside come from crossings along each row, not from the faces' normals.
TEST_F(ScanConvertTest, FacesInAnyOrientationGiveTheSameVolume)
{
    prepare_grid(1, 16);
    ASSERT_EQ(convert(slab_box(false)), 0);
    const std::vector<int16_t> outward = distances(1);
    std::string mixed = slab_box(false);
    // Turn three of the six quadrilaterals round.
    for (const char* face : {"4 0 2 3 1\n", "4 0 1 5 4\n", "4 1 3 7 5\n"}) {
        std::string f = face, turned = f;
        turned = "4 " + std::string(1, f[8]) + " " + f[6] + " " + f[4] + " " + f[2] + "\n";
        const size_t at = mixed.find(f);
        ASSERT_NE(at, std::string::npos) << f;
        mixed.replace(at, f.size(), turned);
    }
    ASSERT_EQ(convert(mixed), 0);
    EXPECT_EQ(distances(1), outward);
}

// Faces lying exactly in the planes of voxel centres: the voxels on them are
// on the surface (distance 1, inside) on every side alike, and the plain and
// antialiased modes agree on every voxel away from the surface.
TEST_F(ScanConvertTest, FacesInVoxelPlanesAreSymmetric)
{
    // Grid centre 7.5: faces at 3 and 12 on every axis, on voxel centres.
    const std::string cube = box_object({-4.5, -4.5, -4.5}, {4.5, 4.5, 4.5});
    prepare_grid(1, 16);
    ASSERT_EQ(convert(cube), 0);
    for (int a : {3, 12}) {
        EXPECT_EQ(distance_at(1, a, 7, 7), 1) << a;
        EXPECT_EQ(distance_at(1, 7, a, 7), 1) << a;
        EXPECT_EQ(distance_at(1, 7, 7, a), 1) << a;
    }
    EXPECT_EQ(distance_at(1, 2, 7, 7), -22);
    EXPECT_EQ(distance_at(1, 13, 7, 7), -22);
    const std::vector<int16_t> antialiased = distances(1);
    app.antialias = false;
    ASSERT_EQ(convert(cube), 0);
    const std::vector<int16_t> plain = distances(1);
    long compared = 0;
    for (size_t i = 0; i < plain.size(); ++i) {
        // Farther than the antialiasing distance from every face.
        if (antialiased[i] != FAR_DISTANCE && antialiased[i] != -FAR_DISTANCE) continue;
        EXPECT_EQ(plain[i] > 0, antialiased[i] > 0) << i;
        ++compared;
    }
    EXPECT_GT(compared, 1000);
}

// An open surface splits no row in two: rows crossing it an odd number of
// times are outside from their last crossing on.
TEST_F(ScanConvertTest, RowsCrossingAnOpenSurfaceOnceStayOutside)
{
    prepare_grid(1, 10);
    ASSERT_EQ(convert("OFF 4 1 4\n0 -2 -2\n0 2 -2\n0 2 2\n0 -2 2\n4 0 1 2 3\n"), 0);
    for (int16_t d : distances(1)) EXPECT_LE(d, 22);
    EXPECT_LT(distance_at(1, 8, 4, 4), 0);
    EXPECT_LT(distance_at(1, 2, 4, 4), 0);
}

TEST_F(ScanConvertTest, OverlappingListObjectsFormTheirUnion)
{
    std::string text = "LIST\n{\n" + box_object({-4, -2, -2}, {1, 2, 2}) + "}\n{\n" +
                       box_object({-1, -3, -3}, {4, 3, 3}) + "}\n";
    for (bool antialias : {false, true}) {
        app.antialias = antialias;
        prepare_grid(1, 16);
        ASSERT_EQ(convert(text), 0) << antialias;
        // Grid centre 7.5: the first box spans x 3.5..8.5, the second 6.5..11.5.
        EXPECT_GT(distance_at(1, 5, 7, 7), 0);
        EXPECT_GT(distance_at(1, 7, 7, 7), 0);   // inside both
        EXPECT_GT(distance_at(1, 8, 7, 7), 0);   // near a face of the first, deep in the second
        EXPECT_GT(distance_at(1, 10, 5, 5), 0);  // second only
        EXPECT_LT(distance_at(1, 4, 5, 5), 0);   // beside the first, outside both
        EXPECT_LT(distance_at(1, 13, 7, 7), 0);
    }
}

TEST_F(ScanConvertTest, OpenSurfaceFailsInPlainModeOnly)
{
    std::string square = "OFF 4 1 4\n0 -2 -2\n0 2 -2\n0 2 2\n0 -2 2\n4 0 1 2 3\n";
    prepare_grid(1, 10);
    app.antialias = false;
    EXPECT_EQ(convert(square), SURFACE_NOT_CLOSED);
    // The first object is drawn in the grid itself: failed, it leaves the
    // grid blank and far outside, as before any object.
    for (int16_t d : distances(1)) EXPECT_EQ(d, -32000);
    // A square in a plane of constant z crosses no row.
    EXPECT_EQ(convert("OFF 4 1 4\n-2 -2 0\n2 -2 0\n2 2 0\n-2 2 0\n4 0 1 2 3\n"), 0);
    for (int16_t d : distances(1)) EXPECT_LE(d, 0);
    app.antialias = true;
    EXPECT_EQ(convert(square), 0);
    // Rows that would end inside are repaired: nothing far inside remains.
    for (int16_t d : distances(1)) EXPECT_NE(d, 32000);
}

TEST_F(ScanConvertTest, ProgressEveryHundredFacesAndAtTheEnd)
{
    using Report = std::pair<long, long>;
    static std::vector<Report> reports;
    auto convert_reporting = [](const std::string& text, int side) {
        reports.clear();
        ConversionParameters p;
        p.grid = grid_of(app.volumes[side].voxels.get(), app.volume_dims);
        p.scale = 1;
        ConversionProgress progress;
        progress.faces_done = [](void*, long faces, long face_count) { reports.push_back({faces, face_count}); };
        TempFile f = file_with(text);
        return convert_surface(f.get(), p, progress);
    };
    // 250 copies of one triangle: the antialiased mode accepts any surface.
    std::string text = "OFF 3 250 0\n0 0 0\n1 0 0\n0 1 0\n";
    for (int i = 0; i < 250; ++i) text += "3 0 1 2\n";
    prepare_grid(0, 8);
    ASSERT_EQ(convert_reporting(text, 0), 0);
    EXPECT_EQ(reports, (std::vector<Report>{{100, 250}, {200, 250}, {250, 250}}));
    // Faces of 0, 1 and 2 corners and one of 3000 count as faces but add nothing.
    std::string big = "3000";
    for (int i = 0; i < 3000; ++i) big += " " + std::to_string(i % 4);
    text = "OFF 4 102 0\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n0\n1 0\n2 0 1\n" + big + "\n";
    for (int i = 0; i < 98; ++i) text += "3 0 1 2\n";
    prepare_grid(1, 8);
    ASSERT_EQ(convert_reporting(text, 1), 0);
    EXPECT_EQ(reports, (std::vector<Report>{{100, 102}, {102, 102}}));
}

TEST_F(ScanConvertTest, WritesStayInsideTheGrid)
{
    // Placement off and a surface far beyond the grid on every side: each
    // mode clips, and the plain mode keeps row parity at the grid's ends.
    for (bool antialias : {false, true}) {
        app.antialias = antialias;
        prepare_grid(1, 10);
        ASSERT_EQ(convert(box_object({-30, -30, -30}, {30, 30, 3})), 0) << antialias;
        EXPECT_LT(distance_at(1, 4, 4, 8), 0);
        if (!antialias) {
            EXPECT_GT(distance_at(1, 4, 4, 4), 0);
        }
        prepare_grid(1, 10, {0, 0, 0}, 1e30);
        ASSERT_EQ(convert(box_object({-1, -1, -1}, {1, 1, 1})), 0) << antialias;
    }
    // The operations on their own, with corners far outside.
    prepare_grid(1, 6);
    VoxelGrid grid = grid_of(app.volumes[1].voxels.get(), app.volume_dims);
    TieBreaks tie;
    ASSERT_TRUE(make_tie_breaks(tie, grid.nx, grid.ny, grid.nz));
    reset_grid(grid, &tie, 0);
    std::vector<Vector3> far = {{-1e30, -1e30, -1e30}, {1e30, -1e30, 2}, {1e30, 1e30, 1e30}, {-3, 1e9, 2.5}};
    int32_t idx[4] = {0, 1, 2, 3};
    rasterise_polygon(grid, 4, far.data(), idx, 0);
    sample_polygon(grid, 4, far.data(), idx, 0, 1.1, tie);
}

// The antialiased sampling visits only the voxels near a face's plane; the
// plain loop over the face's whole box with polygon_distance is its
// reference, voxel for voxel.
TEST_F(ScanConvertTest, SamplingNearThePlaneEqualsTheWholeBox)
{
    std::mt19937 rng(41);
    std::uniform_real_distribution<double> at(-2, 14);
    prepare_grid(1, 12);
    VoxelGrid fast = grid_of(app.volumes[1].voxels.get(), app.volume_dims);
    std::vector<Voxel> slow_voxels(fast.size());
    VoxelGrid slow{slow_voxels.data(), fast.nx, fast.ny, fast.nz};
    TieBreaks fast_tie;
    ASSERT_TRUE(make_tie_breaks(fast_tie, fast.nx, fast.ny, fast.nz));
    std::vector<int16_t> slow_tie(fast.size());
    for (int trial = 0; trial < 60; ++trial) {
        reset_grid(fast, &fast_tie, 0);
        reset_grid(slow, nullptr, 0);
        std::fill(slow_tie.begin(), slow_tie.end(), int16_t{0});
        const double limit = trial % 3 == 0 ? 1.1 : 2.5;
        for (int face = 0; face < 4; ++face) {
            const int n = 3 + static_cast<int>(rng() % 3);
            std::vector<Vector3> corners(static_cast<size_t>(n));
            for (Vector3& c : corners) c = {at(rng), at(rng), at(rng)};
            if (trial % 4 == 1)
                for (Vector3& c : corners) c.z = corners[0].z;  // in a plane of the grid
            std::vector<int32_t> idx(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i) idx[i] = i;
            const uint32_t colour = static_cast<uint32_t>(rng());
            sample_polygon(fast, n, corners.data(), idx.data(), colour, limit, fast_tie);
            // The reference: every voxel of the face's box.
            const Vector3 side = vec_sub(corners[0], corners[1]);
            Vector3 across{0, 0, 0};
            int k = 2;
            for (; k < n; ++k) {
                across = vec_cross(vec_sub(corners[0], corners[k]), side);
                if (across.x != 0 || across.y != 0 || across.z != 0) break;
            }
            if (k == n) continue;
            const Vector3 normal = vec_normalise(across);
            // The face's box widened by the limit, as sampling bounds it.
            double lo[3] = {corners[0].x, corners[0].y, corners[0].z}, hi[3] = {lo[0], lo[1], lo[2]};
            for (const Vector3& c : corners) {
                const double p[3] = {c.x, c.y, c.z};
                for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], p[a]), hi[a] = std::max(hi[a], p[a]);
            }
            int from[3], to[3];
            for (int a = 0; a < 3; ++a) {
                from[a] = static_cast<int>(std::trunc(std::min(std::max(lo[a] - limit + 1.0, 0.0), 11.0)));
                to[a] = static_cast<int>(std::trunc(std::min(std::max(hi[a] + limit, 0.0), 11.0)));
            }
            for (int z = from[2]; z <= to[2]; ++z)
                for (int y = from[1]; y <= to[1]; ++y)
                    for (int x = from[0]; x <= to[0]; ++x) {
                        int16_t face_on = 0;
                        const double d = polygon_distance({double(x), double(y), double(z)}, n, corners.data(),
                                                          idx.data(), normal, limit, face_on);
                        if (std::isinf(d)) continue;
                        int value = d == 0.0 ? ON_SURFACE : static_cast<int>(std::trunc(DISTANCE_UNITS * d));
                        if (value == 0) value = d > 0.0 ? 1 : -1;
                        const size_t i = slow.index(x, y, z);
                        Voxel& v = slow.voxels[i];
                        const int stored = v.distance == ON_SURFACE ? 0 : std::abs(v.distance);
                        const int magnitude = value == ON_SURFACE ? 0 : std::abs(value);
                        if (v.distance == 0 || magnitude < stored || (magnitude == stored && face_on > slow_tie[i])) {
                            v.distance = static_cast<int16_t>(value);
                            v.colour = colour;
                            slow_tie[i] = face_on;
                        }
                    }
        }
        ASSERT_EQ(std::memcmp(fast.voxels, slow.voxels, fast.size() * sizeof(Voxel)), 0) << "trial " << trial;
        // The tie breaks kept in tiles read as the plain array.
        for (int z = 0; z < fast.nz; ++z)
            for (int y = 0; y < fast.ny; ++y)
                for (int x = 0; x < fast.nx; ++x)
                    ASSERT_EQ(tie_break_at(fast_tie, x, y, z), slow_tie[fast.index(x, y, z)]) << "trial " << trial;
        EXPECT_FALSE(fast_tie.out_of_memory);
    }
}

TEST_F(ScanConvertTest, RepeatedLoadStartsFromACleanGrid)
{
    for (bool antialias : {false, true}) {
        app.antialias = antialias;
        prepare_grid(1, 12);
        ASSERT_EQ(convert(box_object({-2, -2, -2}, {2, 2, 2})), 0);
        std::vector<int16_t> small = distances(1);
        ASSERT_EQ(convert(box_object({-4, -4, -4}, {4, 4, 4})), 0);
        ASSERT_EQ(convert(box_object({-2, -2, -2}, {2, 2, 2})), 0);
        EXPECT_EQ(distances(1), small) << antialias;
    }
}

}  // namespace
