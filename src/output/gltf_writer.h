#pragma once
// The whole morph as one binary glTF 2.0 file (GLB) that plays: every frame
// a mesh (positions in the source's units, as the PLY frames are, unit
// normals, RGBA colours as normalized bytes, triangle indices) under its own
// node, and one animation that keys each node's scale to 1 while its frame
// shows and to 0 otherwise, with STEP interpolation. Frame k shows from
// time k / fps: a player sampling at the frame rate shows every frame once,
// and Blender's timeline gets one frame per morph frame. Nodes after the
// first start at scale 0, so a viewer that does not play the animation
// shows the first frame alone. A frame without triangles is a node without
// a mesh.
//
// Frames are written as they come: add_frame appends the frame's binary
// data to a temporary file beside the final one (unlinked as soon as it is
// opened, so that no path, not even a killed process, leaves it behind) and
// keeps only its counts, offsets and bounds. finish writes the GLB through
// an OutputFile, so a failure leaves the previous file of the name, or none.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "output/ply_writer.h"
#include "surface/mesh.h"

namespace kestrane {

constexpr int GLTF_DEFAULT_FPS = 24;

class GltfSequenceWriter {
public:
    // Opens the temporary for the frames beside `name`. Not open when it
    // cannot be created (errno says why).
    explicit GltfSequenceWriter(const std::string& name);
    ~GltfSequenceWriter();
    GltfSequenceWriter(const GltfSequenceWriter&) = delete;
    GltfSequenceWriter& operator=(const GltfSequenceWriter&) = delete;

    bool is_open() const { return frames_file_ != nullptr; }
    const std::string& name() const { return name_; }
    int frame_count() const { return static_cast<int>(frames_.size()); }

    // Appends a frame; `number` (from 1) names its node, 0 for its place in
    // the file. False (errno the reason) when it could not be written or the
    // file would pass the 4 GiB a GLB can hold; every later call fails too.
    bool add_frame(const SurfaceMesh& mesh, const SourcePlacement& placement, int number = 0);

    // Writes the GLB with every frame added, at `fps` frames a second, and
    // drops the temporary. False (errno the reason, no file written) on any
    // failure, or with no frames at all (EINVAL).
    bool finish(double fps = GLTF_DEFAULT_FPS);

private:
    struct Frame {
        uint64_t offset = 0;  // of its data in the binary chunk
        uint32_t vertices = 0;
        uint32_t triangles = 0;  // none: a node without a mesh
        bool short_indices = false;
        int number = 0;
        float min[3] = {0, 0, 0};
        float max[3] = {0, 0, 0};
    };

    bool fail(int error);
    std::string json(double fps, uint64_t animation_offset) const;

    std::string name_;
    std::FILE* frames_file_ = nullptr;
    uint64_t frames_bytes_ = 0;
    std::vector<Frame> frames_;
    int error_ = 0;  // the first failure's errno
};

}  // namespace kestrane
