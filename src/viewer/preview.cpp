#include "viewer/preview.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app_state.h"
#include "app/status.h"
#include "base/fnv_hash.h"
#include "viewer/preview_scheduler.h"
#include "viewer/view_state.h"

using namespace kestrane;

namespace {

PreviewScheduler scheduler;
// What the last submission was made of; 0: nothing submitted.
uint64_t submitted_signature = 0;
long failed_generation = 0;

// Everything a frame of the preview reads and the parameters the keys
// change, hashed field by field (records have padding). Cheap next to a
// draw: a few hundred spheres.
uint64_t morph_signature()
{
    const MorphState& m = app.morph;
    Fnv f;
    f.add(m.voxel_generation);
    for (int side = 0; side < 2; ++side) {
        const Volume& v = m.volumes[side];
        f.add(volume_field(m, side).distances);
        f.add(v.sphere_count);
        for (const Sphere& s : v.spheres) {
            f.add(s.x), f.add(s.y), f.add(s.z), f.add(s.radius), f.add(s.linked);
        }
        for (const Vector3& d : v.sphere_shift) f.add(d.x), f.add(d.y), f.add(d.z);
        f.add(m.summarised[side]);
    }
    for (const CorrespondenceVector& c : m.vectors) f.add(c.start), f.add(c.end);
    f.add(m.volume_dims), f.add(m.sample_grid_dims), f.add(m.loaded_resolution);
    // What + - > < change, even when the spheres come out the same.
    f.add(m.parameters.locality), f.add(m.parameters.strength);
    f.add(m.parameters.quick_morph), f.add(m.parameters.threads);
    f.add(view.preview_time);
    return f.h | 1;  // never 0
}

bool logging() { return std::getenv("KESTRANE_PREVIEW_LOG") != nullptr; }

}  // namespace

void toggle_preview() { view.show_preview = !view.show_preview; }

void shift_preview_time(int steps)
{
    if (!view.show_preview) return;
    // Kept on the grid of steps, so that repeated presses land on 0 and 1.
    const double t = std::round(view.preview_time / PREVIEW_TIME_STEP + steps) * PREVIEW_TIME_STEP;
    view.preview_time = std::min(1.0, std::max(0.0, t));
}

bool preview_active() { return view.show_preview && view.mode == MODE_AUTOMATIC; }

bool preview_step(SurfaceMesh* mesh, PreviewFrameInfo* info)
{
    if (!preview_active() || !morph_loaded(app.morph)) {
        if (preview_worker_running(scheduler)) stop_preview();
        submitted_signature = 0;
        return false;
    }
    const uint64_t signature = morph_signature();
    if (signature != submitted_signature) {
        submitted_signature = signature;
        set_work_stopper(stop_preview);
        submit_preview(scheduler, take_preview_snapshot(app.morph, view.preview_time, PREVIEW_COARSE_FACTOR,
                                                        worker_threads(app.morph.parameters)));
    }
    PreviewResult r;
    if (!take_preview(scheduler, &r)) return false;
    if (r.status != 0) {
        // The frame in view is then the previous change's: said once.
        if (r.generation != failed_generation) show_warning("Not enough memory for the preview");
        failed_generation = r.generation;
        return false;
    }
    *mesh = std::move(r.mesh);
    info->refined = r.refined;
    info->time = r.time;
    info->resolution = r.resolution;
    info->triangles = static_cast<long>(mesh->triangles.size());
    info->build_ms = r.build_ms;
    info->submitted = r.submitted;
    return true;
}

void stop_preview()
{
    stop_preview_scheduler(scheduler);
    submitted_signature = 0;
}

void preview_status_suffix(char* text, int size)
{
    if (size <= 0) return;
    if (preview_active())
        std::snprintf(text, static_cast<size_t>(size), "; preview t = %.2f", view.preview_time);
    else
        text[0] = '\0';
}

void log_preview_drawn(const PreviewFrameInfo& info)
{
    if (!logging()) return;
    const double since = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                                    info.submitted).count();
    std::fprintf(stderr, "preview drawn: %s t %.2f resolution %d triangles %ld built %.1f ms shown %.1f ms\n",
                 info.refined ? "refined" : "coarse", info.time, info.resolution, info.triangles, info.build_ms,
                 since);
    std::fflush(stderr);
}
