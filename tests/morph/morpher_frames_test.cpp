// The same morph however it is asked for (file or memory, by number or by
// time, on any number of threads, beside another morpher, in one call), and
// ends that are the two surfaces.
#include "morph/morph_support.h"
#include "morph/load_memory.h"
#include "morph/morph_cost.h"

namespace {

TEST(MorpherFrames, FromAFileEqualsFromTheSameMeshInMemory)
{
    MorphParameters p = small_parameters(14, 4);
    const Surface sphere = Surface::memory(read_off(example("icosphere.off")));
    const Surface torus = Surface::memory(read_off(example("torus.off")));
    EXPECT_TRUE(same_frames(frames_of(ICOSPHERE, TORUS, p), frames_of(sphere, torus, p)));
    const double turn[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 2, 0, 0.5, 0, 0, 1};
    std::copy(turn, turn + 16, p.transform);
    EXPECT_TRUE(same_frames(frames_of(TORUS, ICOSPHERE, p), frames_of(torus, sphere, p)));
}

TEST(MorpherFrames, AVoxelSizeMorphsAsThePointsThatGiveIt)
{
    // The points fix the voxel as the shortest side over the points; the
    // same voxel given as a size gives the very same frames.
    MorphParameters by_points = small_parameters(14, 3);
    Morpher m(by_points);
    ASSERT_TRUE(m.load(ICOSPHERE, TORUS).ok());
    MorphParameters by_size = by_points;
    by_size.voxel_size = 1 / m.state().volumes[0].scale;
    by_size.min_points = 200;
    EXPECT_TRUE(same_frames(frames_of(ICOSPHERE, TORUS, by_points), frames_of(ICOSPHERE, TORUS, by_size)));
    for (double bad : {-1.0, std::nan(""), HUGE_VAL}) {
        by_size.voxel_size = bad;
        Morpher refused(by_size);
        const Result r = refused.load(ICOSPHERE, TORUS);
        EXPECT_EQ(r.problem, Problem::BadParameter) << bad;
        EXPECT_NE(r.reason.find("voxel size"), std::string::npos) << r.reason;
    }
    by_size.voxel_size = 1e-5;
    Morpher tiny(by_size);
    const Result r = tiny.load(ICOSPHERE, TORUS);
    EXPECT_EQ(r.problem, Problem::GridTooLarge);
    EXPECT_NE(r.reason.find("a larger voxel size with -d helps"), std::string::npos) << r.reason;
}

TEST(MorpherFrames, MemoryPositionsAreReadAtFloatPrecision)
{
    const MorphParameters p = small_parameters();
    EXPECT_TRUE(same_frames(frames_of(TORUS, Surface::memory(read_off(example("box.off"), false)), p),
                            frames_of(TORUS, Surface::memory(read_off(example("box.off"), true)), p)));
}

TEST(MorpherFrames, FrameAtTimeEqualsTheNumberedFrame)
{
    Morpher m(small_parameters());
    ASSERT_TRUE(m.load(ICOSPHERE, TORUS).ok());
    for (int i = 0; i < 4; ++i) {  // 1/3 and 2/3 are not exact in binary
        Mesh timed;
        ASSERT_TRUE(m.frame_at(i / 3.0, &timed).ok());
        EXPECT_TRUE(same_mesh(frame_of(m, i, 4), timed)) << "frame " << i;
    }
    EXPECT_TRUE(same_mesh(frame_of(m, 0, 4), frame_of(m, 0, 5)));
    EXPECT_TRUE(same_mesh(frame_of(m, 3, 4), frame_of(m, 4, 5)));
}

TEST(MorpherFrames, TheEndsAreTheSurfacesInTheirOwnUnits)
{
    MorphParameters p = small_parameters(16);
    p.scale_centres = p.scale_sizes = false;
    Morpher m(p);
    ASSERT_TRUE(m.load(ICOSPHERE, TORUS).ok());
    const double voxel = 1 / m.state().volumes[0].scale;
    const Mesh first = frame_of(m, 0), last = frame_of(m, 2);
    ASSERT_GT(first.vertex_count(), 100u);
    // The unit sphere in the default colour (levels 22, 44, 22 as bytes; a
    // blend may truncate a level), normals out, triangles counter-clockwise
    // from outside.
    for (size_t i = 0; i < first.colours.size(); ++i) ASSERT_NEAR(first.colours[i], i % 3 == 1 ? 178 : 181, 9);
    const auto point = [&](size_t i) {
        return Vector3{first.vertices.at(3 * i), first.vertices[3 * i + 1], first.vertices[3 * i + 2]};
    };
    for (size_t i = 0; i < first.vertex_count(); ++i) {
        const Vector3 n{first.normals[3 * i], first.normals[3 * i + 1], first.normals[3 * i + 2]};
        ASSERT_NEAR(std::sqrt(vec_dot(point(i), point(i))), 1.0, voxel / 2) << "vertex " << i;
        ASSERT_NEAR(vec_dot(n, n), 1.0, 1e-3) << "vertex " << i;
        ASSERT_GT(vec_dot(n, point(i)), 0.8) << "vertex " << i;
    }
    for (size_t f = 0; f < first.faces.size(); f += 3) {
        const Vector3 a = point(first.faces[f]), b = point(first.faces[f + 1]), c = point(first.faces[f + 2]);
        ASSERT_GT(vec_dot(vec_cross(vec_sub(b, a), vec_sub(c, a)), a), 0) << "triangle " << f / 3;
    }
    // The torus of radii 1 and 0.4 about z.
    double reach[3] = {0, 0, 0};
    for (size_t i = 0; i < last.vertices.size(); ++i)
        reach[i % 3] = std::max(reach[i % 3], std::fabs(last.vertices[i]));
    EXPECT_NEAR(reach[0], 1.4, voxel);
    EXPECT_NEAR(reach[1], 1.4, voxel);
    EXPECT_NEAR(reach[2], 0.4, voxel);
}

TEST(MorpherFrames, ThreadsDoNotChangeTheFrames)
{
    MorphParameters one = small_parameters(16, 4), two = one;
    one.threads = 1;
    two.threads = 2;
    const std::vector<Mesh> a = frames_of(ICOSPHERE, TORUS, one);
    EXPECT_TRUE(same_frames(a, frames_of(ICOSPHERE, TORUS, two)));
    Morpher m(one);
    ASSERT_TRUE(m.load(ICOSPHERE, TORUS).ok());
    FrameOptions options;
    options.threads = 2;
    EXPECT_TRUE(same_frames(a, all_frames(m, 4, options)));
}

// A loaded morph keeps each volume as its field (a third of the voxels'
// memory for these one-coloured surfaces) and frees the voxels, on one
// thread and on two; extracting spheres again reads the field.
TEST(MorpherFrames, ALoadKeepsTheFieldsAndFreesTheVoxels)
{
    for (int threads : {1, 2}) {
        MorphParameters p = small_parameters(16, 3);
        p.threads = threads;
        Morpher m(p);
        ASSERT_TRUE(m.load(ICOSPHERE, TORUS).ok());
        const MorphState& s = m.state();
        const int64_t voxels = int64_t(s.volume_dims[0]) * s.volume_dims[1] * s.volume_dims[2];
        for (int side = 0; side < 2; ++side) {
            const Volume& v = s.volumes[side];
            EXPECT_FALSE(v.voxels);
            ASSERT_TRUE(v.field.present());
            EXPECT_LT(volume_field_bytes(v.field), voxels * int64_t(sizeof(Voxel)) / 2);
            // What the load's memory check counted for it holds.
            EXPECT_TRUE(s.one_colour[side]);
            EXPECT_LE(volume_field_bytes(v.field), field_memory_bytes(s.volume_dims, true));
        }
        const size_t spheres = s.volumes[0].spheres.size();
        Mesh before, after;
        ASSERT_TRUE(m.frame(1, 3, &before).ok());
        ASSERT_TRUE(m.extract_spheres().ok());
        EXPECT_EQ(s.volumes[0].spheres.size(), spheres);
        ASSERT_TRUE(m.link().ok());
        ASSERT_TRUE(m.frame(1, 3, &after).ok());
        EXPECT_TRUE(same_frames({before}, {after}));
    }
}

// The cost told before a sequence counts the lattice near the surfaces:
// a part of it, less as the grid gets finer.
TEST(MorpherFrames, TheCostCountsTheLatticeNearTheSurfaces)
{
    double near[2];
    for (int i = 0; i < 2; ++i) {
        Morpher m(small_parameters(i == 0 ? 24 : 48, 5));
        ASSERT_TRUE(m.load(ICOSPHERE, TORUS).ok());
        ASSERT_TRUE(m.link().ok());
        const MorphCost cost = morph_cost(m.state());
        near[i] = cost.near_fraction;
        EXPECT_GT(near[i], 0.0);
        EXPECT_LT(near[i], 1.0);
        EXPECT_GT(cost.seconds, 0.0);
    }
    EXPECT_LT(near[1], near[0]);
}

// The sizing pass tells a surface of many colours from a one-coloured one,
// and each field stays within what the memory check counted for it.
TEST(MorpherFrames, TheMemoryCheckCountsAColouredFieldAsSuch)
{
    Morpher m(small_parameters(24, 3));
    ASSERT_TRUE(m.load(Surface::file(example("cube_coloured.off")), TORUS).ok());
    const MorphState& s = m.state();
    EXPECT_FALSE(s.one_colour[0]);
    EXPECT_TRUE(s.one_colour[1]);
    EXPECT_EQ(s.objects[0], 1);
    for (int side = 0; side < 2; ++side)
        EXPECT_LE(volume_field_bytes(s.volumes[side].field), field_memory_bytes(s.volume_dims, s.one_colour[side]));
}

// Loaded side by side or in turn, the distances packed or in tiles (as a
// large grid's are), the volumes, spheres and frames are the same.
TEST(MorpherFrames, SidesLoadedInTurnAndTiledGiveTheSameMorph)
{
    for (int threads : {1, 2}) {
        MorphParameters p = small_parameters(16, 4);
        p.threads = threads;
        Morpher together(p), in_turn(p);
        in_turn.state().sides_in_turn_from = 0;
        in_turn.state().tiled_from_voxels = 0;
        ASSERT_TRUE(together.load(ICOSPHERE, TORUS).ok());
        ASSERT_TRUE(in_turn.load(ICOSPHERE, TORUS).ok());
        const MorphState &a = together.state(), &b = in_turn.state();
        const size_t voxels = static_cast<size_t>(voxel_count(a));
        ASSERT_EQ(voxel_count(b), voxel_count(a));
        for (int side = 0; side < 2; ++side) {
            const Volume &u = a.volumes[side], &v = b.volumes[side];
            ASSERT_TRUE(u.field.packed && v.field.tiles && !v.voxels) << side;
            // Only the tiles on the outer layer keep their distances whole.
            const int16_t* dims = b.volume_dims;
            EXPECT_LE(v.field.tiles.bytes(), distance_tiles_bytes(dims[0], dims[1], dims[2]));
            const FieldView fu = field_view(u.field), fv = field_view(v.field);
            for (size_t i = 0; i < voxels; ++i) ASSERT_EQ(fu.distance(i), fv.distance(i)) << side << " " << i;
            EXPECT_EQ(u.field.colours.uniform, v.field.colours.uniform);
            ASSERT_EQ(u.spheres.size(), v.spheres.size()) << side;
            for (size_t k = 0; k < u.spheres.size(); ++k) {
                const Sphere &s = u.spheres[k], &t = v.spheres[k];
                ASSERT_TRUE(s.x == t.x && s.y == t.y && s.z == t.z && s.radius == t.radius) << side << " " << k;
            }
        }
        EXPECT_TRUE(same_frames(all_frames(together, 4), all_frames(in_turn, 4))) << threads << " threads";
    }
}

TEST(MorpherFrames, TwoMorphersDoNotDisturbEachOther)
{
    const MorphParameters p = small_parameters();
    MorphParameters q = small_parameters(12);
    q.strength = 2;
    q.transform[12] = 1;
    const Surface cube = Surface::file(example("cube.stl"));
    const std::vector<Mesh> a_alone = frames_of(ICOSPHERE, TORUS, p), b_alone = frames_of(cube, ICOSPHERE, q);
    // Interleaved on one thread,
    Morpher a(p), b(q);
    ASSERT_TRUE(a.load(ICOSPHERE, TORUS).ok());
    ASSERT_TRUE(b.load(cube, ICOSPHERE).ok());
    std::vector<Mesh> a_frames{frame_of(a, 0)};
    ASSERT_TRUE(b.link().ok());
    a_frames.push_back(frame_of(a, 1));
    const std::vector<Mesh> b_frames = all_frames(b, 3);
    a_frames.push_back(frame_of(a, 2));
    EXPECT_TRUE(same_frames(a_alone, a_frames));
    EXPECT_TRUE(same_frames(b_alone, b_frames));
    // and at once on two.
    std::vector<Mesh> b_thread;
    std::thread other([&] { b_thread = frames_of(cube, ICOSPHERE, q); });
    EXPECT_TRUE(same_frames(a_alone, frames_of(ICOSPHERE, TORUS, p)));
    other.join();
    EXPECT_TRUE(same_frames(b_alone, b_thread));
}

TEST(MorpherFrames, QuickMorphingGivesFramesWithoutSpheres)
{
    MorphParameters p = small_parameters();
    const std::vector<Mesh> spheres = frames_of(ICOSPHERE, TORUS, p);
    p.quick_morph = true;
    Morpher m(p);
    ASSERT_TRUE(m.load(ICOSPHERE, TORUS).ok());
    EXPECT_TRUE(m.extract_spheres().ok() && m.link().ok());
    EXPECT_EQ(m.sphere_count(0) + m.sphere_count(1), 0);
    const std::vector<Mesh> quick = all_frames(m, 3);
    EXPECT_TRUE(same_mesh(spheres[0], quick[0]));
    EXPECT_TRUE(same_mesh(spheres[2], quick[2]));
    ASSERT_GT(quick[1].vertex_count(), 0u);
    EXPECT_FALSE(same_mesh(spheres[1], quick[1]));
}

TEST(OneCallMorph, EqualsAMorpherStepByStep)
{
    MorphOptions options;
    options.parameters = small_parameters(14, 4);
    options.vectors = {{{1, 0, 0}, {0, 1.4, 0}}};
    Recorder recorder;
    options.observer = &recorder;
    const std::vector<Mesh> frames = morph(ICOSPHERE, TORUS, options);
    Morpher m(options.parameters);
    ASSERT_TRUE(m.load(ICOSPHERE, TORUS).ok());
    m.add_vector(options.vectors[0]);
    EXPECT_TRUE(same_frames(frames, all_frames(m, 4)));
    EXPECT_EQ(recorder.events.back().frame, 3);
}

Result error_of(const Surface& target, const MorphOptions& options)
{
    try {
        morph(ICOSPHERE, target, options);
    } catch (const MorphError& e) {
        EXPECT_EQ(e.what(), e.result().reason);
        return e.result();
    }
    ADD_FAILURE() << "no error";
    return Result{};
}

TEST(OneCallMorph, ThrowsTheResultThatStoppedIt)
{
    const std::string missing = std::string(KESTRANE_BINARY_DIR) + "/no-such-surface.off";
    const Result r = error_of(Surface::file(missing), MorphOptions{});
    EXPECT_TRUE(r.problem == Problem::CannotOpen && r.side == 1 && r.file == missing) << r.reason;
    MorphOptions options;
    options.parameters = small_parameters(12, 1);
    EXPECT_EQ(error_of(TORUS, options).problem, Problem::BadParameter);
    std::atomic<bool> cancel{true};
    options.parameters.frame_count = 3;
    options.cancel = &cancel;
    EXPECT_EQ(error_of(TORUS, options).problem, Problem::Cancelled);
}

}  // namespace

