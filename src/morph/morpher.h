#pragma once
// The morph library's centre: one Morpher owns one morph, its parameters,
// both volumes with their placements and field summaries, the spheres, the
// links and the manual vectors. Steps take plain inputs and return a
// Result; progress and warnings go to the observer. Nothing global is read
// or written and nothing is printed, so several morphers may live in one
// process (each used from one thread at a time; frames use worker threads
// of their own).
//
// A step on an unloaded morpher fails with Problem::NotLoaded. A failed
// load leaves nothing loaded. Memory: the two volumes (6 bytes a voxel
// each) while loaded, plus a frame's working values while it is built.
#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "base/polygon_mesh.h"
#include "base/vector3.h"
#include "morph/frame_mesh.h"
#include "morph/morph_events.h"
#include "morph/morph_parameters.h"

namespace kestrane {

// A surface to morph: a file (OFF and its family, STL, OBJ, PLY, glTF), or
// polygons in memory, named for messages.
struct Surface {
    std::string path;
    std::shared_ptr<const PolygonMesh> mesh;  // set: read from memory, path ignored
    std::string name;                         // in messages; the path when empty

    static Surface file(std::string path);
    static Surface memory(PolygonMesh mesh, std::string name = "mesh");
    const std::string& label() const { return name.empty() ? path : name; }
};

// A manual correspondence vector: from a point of the source to a point of
// the target, each in its own surface's units.
struct Correspondence {
    Vector3 start;
    Vector3 end;
};

// How one frame is built.
struct FrameOptions {
    // When given and set (from any thread), the frame stops with
    // Problem::Cancelled.
    const std::atomic<bool>* cancel = nullptr;
    // Threads for the frame's values; 0: the parameters' threads.
    int threads = 0;
};

struct MorphState;
struct SurfaceMesh;

class Morpher {
public:
    Morpher();
    explicit Morpher(const MorphParameters& parameters);
    ~Morpher();
    Morpher(Morpher&&) noexcept;
    Morpher& operator=(Morpher&&) noexcept;
    Morpher(const Morpher&) = delete;
    Morpher& operator=(const Morpher&) = delete;

    // Read at each step; a change to the sizing ones takes effect at the
    // next load, to the locality at the next extraction, to the strength at
    // the next link.
    MorphParameters& parameters();
    const MorphParameters& parameters() const;
    // Receives the events of every later step; null: none. Not owned.
    void set_observer(MorphObserver* observer);
    // When set (from any thread), a load, extraction or link stops between
    // its stages, and a frame without a cancel flag of its own at its next
    // slice, with Problem::Cancelled (a cancelled load leaves nothing
    // loaded). Null: none. Not owned.
    void set_cancel(const std::atomic<bool>* cancel);

    // Reads, sizes and scan converts both surfaces, transforms both
    // volumes and, unless quick morphing, extracts their spheres. The
    // manual vectors are cleared.
    Result load(const Surface& source, const Surface& target);
    bool loaded() const;
    // Frees both volumes, the spheres and the vectors.
    void release();

    // Sphere extraction of both volumes at the parameters' locality, then
    // the links. Nothing to do (ok) for quick morphing.
    Result extract_spheres();
    // The automatic correspondence at the parameters' strength, with the
    // manual vectors.
    Result link();
    int sphere_count(int side) const;
    int linked_count(int side) const;

    // Manual vectors, in the surfaces' own units (the source's before its
    // transform), after a load. A change takes effect at the next link (the
    // next frame links again by itself).
    void add_vector(const Correspondence& vector);
    bool remove_vector(size_t index);
    void clear_vectors();
    std::vector<Correspondence> vectors() const;

    // Frame `frame` (from 0) of frame_count; the first is the source, the
    // last the target. Spheres not linked since the last change are linked
    // first.
    Result frame(int frame, int frame_count, Mesh* out, const FrameOptions& options = FrameOptions{});
    // The morph at time t in [0, 1].
    Result frame_at(double t, Mesh* out, const FrameOptions& options = FrameOptions{});

    // The same frames in the grid's mesh units, for the programs' drawing
    // and writers (morph/morph_state.h maps them to source units).
    Result frame_mesh(int frame, int frame_count, SurfaceMesh* out, const FrameOptions& options = FrameOptions{});
    // At `time` in [0, 1] instead of the frame's own time (outside: the
    // frame's).
    Result frame_mesh_at(int frame, int frame_count, double time, SurfaceMesh* out,
                         const FrameOptions& options = FrameOptions{});

    // Everything the morpher owns, for the programs (morph/morph_state.h).
    MorphState& state();
    const MorphState& state() const;

private:
    std::unique_ptr<MorphState> state_;
};

}  // namespace kestrane
