#include "app/frame_driver.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "app/analysis.h"
#include "morph/morph_cost.h"
#include "app/app_state.h"
#include "app/frame_formats.h"
#include "app/status.h"
#include "output/sphere_writers.h"
#include "output/surface_writers.h"
#include "surface/frame_generation.h"

using namespace kestrane;

namespace {

const std::string& note_of(void* context)
{
    static const std::string none;
    return context ? *static_cast<const std::string*>(context) : none;
}

// context: the cost note of a long sphere-based frame, or null.
void report_slice(void* context, int frame, long triangles)
{
    if (frame_reports.slice_done)
        frame_reports.slice_done(frame, app.frame_count, triangles, note_of(context));
    else
        show_info("%s", frame_message(frame, app.frame_count, triangles, true, note_of(context)).c_str());
}

void report_frame(void*, int frame, long triangles) { report_frame_done(frame, triangles); }

void report_saving(const char* what, const std::string& name)
{
    if (frame_reports.saving)
        frame_reports.saving(what, name);
    else
        show_info("Saving %s to `%s'", what, name.c_str());
}

// PLY, OBJ and STL frames go back into the source's units through its placement.
SourcePlacement source_placement()
{
    SourcePlacement placement;
    placement.centre = app.volumes[0].centre;
    placement.scale = app.volumes[0].scale;
    for (int axis = 0; axis < 3; ++axis) placement.volume_dims[axis] = app.volume_dims[axis];
    return placement;
}

void report_triangulation_failure(int frame, int status, FailureHandling handling)
{
    const bool ends_run = handling == FAILURES_END_RUN;
    switch (status) {
    case LATTICE_POINTS_RAN_OUT:
        if (ends_run) show_error("Too many points in the surface - frame stopped");
        else show_warning("Too many points in the surface - frame stopped");
        break;
    case LATTICE_TRIANGLES_RAN_OUT:
        if (ends_run) show_error("Too many triangles in the surface - frame stopped");
        else show_warning("Too many triangles in the surface - frame stopped");
        break;
    case LATTICE_NO_POINT_MEMORY:
        show_error("Not enough room for point list");
        break;
    default:
        show_error("Not enough memory to triangulate frame %i (status %i)", frame + 1, status);
        break;
    }
}

// A file that cannot be written ends the batch run; the viewer goes on
// without writing.
void report_write_failure(const std::string& name, FailureHandling handling)
{
    if (handling == FAILURES_END_RUN) {
        show_error("Could not write `%s': %s", name.c_str(), std::strerror(errno));
        return;
    }
    app.output_format = SURFACE_FORMAT_NONE;
    show_warning("Could not write `%s' - file output is off", name.c_str());
}

}  // namespace

FrameReports frame_reports;

std::string frame_message(int frame, int frame_count, long triangles, bool so_far, const std::string& note)
{
    std::string text = "Frame " + std::to_string(frame + 1) + " of " + std::to_string(frame_count) + " - " +
                       std::to_string(triangles) + " triangles";
    if (so_far) text += " so far";
    if (!note.empty()) text += " (" + note + ")";
    return text;
}

void report_frame_done(int frame, long triangles, const std::string& note)
{
    if (frame_reports.frame_done)
        frame_reports.frame_done(frame, app.frame_count, triangles, note);
    else
        show_info("%s", frame_message(frame, app.frame_count, triangles, false, note).c_str());
}

FrameOutcome build_frame(int frame, SurfaceMesh* mesh, FailureHandling handling, bool shared)
{
    const MorphInputs inputs = morph_inputs();
    FrameRequest request = frame_request(inputs, frame, shared);
    request.progress.slice_done = report_slice;
    request.progress.frame_done = report_frame;
    // A long middle frame says why it takes long, whichever program runs it.
    const MorphCost cost = morph_cost(app.morph);
    const bool middle = frame > 0 && frame < app.frame_count - 1;
    const std::string note = rough_duration(cost.seconds_per_frame) + " a frame; quick morphing is faster";
    if (cost.large && middle) request.progress.context = const_cast<std::string*>(&note);
    return finish_frame(frame, triangulate_frame(request, mesh), *mesh, handling);
}

FrameOutcome finish_frame(int frame, int status, const SurfaceMesh& mesh, FailureHandling handling)
{
    if (status != LATTICE_DONE) {
        report_triangulation_failure(frame, status, handling);
        return FRAME_NOT_TRIANGULATED;
    }
    for (SurfaceFormat format : frame_formats()) {
        const std::string name = frame_file_name(app.output_base, frame, app.frame_count, format);
        report_saving("surface", name);
        if (write_surface(mesh, name, format, source_placement()) != 0) {
            report_write_failure(name, handling);
            return FRAME_NOT_WRITTEN;
        }
    }
    return FRAME_BUILT;
}

bool write_sphere_file(int side, FailureHandling handling)
{
    const Volume& v = app.volumes[side];
    SphereFile file;
    file.spheres = v.spheres.data();
    file.count = v.sphere_count < 0 ? 0 : std::min(static_cast<size_t>(v.sphere_count), v.spheres.size());
    file.volume_dims = app.volume_dims;
    for (SurfaceFormat format : sphere_formats()) {
        const std::string name = sphere_file_path(app.output_base, side, app.frame_count, format);
        report_saving("spheres", name);
        const int failed = format == SURFACE_FORMAT_VRML ? write_sphere_file_vrml(file, name)
                                                         : write_sphere_file_oogl(file, name);
        if (failed) {
            report_write_failure(name, handling);
            return false;
        }
    }
    return true;
}