// The displacements frames share are keyed by what they read: new links, new
// spheres and a new load each give the frames a fresh Morpher gives.
TEST(MorpherFrames, FramesAfterAChangeEqualAFreshMorphersFrames)
{
    const MorphParameters p = small_parameters(16, 5);
    Morpher m(p);
    ASSERT_TRUE(m.load(ICOSPHERE, TORUS).ok());
    const Mesh before = frame_of(m, 2, 5);
    m.parameters().strength = p.strength * 0.1;
    ASSERT_TRUE(m.link().ok());
    const Mesh relinked = frame_of(m, 2, 5);
    m.parameters().locality = p.locality * 0.4;
    ASSERT_TRUE(m.extract_spheres().ok());
    ASSERT_TRUE(m.link().ok());
    const Mesh extracted = frame_of(m, 2, 5);
    ASSERT_TRUE(m.load(TORUS, ICOSPHERE).ok());
    const Mesh reloaded = frame_of(m, 2, 5);

    MorphParameters q = p;
    q.strength = p.strength * 0.1;
    Morpher fresh(q);
    ASSERT_TRUE(fresh.load(ICOSPHERE, TORUS).ok());
    EXPECT_TRUE(same_mesh(relinked, frame_of(fresh, 2, 5)));
    EXPECT_FALSE(same_mesh(relinked, before));
    EXPECT_FALSE(same_mesh(extracted, relinked));
    q.locality = p.locality * 0.4;
    Morpher fresh_spheres(q);
    ASSERT_TRUE(fresh_spheres.load(ICOSPHERE, TORUS).ok());
    EXPECT_TRUE(same_mesh(extracted, frame_of(fresh_spheres, 2, 5)));
    Morpher fresh_load(q);
    ASSERT_TRUE(fresh_load.load(TORUS, ICOSPHERE).ok());
    EXPECT_TRUE(same_mesh(reloaded, frame_of(fresh_load, 2, 5)));
}
