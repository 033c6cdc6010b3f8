// A surface with boundary edges that still bounds a solid at the sampling is
// morphed as that solid, and the observer is told so; closed surfaces, and
// one that bounds nothing (told as such), are not told it.
#include "morph/morph_support.h"

namespace {

// The icosphere without the faces around its top: an open bowl.
PolygonMesh bowl(size_t* removed)
{
    PolygonMesh mesh = read_off(example("icosphere.off"));
    PolygonObject& o = mesh.objects[0];
    PolygonObject kept = o;
    kept.face_sizes.clear();
    kept.corners.clear();
    kept.face_colours.clear();
    *removed = 0;
    for (size_t f = 0; f < o.face_sizes.size(); ++f) {
        const int32_t* c = &o.corners[3 * f];
        if (o.positions[c[0]].z > 0.9 && o.positions[c[1]].z > 0.9 && o.positions[c[2]].z > 0.9) {
            ++*removed;
            continue;
        }
        kept.face_sizes.push_back(3);
        kept.corners.insert(kept.corners.end(), c, c + 3);
        kept.face_colours.push_back(o.face_colours[f]);
    }
    return PolygonMesh{{kept}};
}

TEST(OpenSurface, ItsBoundaryEdgesAreToldAndItIsMorphedAsASolid)
{
    size_t removed = 0;
    const PolygonMesh open = bowl(&removed);
    ASSERT_GT(removed, 10u);
    for (bool quick : {true, false}) {
        MorphParameters p = small_parameters();
        p.quick_morph = quick;
        Morpher m(p);
        Recorder r;
        m.set_observer(&r);
        const Result loaded = m.load(TORUS, Surface::memory(open, "bowl"));
        ASSERT_TRUE(loaded.ok()) << loaded.reason;
        ASSERT_EQ(r.reports.size(), 1u);
        const Report& w = r.reports[0];
        EXPECT_TRUE(w.problem == Problem::OpenSurface && w.severity == Severity::Warning && w.file == "bowl");
        // The rim of the removed cap: a ring of 18 edges.
        EXPECT_EQ(w.reason, "`bowl' is not closed (18 boundary edges): it is morphed as the solid it bounds");
        EXPECT_GT(frame_of(m, 2).vertex_count(), 0u) << "its end of the morph is a solid";
    }
    EXPECT_STREQ(problem_name(Problem::OpenSurface), "open surface");
}

TEST(OpenSurface, ClosedSurfacesAndSurfacesThatBoundNothingAreNotToldIt)
{
    MorphParameters p = small_parameters();
    p.quick_morph = true;
    {
        Morpher m(p);
        Recorder r;
        m.set_observer(&r);
        // The STL cube repeats its corners for every triangle: still closed.
        ASSERT_TRUE(m.load(Surface::file(example("cube.stl")), Surface::file(example("two_spheres.off"))).ok());
        EXPECT_TRUE(r.reports.empty()) << r.reports[0].reason;
    }
    p.scale_sizes = false;
    p.antialias = false;
    Morpher m(p);
    Recorder r;
    m.set_observer(&r);
    ASSERT_TRUE(m.load(ICOSPHERE, Surface::memory(triangle(), "triangle")).ok());
    ASSERT_EQ(r.reports.size(), 1u);
    EXPECT_EQ(r.reports[0].problem, Problem::NoVolume);
}

}  // namespace
