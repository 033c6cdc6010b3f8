#pragma once
// Small morphs of the examples: a few points and frames, so that the tests
// stay quick under the sanitizers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/colour.h"
#include "input/off_reader.h"
#include "kestrane/kestrane.h"
#include "morph/morph_state.h"

using namespace kestrane;

inline std::string example(const std::string& name) { return std::string(KESTRANE_SOURCE_DIR) + "/examples/" + name; }
inline const Surface ICOSPHERE = Surface::file(example("icosphere.off"));
inline const Surface TORUS = Surface::file(example("torus.off"));

inline MorphParameters small_parameters(int points = 14, int frames = 3)
{
    MorphParameters p;
    p.min_points = static_cast<uint16_t>(points);
    p.frame_count = static_cast<uint16_t>(frames);
    p.threads = 2;
    return p;
}

// Through memory: GCC folds a plain double-float-double round trip away.
inline double to_float(double v)
{
    volatile float f = static_cast<float>(v);
    return f;
}

// A plain OFF file of one object without face colours; `as_float`: its
// positions rounded as the file reader rounds them.
inline PolygonMesh read_off(const std::string& path, bool as_float = true)
{
    std::ifstream in(path);
    std::stringstream words;
    for (std::string line; std::getline(in, line);) words << line.substr(0, line.find('#')) << ' ';
    std::string header;
    long vertices = 0, faces = 0, edges = 0;
    words >> header >> vertices >> faces >> edges;
    PolygonObject o;
    for (long i = 0; i < 3 * vertices; i += 3) {
        double p[3];
        words >> p[0] >> p[1] >> p[2];
        if (as_float) p[0] = to_float(p[0]), p[1] = to_float(p[1]), p[2] = to_float(p[2]);
        o.positions.push_back({p[0], p[1], p[2]});
    }
    o.face_sizes.resize(static_cast<size_t>(faces));
    for (int32_t& n : o.face_sizes) {
        words >> n;
        for (int k = 0, index; k < n && words >> index; ++k) o.corners.push_back(index);
    }
    o.face_colours.assign(o.face_sizes.size(), make_colour(DEFAULT_FACE_RED, DEFAULT_FACE_GREEN, DEFAULT_FACE_BLUE));
    EXPECT_TRUE(header == "OFF" && words) << path;
    return PolygonMesh{{o}};
}

// One triangle: a surface that encloses nothing.
inline PolygonMesh triangle()
{
    return PolygonMesh{{PolygonObject{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {3}, {0, 1, 2}, {make_colour(22, 44, 22)}}}};
}

// Bit-for-bit equality of two frames, saying where they first differ.
inline testing::AssertionResult same_mesh(const Mesh& a, const Mesh& b)
{
    if (a.vertices.size() != b.vertices.size() || a.faces.size() != b.faces.size())
        return testing::AssertionFailure() << a.vertex_count() << " vertices, " << a.face_count() << " faces against "
                                           << b.vertex_count() << ", " << b.face_count();
    for (size_t i = 0; i < a.vertices.size(); ++i)
        if (a.vertices[i] != b.vertices[i] || a.normals[i] != b.normals[i] || a.colours[i] != b.colours[i])
            return testing::AssertionFailure() << "vertex " << i / 3 << " differs";
    if (a.faces != b.faces) return testing::AssertionFailure() << "faces differ";
    return testing::AssertionSuccess();
}

inline testing::AssertionResult same_frames(const std::vector<Mesh>& a, const std::vector<Mesh>& b)
{
    if (a.size() != b.size()) return testing::AssertionFailure() << a.size() << " frames against " << b.size();
    for (size_t f = 0; f < a.size(); ++f)
        if (testing::AssertionResult r = same_mesh(a[f], b[f]); !r)
            return testing::AssertionFailure() << "frame " << f << ": " << r.message();
    return testing::AssertionSuccess();
}

inline std::vector<Mesh> all_frames(Morpher& m, int count, const FrameOptions& options = FrameOptions{})
{
    std::vector<Mesh> frames(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) EXPECT_TRUE(m.frame(i, count, &frames[static_cast<size_t>(i)], options).ok());
    return frames;
}

inline std::vector<Mesh> frames_of(const Surface& source, const Surface& target, const MorphParameters& p)
{
    Morpher m(p);
    const Result r = m.load(source, target);
    EXPECT_TRUE(r.ok()) << r.reason;
    return all_frames(m, p.frame_count);
}

inline Mesh frame_of(Morpher& m, int frame, int count = 3)
{
    Mesh mesh;
    const Result r = m.frame(frame, count, &mesh);
    EXPECT_TRUE(r.ok()) << r.reason;
    return mesh;
}

// Everything an observer is told, with the threads it was told on.
struct Recorder : MorphObserver {
    std::vector<ProgressEvent> events;
    std::vector<Report> reports;
    std::vector<std::thread::id> threads;
    void progress(const ProgressEvent& e) override
    {
        events.push_back(e);
        threads.push_back(std::this_thread::get_id());
    }
    void report(const Report& r) override
    {
        reports.push_back(r);
        threads.push_back(std::this_thread::get_id());
    }
};
