#include <algorithm>
#include <string>
#include <vector>

#include "shape/distance_sweeps.h"
#include "shape/distance_transform.h"
#include "shape/sphere_candidates.h"
#include "shape/sphere_extraction.h"
#include "shape_support.h"

using namespace kestrane;

namespace {

class SphereExtractionTest : public ShapeTest {};

// A transformed ball of radius r voxels centred on voxel (c, c, c).
void transformed_ball(int v, int n, double r)
{
    double c = (n - 1) / 2.0;
    make_ball(v, n, c, c, c, r);
    distance_transform(v);
}

TEST_F(SphereExtractionTest, BallGivesItsDeepestVoxelAndLocalityControlsTheCount)
{
    transformed_ball(0, 25, 9);
    ASSERT_EQ(extract_spheres(0), 0);
    const Volume& volume = app.volumes[0];
    ASSERT_GT(volume.sphere_count, 0);
    EXPECT_EQ(volume.spheres.size(), static_cast<size_t>(volume.sphere_count));
    EXPECT_EQ(volume.sphere_shift.size(), static_cast<size_t>(volume.sphere_count));
    auto deepest = std::max_element(volume.spheres.begin(), volume.spheres.end(),
                                    [](const Sphere& a, const Sphere& b) { return a.radius < b.radius; });
    EXPECT_EQ(deepest->x, 12);
    EXPECT_EQ(deepest->y, 12);
    EXPECT_EQ(deepest->z, 12);
    EXPECT_EQ(deepest->radius, voxel(0, 12, 12, 12).distance);
    // Every survivor lies outside the chosen centre sphere (locality 1).
    for (const Sphere& s : volume.spheres) {
        EXPECT_EQ(s.linked, 0);
        if (&s == &*deepest) continue;
        EXPECT_GE(chamfer_length(s.x - 12, s.y - 12, s.z - 12), deepest->radius);
    }
    // Spheres are kept in voxel order.
    for (size_t i = 1; i < volume.spheres.size(); ++i) {
        const Sphere &a = volume.spheres[i - 1], &b = volume.spheres[i];
        EXPECT_LT(std::make_tuple(a.z, a.y, a.x), std::make_tuple(b.z, b.y, b.x));
    }

    // A capsule's ridge is a whole segment of candidates: a smaller locality
    // keeps more of them.
    make_capsule(0, 31, 8, 22, 15, 15, 5.5);
    distance_transform(0);
    ASSERT_EQ(extract_spheres(0), 0);
    int at_full_locality = app.volumes[0].sphere_count;
    EXPECT_GE(at_full_locality, 2);
    app.locality = 0.5;
    ASSERT_EQ(extract_spheres(0), 0);
    EXPECT_GT(app.volumes[0].sphere_count, at_full_locality);
}

CandidateList list_of(const std::vector<Sphere>& spheres)
{
    CandidateList list;
    for (const Sphere& s : spheres) {
        if (list.count == list.capacity()) {
            EXPECT_TRUE(list.grow());
        }
        list[list.count++] = s;
    }
    return list;
}

std::vector<uint8_t> states(const CandidateList& list)
{
    std::vector<uint8_t> s;
    for (size_t i = 0; i < list.count; ++i) s.push_back(list[i].linked);
    return s;
}

TEST_F(SphereExtractionTest, EqualRadiiChooseTheEarlierCandidate)
{
    // Each suppresses the other; the one earlier in z, y, x order wins.
    std::vector<Sphere> spheres = {{6, 5, 5, 44, 0}, {5, 5, 5, 44, 0}, {5, 9, 9, 20, 0}};
    for (bool direct : {true, false}) {
        CandidateList list = list_of(spheres);
        if (direct) {
            select_spheres_direct(list, 1.0);
        } else {
            select_spheres_grid(list, 1.0);
        }
        EXPECT_EQ(states(list), (std::vector<uint8_t>{CANDIDATE_CHOSEN, CANDIDATE_SUPPRESSED, CANDIDATE_CHOSEN}))
            << (direct ? "direct" : "grid");
    }
}

std::vector<Sphere> random_candidates(std::mt19937& rng, int count, int extent, int radius_range)
{
    std::vector<Sphere> spheres;
    for (int i = 0; i < count; ++i)
        spheres.push_back(Sphere{static_cast<int16_t>(rng() % extent), static_cast<int16_t>(rng() % extent),
                                 static_cast<int16_t>(rng() % extent),
                                 static_cast<int16_t>(1 + rng() % radius_range), 0});
    return spheres;
}

TEST_F(SphereExtractionTest, GridSelectionChoosesExactlyWhatRescanningChooses)
{
    std::mt19937 rng(2024);
    const double localities[] = {0.0, 0.1, 0.5, 1.0, 1.7, 5.0, -1.0};
    for (int round = 0; round < 12; ++round) {
        // Few radii make many equal ones; a wide extent makes coarse cells.
        int extent = round % 4 == 3 ? 30000 : 10 + round * 5;
        std::vector<Sphere> spheres = random_candidates(rng, 50 + 40 * round, extent, round % 2 ? 6 : 300);
        for (double locality : localities) {
            CandidateList direct = list_of(spheres), grid = list_of(spheres);
            select_spheres_direct(direct, locality);
            select_spheres_grid(grid, locality);
            ASSERT_EQ(states(direct), states(grid)) << "round " << round << " locality " << locality;
        }
    }
}

TEST_F(SphereExtractionTest, CandidateOverflowSwitchesToQuickMorphing)
{
    // Many ridge voxels: a field of isolated inside voxels.
    make_volume(0, 40, 40, 40);
    for (int z = 1; z < 39; z += 2)
        for (int y = 1; y < 39; y += 2)
            for (int x = 1; x < 39; x += 2) voxel(0, x, y, z).distance = 60;
    std::vector<Sphere> spheres(3, Sphere{1, 1, 1, 22, 1});

    SphereExtractionOptions small;
    small.candidate_capacity_limit = CANDIDATE_BLOCK;
    EXPECT_EQ(extract_spheres(field(0), app.locality, &spheres, small), EXTRACT_OVERFLOW);
    EXPECT_TRUE(spheres.empty());

    // With room for every candidate the same volume extracts normally; a
    // small locality keeps every isolated voxel.
    app.quick_morph = false;
    app.locality = 0.1;
    small.candidate_capacity_limit = 4 * CANDIDATE_BLOCK;
    EXPECT_EQ(extract_spheres_with(0, small), 0);
    EXPECT_FALSE(app.quick_morph);
    EXPECT_EQ(app.volumes[0].sphere_count, 19 * 19 * 19);
}

TEST_F(SphereExtractionTest, FailureCodesLeaveNoSphereArrays)
{
    // No memory for even the first block of candidates.
    transformed_ball(0, 15, 5);
    SphereExtractionOptions none;
    none.candidate_capacity_limit = CANDIDATE_BLOCK - 1;
    EXPECT_EQ(extract_spheres_with(0, none), 1);
    EXPECT_EQ(app.volumes[0].sphere_count, 0);
    EXPECT_TRUE(app.volumes[0].spheres.empty());

    // Nothing inside: no sphere found.
    make_volume(1, 15, 15, 15);
    distance_transform(1);
    app.volumes[1].spheres.assign(2, Sphere{1, 1, 1, 22, 0});
    app.volumes[1].sphere_count = 2;
    EXPECT_EQ(extract_spheres(1), 3);
    EXPECT_EQ(app.volumes[1].sphere_count, 0);
    EXPECT_TRUE(app.volumes[1].spheres.empty());
    EXPECT_TRUE(app.volumes[1].sphere_shift.empty());

    // No grid at all is the same as nothing inside.
    app.volumes[1].voxels.reset();
    EXPECT_EQ(extract_spheres(1), 3);
}

}  // namespace
