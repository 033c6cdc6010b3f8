// Manual vectors: kept in the surfaces' own units, placed where the load
// put the surfaces, and taken into the next frame's links.
#include <cmath>

#include "morph/morph_support.h"

namespace {

// A quarter turn about z, z stretched by 2, moved by (3, -1, 0.5).
MorphParameters turned_parameters()
{
    MorphParameters p = small_parameters(16);
    const double m[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 2, 0, 3, -1, 0.5, 1};
    std::copy(m, m + 16, p.transform);
    return p;
}

// Volume `side`'s distance, in voxel edges, at the voxel nearest q.
double distance_at(const Morpher& m, int side, const double q[3])
{
    const MorphState& s = m.state();
    long index = 0;
    for (int a = 2; a >= 0; --a) {
        const long i = std::lround(q[a]);
        EXPECT_TRUE(i >= 0 && i < s.volume_dims[a]) << "axis " << a << " at " << q[a];
        index = index * s.volume_dims[a] + std::clamp<long>(i, 0, s.volume_dims[a] - 1);
    }
    return volume_field(s, side).distance(index) / static_cast<double>(DISTANCE_UNITS);
}

TEST(MorpherVectors, KeptInTheSurfacesUnits)
{
    for (const MorphParameters& p : {small_parameters(), turned_parameters()}) {
        Morpher m(p);
        ASSERT_TRUE(m.load(ICOSPHERE, TORUS).ok());
        const Correspondence given[2] = {{{1, 0, 0}, {0, 1.4, 0}}, {{0.1, -0.7, 0.7}, {-0.6, 0.2, -0.3}}};
        for (const Correspondence& v : given) m.add_vector(v);
        const std::vector<Correspondence> back = m.vectors();
        ASSERT_EQ(back.size(), 2u);
        for (int i = 0; i < 4; ++i) {
            const Vector3 got = i & 1 ? back[i / 2].end : back[i / 2].start;
            const Vector3 want = i & 1 ? given[i / 2].end : given[i / 2].start;
            EXPECT_LT(std::fabs(got.x - want.x) + std::fabs(got.y - want.y) + std::fabs(got.z - want.z), 1e-9)
                << "end " << i << ", transform " << p.transform[12];
        }
    }
}

TEST(MorpherVectors, PlacedWhereTheLoadPutTheSurfaces)
{
    Morpher m(turned_parameters());
    ASSERT_TRUE(m.load(ICOSPHERE, TORUS).ok());
    // The sphere's centre and the torus's tube are inside; a point off
    // the sphere and the torus's hole are not.
    m.add_vector({{0, 0, 0}, {1, 0, 0}});
    m.add_vector({{0.9, 0.9, 0}, {0, 0, 0}});
    const std::vector<CorrespondenceVector>& v = m.state().vectors;
    ASSERT_EQ(v.size(), 2u);
    EXPECT_NEAR(distance_at(m, 0, v[0].start), m.state().volumes[0].scale, 1.5);
    EXPECT_NEAR(distance_at(m, 1, v[0].end), 0.4 * m.state().volumes[1].scale, 1.5);
    EXPECT_LT(distance_at(m, 0, v[1].start), 0);
    EXPECT_LT(distance_at(m, 1, v[1].end), 0);
}

TEST(MorpherVectors, PlacedByTheTransformTheLoadUsed)
{
    Morpher m(small_parameters(16));
    ASSERT_TRUE(m.load(ICOSPHERE, TORUS).ok());
    m.parameters().transform[12] = 4;
    m.add_vector({{0, 0, 0}, {1, 0, 0}});
    EXPECT_NEAR(distance_at(m, 0, m.state().vectors.at(0).start), m.state().volumes[0].scale, 1.5);
}

TEST(MorpherVectors, RemovedByIndexAndClearedByALoad)
{
    Morpher m(small_parameters());
    ASSERT_TRUE(m.load(ICOSPHERE, TORUS).ok());
    for (double x : {0.1, 0.2, 0.3}) m.add_vector({{x, 0, 0}, {0, x, 0}});
    EXPECT_FALSE(m.remove_vector(3));
    EXPECT_TRUE(m.remove_vector(1));
    const std::vector<Correspondence> left = m.vectors();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_NEAR(left[0].start.x, 0.1, 1e-9);
    EXPECT_NEAR(left[1].start.x, 0.3, 1e-9);
    m.clear_vectors();
    EXPECT_TRUE(m.vectors().empty());
    m.add_vector({{0.1, 0, 0}, {0, 0.1, 0}});
    ASSERT_TRUE(m.load(ICOSPHERE, TORUS).ok());
    EXPECT_TRUE(m.vectors().empty());
}

TEST(MorpherVectors, AVectorChangesTheNextFrame)
{
    Morpher m(small_parameters(16));
    ASSERT_TRUE(m.load(ICOSPHERE, TORUS).ok());
    const Mesh before = frame_of(m, 1), last = frame_of(m, 2);
    const int links = m.linked_count(0) + m.linked_count(1);
    m.add_vector({{0, 0, 1}, {1.4, 0, 0}});  // the sphere's top to one side of the ring
    const Mesh with = frame_of(m, 1);
    EXPECT_FALSE(same_mesh(before, with));
    ASSERT_TRUE(m.link().ok());
    EXPECT_TRUE(same_mesh(with, frame_of(m, 1))) << "linking again changes nothing";
    EXPECT_TRUE(same_mesh(last, frame_of(m, 2))) << "the ends are the surfaces, whatever the links";
    ASSERT_TRUE(m.remove_vector(0));
    EXPECT_TRUE(same_mesh(before, frame_of(m, 1))) << "the links are redone without it";
    EXPECT_EQ(m.linked_count(0) + m.linked_count(1), links);
}

}  // namespace
