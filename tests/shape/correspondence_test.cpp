#include <vector>

#include "shape/correspondence.h"
#include "shape/distance_transform.h"
#include "shape/sphere_extraction.h"
#include "shape_support.h"

using namespace kestrane;

namespace {

class CorrespondenceTest : public ShapeTest {};

void add_vector(Vector3 start, Vector3 end)
{
    app.vectors.push_back(CorrespondenceVector{{start.x, start.y, start.z}, {end.x, end.y, end.z}});
}

void expect_near(Vector3 a, Vector3 b, double tolerance = 1e-9)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

TEST_F(CorrespondenceTest, WarpWithNoneOneAndSeveralVectors)
{
    Vector3 s, g;
    warp_point({3.5, -2, 7}, 0.3, &s, &g);  // none: the point stays
    expect_near(s, {3.5, -2, 7}, 0);
    expect_near(g, {3.5, -2, 7}, 0);

    // One vector moves every point by its displacement.
    add_vector({5, 5, 5}, {8, 4, 5});
    for (Vector3 p : {Vector3{5, 5, 5}, Vector3{-40, 100, 3}}) {
        warp_point(p, 0, &s, &g);
        expect_near(s, p);
        expect_near(g, {p.x + 3, p.y - 1, p.z});
        warp_point(p, 1, &s, &g);
        expect_near(s, {p.x - 3, p.y + 1, p.z});
        expect_near(g, p);
        warp_point(p, 0.25, &s, &g);
        expect_near(s, {p.x - 0.75, p.y + 0.25, p.z});
        expect_near(g, {p.x + 2.25, p.y - 0.75, p.z});
    }

    // Several blend by inverse square distance; at a vector's own start the
    // 0.1 keeps its weight finite but dominant.
    app.vectors.clear();
    add_vector({0, 0, 0}, {2, 0, 0});
    add_vector({100, 0, 0}, {100, 4, 0});
    warp_point({0, 0, 0}, 0, &s, &g);
    double w1 = 1 / 0.1, w2 = 1 / (100.0 * 100.0 + 0.1);
    expect_near(s, {0, 0, 0});
    expect_near(g, {2 * w1 / (w1 + w2), 4 * w2 / (w1 + w2), 0});
    warp_point({50, 0, 0}, 0, &s, &g);  // halfway the two count equally
    expect_near(g, {51, 2, 0});
}

// Volumes of one constant inside distance, so that every sample inside the
// box reads the same, and one sphere each.
void constant_volumes(Sphere source, Sphere target, int16_t inside = 44)
{
    for (int v = 0; v < 2; ++v) {
        make_volume(v, 12, 12, 12, inside);
        Sphere s = v == 0 ? source : target;
        app.volumes[v].spheres.assign(1, s);
        app.volumes[v].sphere_shift.assign(1, Vector3{7, 7, 7});
        app.volumes[v].sphere_count = 1;
    }
}

TEST_F(CorrespondenceTest, PairLinksWhenBothRadiiExceedTheScaledMismatch)
{
    // a = b = (1, 0, 0): Q = R = 22 - |44 - 44| = 22, so S = 22 / strength.
    for (double strength : {0.4, 0.5, 0.51, 1.0}) {
        app.strength = strength;
        constant_volumes({5, 5, 5, 44, 0}, {6, 5, 5, 44, 0});
        ASSERT_EQ(correspond_spheres(), 0);
        bool linked = strength > 0.5;
        EXPECT_EQ(app.volumes[0].spheres[0].linked, linked) << strength;
        EXPECT_EQ(app.volumes[1].spheres[0].linked, linked) << strength;
        Vector3 shift = linked ? Vector3{1, 0, 0} : Vector3{0, 0, 0};
        expect_near(app.volumes[0].sphere_shift[0], shift, 1e-12);
        expect_near(app.volumes[1].sphere_shift[0], shift, 1e-12);
    }
}

TEST_F(CorrespondenceTest, RadiusMismatchCountsAgainstTheLink)
{
    // Same place, radii 66 and 44 in a field of 44: R = 0 - 22, Q = 0 - 0.
    constant_volumes({5, 5, 5, 66, 0}, {5, 5, 5, 44, 0});
    app.strength = 1e-9;
    ASSERT_EQ(correspond_spheres(), 0);
    EXPECT_EQ(app.volumes[0].spheres[0].linked, 1);
    // A perfect match stays linked even at a zero strength.
    app.strength = 0;
    ASSERT_EQ(correspond_spheres(), 0);
    EXPECT_EQ(app.volumes[0].spheres[0].linked, 1);
}

TEST_F(CorrespondenceTest, NothingChangesWithoutSpheresOnEitherSide)
{
    constant_volumes({5, 5, 5, 44, 1}, {5, 5, 5, 44, 1});
    app.volumes[1].spheres.clear();
    app.volumes[1].sphere_shift.clear();
    app.volumes[1].sphere_count = 0;
    ASSERT_EQ(correspond_spheres(), 0);
    EXPECT_EQ(app.volumes[0].spheres[0].linked, 1);
    expect_near(app.volumes[0].sphere_shift[0], {7, 7, 7}, 0);
}

// Capsules of radius r voxels along x from the given centres, transformed
// and extracted.
void capsule_volumes(Vector3 source, Vector3 target, double r, double locality = 0.5, double length = 6)
{
    app.locality = locality;
    make_capsule(0, 31, source.x - length / 2, source.x + length / 2, source.y, source.z, r);
    distance_transform(0);
    make_capsule(1, 31, target.x - length / 2, target.x + length / 2, target.y, target.z, r);
    distance_transform(1);
    ASSERT_EQ(extract_spheres(0), 0);
    ASSERT_EQ(extract_spheres(1), 0);
}

std::vector<uint8_t> links(int v)
{
    std::vector<uint8_t> l;
    for (const Sphere& s : app.volumes[v].spheres) l.push_back(s.linked);
    return l;
}

TEST_F(CorrespondenceTest, DoublingStrengthKeepsEveryLink)
{
    capsule_volumes({12, 15, 15}, {18, 14, 15}, 7);
    int kept_links = 0;
    for (double strength : {0.05, 0.2, 0.5, 1.0}) {
        app.strength = strength;
        ASSERT_EQ(correspond_spheres(), 0);
        std::vector<uint8_t> before[2] = {links(0), links(1)};
        app.strength = 2 * strength;
        ASSERT_EQ(correspond_spheres(), 0);
        for (int v = 0; v < 2; ++v)
            for (size_t i = 0; i < before[v].size(); ++i) {
                if (!before[v][i]) continue;
                EXPECT_EQ(app.volumes[v].spheres[i].linked, 1) << strength << " " << v << " " << i;
                ++kept_links;
            }
    }
    EXPECT_GT(kept_links, 0);
}

TEST_F(CorrespondenceTest, TwinsArePerfectMatches)
{
    // Identical shapes, and shapes moved along a vector that says so: each
    // sphere's twin lands exactly on it, so only perfect matches survive.
    for (bool moved : {false, true}) {
        app.vectors.clear();
        if (moved) {
            capsule_volumes({11, 15, 15}, {17, 15, 15}, 5, 0.4);
            add_vector({11, 15, 15}, {17, 15, 15});
        } else {
            capsule_volumes({15, 15, 15}, {15, 15, 15}, 9, 0.3);
        }
        ASSERT_GT(app.volumes[0].sphere_count, 1);
        ASSERT_EQ(app.volumes[0].sphere_count, app.volumes[1].sphere_count);
        app.strength = 1e-6;
        ASSERT_EQ(correspond_spheres(), 0);
        for (int v = 0; v < 2; ++v)
            for (const Sphere& s : app.volumes[v].spheres) EXPECT_EQ(s.linked, 1) << moved;
    }
}

}  // namespace
