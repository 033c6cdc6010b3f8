#include "viewer/sequence_gltf.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "app/app_state.h"
#include "app/status.h"
#include "output/gltf_writer.h"
#include "viewer/view_state.h"

namespace {

std::unique_ptr<GltfSequenceWriter> writer;

// A file that cannot be written switches the choice off, as an unwritable
// frame file switches frame output off.
void give_up(const std::string& name)
{
    const int error = errno;
    writer.reset();
    view.save_gltf = false;
    show_warning("Could not write `%s' (%s) - glTF output is off", name.c_str(), std::strerror(error));
}

}  // namespace

std::string sequence_gltf_name() { return (app.output_base.empty() ? std::string("morph") : app.output_base) + ".glb"; }

void begin_sequence_gltf()
{
    writer.reset();
    if (!view.save_gltf) return;
    const std::string name = sequence_gltf_name();
    writer = std::make_unique<GltfSequenceWriter>(name);
    if (!writer->is_open()) give_up(name);
}

void add_sequence_gltf_frame(int f, const SurfaceMesh& mesh)
{
    if (!writer) return;
    if (!writer->add_frame(mesh, source_placement(app.morph), f + 1)) give_up(writer->name());
}

void finish_sequence_gltf()
{
    if (!writer) return;
    // Every frame of the sequence, or none: a frame count changed on the way
    // stops the generation before this.
    if (writer->frame_count() != app.frame_count) {
        writer.reset();
        return;
    }
    show_info("Saving the animation to `%s'", writer->name().c_str());
    if (!writer->finish(GLTF_DEFAULT_FPS)) {
        give_up(writer->name());
        return;
    }
    writer.reset();
}

void drop_sequence_gltf() { writer.reset(); }
