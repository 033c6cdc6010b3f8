// Steps that fail: what the Result says, and that a failed load leaves
// nothing behind, even after a load that worked.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

#include <unistd.h>

#include "morph/morph_support.h"

namespace {

// A good morph with a vector, for a failure to clear.
Morpher loaded_morpher(const MorphParameters& p = small_parameters())
{
    Morpher m(p);
    EXPECT_TRUE(m.load(ICOSPHERE, TORUS).ok());
    m.add_vector({{1, 0, 0}, {1, 0, 0}});
    return m;
}

void expect_nothing_loaded(Morpher& m)
{
    EXPECT_FALSE(m.loaded());
    EXPECT_TRUE(m.vectors().empty());
    EXPECT_EQ(m.sphere_count(0) + m.sphere_count(1), 0);
    Mesh frame;
    EXPECT_EQ(m.frame(0, 3, &frame).problem, Problem::NotLoaded);
    EXPECT_EQ(m.frame_at(0.5, &frame).problem, Problem::NotLoaded);
    EXPECT_EQ(m.extract_spheres().problem, Problem::NotLoaded);
    EXPECT_EQ(m.link().problem, Problem::NotLoaded);
}

Result load_side(Morpher& m, int side, const Surface& bad)
{
    return side == 0 ? m.load(bad, TORUS) : m.load(ICOSPHERE, bad);
}

TEST(MorpherFailures, AMissingFileCannotBeOpened)
{
    const std::string missing = std::string(KESTRANE_BINARY_DIR) + "/no-such-surface.off";
    for (int side = 0; side < 2; ++side) {
        Morpher m = loaded_morpher();
        const Result r = load_side(m, side, Surface::file(missing));
        EXPECT_TRUE(r.problem == Problem::CannotOpen && r.side == side && r.file == missing);
        EXPECT_EQ(r.reason, "`" + missing + "' cannot be opened: " + std::strerror(ENOENT));
        expect_nothing_loaded(m);
    }
}

TEST(MorpherFailures, FilesThatAreNoSurface)
{
    const std::string dir = testing::TempDir() + "kestrane-morph-" + std::to_string(getpid()) + "-";
    const struct Case {
        std::string path, text, reason;
    } cases[] = {
        {dir + "words.off", "this is no surface\n", "holds no vertices"},
        {dir + "words.stl", "this is no surface\n", "could not be read as STL"},
        {dir + "cut.off", "OFF\n4 2 0\n0 0 0\n1 0 0\n1 1 0\n", ""},
        {dir + "flat.off", "OFF\n4 2 0\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n3 0 1 2\n3 0 2 3\n", "no thickness"},
    };
    for (const Case& c : cases)
        for (int side = 0; side < 2; ++side) {
            std::ofstream(c.path) << c.text;
            Morpher m = loaded_morpher();
            const Result r = load_side(m, side, Surface::file(c.path));
            EXPECT_TRUE(r.problem == Problem::Unreadable && r.side == side && r.file == c.path) << r.reason;
            EXPECT_EQ(r.reason.find("`" + c.path + "'"), 0u) << r.reason;
            EXPECT_NE(r.reason.find(c.reason), std::string::npos) << r.reason;
            expect_nothing_loaded(m);
            std::remove(c.path.c_str());
        }
}

TEST(MorpherFailures, MeshesInMemoryThatAreNoSurface)
{
    PolygonMesh nan = triangle(), far_corner = triangle();
    nan.objects[0].positions[2].y = std::nan("");
    far_corner.objects[0].corners[1] = 7;
    MorphParameters p = small_parameters();
    p.scale_sizes = false;  // a triangle has no thickness to match
    for (const auto& [name, mesh] : {std::pair{"empty", PolygonMesh{}}, {"nan", nan}, {"far corner", far_corner}})
        for (int side = 0; side < 2; ++side) {
            Morpher m = loaded_morpher(p);
            const Result r = load_side(m, side, Surface::memory(mesh, name));
            EXPECT_TRUE(r.problem == Problem::Unreadable && r.side == side && r.file == name) << r.reason;
            expect_nothing_loaded(m);
        }
}

TEST(MorpherFailures, StepsBeforeALoadOrAfterARelease)
{
    Morpher m(small_parameters());
    expect_nothing_loaded(m);
    Morpher n = loaded_morpher();
    n.release();
    expect_nothing_loaded(n);
}

TEST(MorpherFailures, ParametersOutOfTheirRange)
{
    const double nan = std::nan("");
    const std::function<void(MorphParameters&)> bad[] = {
        [](auto& p) { p.min_points = 0; },
        [](auto& p) { p.resolution = 0; },  [](auto& p) { p.resolution = 9; },
        [](auto& p) { p.threads = 257; },   [](auto& p) { p.antialias_distance = -0.5; },
        [=](auto& p) { p.antialias_distance = nan; }, [](auto& p) { p.strength = HUGE_VAL; },
        [=](auto& p) { p.locality = nan; }, [](auto& p) { p.transform[13] = HUGE_VAL; },
    };
    for (size_t i = 0; i < std::size(bad); ++i) {
        Morpher m(small_parameters());
        bad[i](m.parameters());
        const Result r = m.load(ICOSPHERE, TORUS);
        EXPECT_EQ(r.problem, Problem::BadParameter) << "case " << i;
        EXPECT_FALSE(r.reason.empty() || m.loaded()) << "case " << i;
    }
    // More points than a grid can hold: the sizing refuses the grid.
    Morpher big(small_parameters());
    big.parameters().min_points = 32768;
    EXPECT_EQ(big.load(ICOSPHERE, TORUS).problem, Problem::GridTooLarge);
    Morpher m = loaded_morpher();
    Mesh mesh;
    for (auto [frame, count] : {std::pair{-1, 3}, {3, 3}, {0, 1}, {0, 65536}})
        EXPECT_EQ(m.frame(frame, count, &mesh).problem, Problem::BadParameter) << frame << " of " << count;
    for (double t : {-0.01, 1.01, nan}) EXPECT_EQ(m.frame_at(t, &mesh).problem, Problem::BadParameter) << t;
    EXPECT_TRUE(m.loaded()) << "a refused frame keeps the morph";
}

TEST(MorpherFailures, ALoadRefusedForItsParametersLeavesNothingLoaded)
{
    Morpher m = loaded_morpher();
    m.parameters().min_points = 0;
    EXPECT_EQ(m.load(ICOSPHERE, TORUS).problem, Problem::BadParameter);
    expect_nothing_loaded(m);
}

TEST(MorpherFailures, ACancelledFrameStopsAndTheMorphGoesOn)
{
    Morpher m = loaded_morpher();
    const Mesh reference = frame_of(m, 1);
    std::atomic<bool> cancel{true};
    FrameOptions options;
    options.cancel = &cancel;
    Mesh mesh;
    const Result r = m.frame(1, 3, &mesh, options);
    EXPECT_TRUE(r.problem == Problem::Cancelled && r.stage == Stage::Frame);
    EXPECT_EQ(m.frame_at(0.5, &mesh, options).problem, Problem::Cancelled);
    cancel = false;
    ASSERT_TRUE(m.frame(1, 3, &mesh, options).ok());
    EXPECT_TRUE(same_mesh(reference, mesh));
}

TEST(MorpherFailures, SizingParametersChangedAfterALoadWaitForTheNextLoad)
{
    Morpher m = loaded_morpher();
    const Mesh reference = frame_of(m, 1);
    m.parameters().min_points = 30;
    m.parameters().antialias = m.parameters().scale_sizes = false;
    EXPECT_TRUE(same_mesh(reference, frame_of(m, 1)));
    m.parameters().resolution = 2;
    EXPECT_TRUE(same_mesh(reference, frame_of(m, 1)));
}

}  // namespace

