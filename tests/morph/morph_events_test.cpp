// What an observer is told: the stages in order on the caller's thread,
// counts that add up, and the warnings.
#include <utility>

#include "morph/morph_support.h"

namespace {

using Stages = std::vector<std::pair<Stage, int>>;

// The stages as (stage, side), a run of events of one stage told once.
Stages stages(const std::vector<ProgressEvent>& events)
{
    Stages out;
    for (const ProgressEvent& e : events)
        if (out.empty() || out.back() != std::pair{e.stage, e.side}) out.push_back({e.stage, e.side});
    return out;
}

// One side's Converting events: counts that only grow to the surface's
// polygons, the last alone finished.
void expect_polygons_counted(const std::vector<ProgressEvent>& events, int side, const std::string& name, long polygons)
{
    const ProgressEvent* last = nullptr;
    for (const ProgressEvent& e : events)
        if (e.stage == Stage::Converting && e.side == side) {
            // Counts go up within an object; a LIST's next object starts again.
            EXPECT_TRUE(!last || !last->finished) << name << " at " << e.done;
            EXPECT_EQ(e.total, polygons) << name;
            EXPECT_EQ(e.item, example(name));
            last = &e;
        }
    ASSERT_TRUE(last) << name;
    EXPECT_TRUE(last->finished && last->done == polygons) << name;
}

// The icosphere and the box loaded into m while r records: no warning, every
// event on the caller's thread, each side's polygons counted.
void load_recorded(Morpher& m, Recorder& r)
{
    m.set_observer(&r);
    ASSERT_TRUE(m.load(ICOSPHERE, Surface::file(example("box.off"))).ok());
    EXPECT_TRUE(r.reports.empty());
    for (const std::thread::id& id : r.threads) ASSERT_EQ(id, std::this_thread::get_id()) << "told on a worker";
    // Counts that are no multiple of 100: see the next test.
    expect_polygons_counted(r.events, 0, "icosphere.off", 1280);
    expect_polygons_counted(r.events, 1, "box.off", 248);
}

TEST(MorphEvents, ALoadAndAFrameTellTheirStagesInOrder)
{
    for (int threads : {1, 2}) {
        MorphParameters p = small_parameters();
        p.threads = static_cast<uint16_t>(threads);
        Morpher m(p);
        Recorder r;
        load_recorded(m, r);
        const Stages load = {{Stage::Sizing, -1},    {Stage::Converting, 0},   {Stage::Converting, 1},
                             {Stage::Transforming, 0}, {Stage::Extracting, 0}, {Stage::Transforming, 1},
                             {Stage::Extracting, 1}};
        EXPECT_EQ(stages(r.events), load) << threads << " threads";
        EXPECT_TRUE(!r.events[0].finished && r.events[1].finished) << "the grid is known after the second";

        r.events.clear();
        const Mesh frame = frame_of(m, 1, 4);
        EXPECT_EQ(stages(r.events), (Stages{{Stage::Linking, -1}, {Stage::Frame, -1}}));
        for (size_t i = 1; i < r.events.size(); ++i) {
            EXPECT_EQ(r.events[i].finished, i + 1 == r.events.size());
            EXPECT_TRUE(r.events[i].frame == 1 && r.events[i].frame_count == 4);
            EXPECT_LE(r.events[i - 1].triangles, r.events[i].triangles);
        }
        EXPECT_EQ(r.events.back().triangles, static_cast<long>(frame.face_count()));
        r.events.clear();  // linked once: the next frame goes straight to its slices
        frame_of(m, 2, 4);
        EXPECT_EQ(stages(r.events), (Stages{{Stage::Frame, -1}}));
    }
}

TEST(MorphEvents, ConvertingFinishesOnceAndCountsEachObject)
{
    // The torus's 1600 faces are a multiple of the converter's step, whose
    // last count then comes twice; a LIST counts each object's faces.
    MorphParameters p = small_parameters();
    p.threads = 1;
    Morpher m(p);
    Recorder r;
    m.set_observer(&r);
    ASSERT_TRUE(m.load(Surface::file(example("two_spheres.off")), TORUS).ok());
    expect_polygons_counted(r.events, 0, "two_spheres.off", 320);
    expect_polygons_counted(r.events, 1, "torus.off", 1600);
    int finished = 0;
    for (const ProgressEvent& e : r.events) finished += e.stage == Stage::Converting && e.finished;
    EXPECT_EQ(finished, 2);
}

TEST(MorphEvents, FrameSlicesAreCounted)
{
    Morpher m(small_parameters());
    Recorder r;
    ASSERT_TRUE(m.load(ICOSPHERE, TORUS).ok());
    m.set_observer(&r);
    frame_of(m, 1);
    ASSERT_EQ(r.events.at(1).stage, Stage::Frame);
    EXPECT_GT(r.events[1].done, 0);
    for (size_t i = 2; i < r.events.size(); ++i) EXPECT_LE(r.events[i - 1].done, r.events[i].done);
    EXPECT_EQ(r.events.back().done, r.events.back().total);
}

TEST(MorphEvents, AFileReadWholeIsToldBeforeTheSizing)
{
    Morpher m(small_parameters());
    Recorder r;
    m.set_observer(&r);
    ASSERT_TRUE(m.load(Surface::file(example("cube.stl")), TORUS).ok());
    const ProgressEvent& e = r.events.at(0);
    EXPECT_TRUE(e.stage == Stage::Reading && e.side == 0 && e.item == example("cube.stl") && e.format == "STL");
    EXPECT_EQ(r.events.at(1).stage, Stage::Sizing);
}

// One triangle, converted plainly: antialiasing gives one side of it a
// sliver of inside.
MorphParameters open_parameters(bool quick)
{
    MorphParameters p = small_parameters();
    p.scale_sizes = false;  // a triangle has no thickness to match
    p.antialias = false;
    p.quick_morph = quick;
    return p;
}

void expect_open_surface_warned(const Recorder& r)
{
    ASSERT_EQ(r.reports.size(), 1u);
    const Report& w = r.reports[0];
    EXPECT_TRUE(w.problem == Problem::NoVolume && w.severity == Severity::Warning && w.file == "triangle");
    EXPECT_NE(w.reason.find("`triangle'"), std::string::npos) << w.reason;
}

TEST(MorphEvents, ASurfaceThatEnclosesNothingIsWarnedAbout)
{
    Morpher m(open_parameters(true));
    Recorder r;
    m.set_observer(&r);
    ASSERT_TRUE(m.load(ICOSPHERE, Surface::memory(triangle(), "triangle")).ok());
    expect_open_surface_warned(r);
    EXPECT_GT(frame_of(m, 0).vertex_count(), 0u);
    EXPECT_EQ(frame_of(m, 2).vertex_count(), 0u) << "its end of the morph is empty";
}

TEST(MorphEvents, ASurfaceThatEnclosesNothingHasNoSphereToMorph)
{
    for (bool in_turn : {false, true}) {
        Morpher m(open_parameters(false));
        if (in_turn) m.state().sides_in_turn_from = 0;
        Recorder r;
        m.set_observer(&r);
        const Result loaded = m.load(ICOSPHERE, Surface::memory(triangle(), "triangle"));
        expect_open_surface_warned(r);
        EXPECT_TRUE(loaded.problem == Problem::NoSpheres && loaded.side == 1 && loaded.file == "triangle");
        EXPECT_FALSE(m.loaded());
        EXPECT_FALSE(m.state().volumes[0].field.present()) << "a failed load keeps nothing";
    }
}

// A large grid's sides are loaded one after the other (here forced on a
// small one): each side's stages in turn, on the caller's thread.
TEST(MorphEvents, SidesLoadedInTurnTellEachSideWhole)
{
    for (int threads : {1, 2}) {
        MorphParameters p = small_parameters();
        p.threads = static_cast<uint16_t>(threads);
        Morpher m(p);
        m.state().sides_in_turn_from = 0;
        Recorder r;
        load_recorded(m, r);
        const Stages load = {{Stage::Sizing, -1},     {Stage::Converting, 0},   {Stage::Transforming, 0},
                             {Stage::Extracting, 0},  {Stage::Converting, 1},   {Stage::Transforming, 1},
                             {Stage::Extracting, 1}};
        EXPECT_EQ(stages(r.events), load) << threads << " threads";
    }
}

}  // namespace