namespace {

TEST(MorpherFailures, ACancelledLoadOrLinkStopsAndLeavesNothingLoaded)
{
    Morpher m = loaded_morpher();
    std::atomic<bool> cancel{true};
    m.set_cancel(&cancel);
    EXPECT_EQ(m.link().problem, Problem::Cancelled);
    Mesh mesh;
    EXPECT_EQ(m.frame(1, 3, &mesh).problem, Problem::Cancelled);
    const Result r = m.load(ICOSPHERE, TORUS);
    EXPECT_EQ(r.problem, Problem::Cancelled);
    expect_nothing_loaded(m);
    cancel = false;
    EXPECT_TRUE(m.load(ICOSPHERE, TORUS).ok());
}

// A load whose sides take turns, cancelled as each step starts: it stops
// there (the source's extraction beside it joined) and keeps nothing.
TEST(MorpherFailures, ALoadTakingTurnsStopsWhereverItIsCancelled)
{
    struct CancelAt : MorphObserver {
        Stage stage;
        int side;
        std::atomic<bool> cancel{false};
        CancelAt(Stage s, int d) : stage(s), side(d) {}
        void progress(const ProgressEvent& e) override
        {
            if (e.stage == stage && e.side == side) cancel = true;
        }
    };
    const std::pair<Stage, int> steps[] = {
        {Stage::Transforming, 0}, {Stage::Extracting, 0}, {Stage::Converting, 1}, {Stage::Transforming, 1}};
    for (int threads : {1, 2})
        for (const auto& [stage, side] : steps) {
            MorphParameters p = small_parameters();
            p.threads = static_cast<uint16_t>(threads);
            Morpher m(p);
            m.state().sides_in_turn_from = 0;
            CancelAt observer(stage, side);
            m.set_observer(&observer);
            m.set_cancel(&observer.cancel);
            EXPECT_EQ(m.load(ICOSPHERE, TORUS).problem, Problem::Cancelled) << threads << " " << side;
            expect_nothing_loaded(m);
        }
}

TEST(MorpherFailures, AFileThatCannotBeOpenedCarriesTheSystemsError)
{
    Morpher m;
    const Result r = m.load(Surface::file("/no/such/dir/a.off"), TORUS);
    EXPECT_EQ(r.error_number, ENOENT);
}

}  // namespace
