#include "viewer/sequence.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>

#include "app/analysis.h"
#include "app/frame_driver.h"
#include "morph/frame_pool.h"
#include "morph/load_memory.h"
#include "morph/morph_cost.h"
#include "app/app_state.h"
#include "app/status.h"
#include "viewer/sequence_gltf.h"
#include "viewer/view_state.h"

using namespace kestrane;

namespace {

std::unique_ptr<FramePool> pool;
// What a long sphere-based sequence costs, said with every frame taken
// (empty when it is not long).
std::string cost_note;

void stop_workers()
{
    if (pool) stop_frame_pool(*pool);
    pool.reset();
    // A generation cut short writes no GLB; a finished one has written it.
    drop_sequence_gltf();
}

void cancel_sequence()
{
    stop_workers();
    view.next_build_frame = -1;
}

void start_workers()
{
    stop_workers();
    const int workers = frames_that_fit(app.morph, std::max(1, std::min<int>(app.threads, app.frame_count)));
    const MorphInputs inputs = morph_inputs();
    FrameRequest request = frame_request(inputs, 0);
    request.threads = std::max(1, app.threads / workers);
    pool = start_frame_pool(inputs, request, 0, app.frame_count, workers);
    const MorphCost cost = morph_cost(app.morph);
    cost_note = cost.large ? rough_duration(cost.seconds) + " for the sequence; quick morphing is faster" : "";
    if (cost.large) show_info("Building %i frames (%s)", static_cast<int>(app.frame_count), cost_note.c_str());
    set_work_stopper(stop_sequence);
}

}  // namespace

void start_sequence()
{
    stop_workers();
    show_progress(cancel_sequence);
    view.next_build_frame = 0;
}

void stop_sequence()
{
    stop_workers();
    if (view.next_build_frame < 0) return;
    view.next_build_frame = -1;
    end_progress();
}

int sequence_frame_to_build() { return view.next_build_frame; }

// The workers start with the slots, so a generation without them has not
// begun yet (asking at every idle call while frame 0 is still being built
// must not start it over).
bool sequence_needs_slots() { return view.next_build_frame == 0 && !pool; }

bool reset_sequence_slots()
{
    view.frames_built = 0;
    try {
        view.frame_lists.assign(app.frame_count, NO_LIST);
        start_workers();
        begin_sequence_gltf();
    } catch (const std::bad_alloc&) {
        view.frame_lists.clear();
        stop_sequence();
        show_error("Not enough memory for the morph sequence");
        return false;
    }
    return true;
}

bool sequence_slot_ready(int f)
{
    if (f < static_cast<int>(view.frame_lists.size()) && f < app.frame_count && view.mode >= MODE_MANUAL && pool)
        return true;
    stop_sequence();
    return false;
}

bool sequence_frame_ready(int) { return pool && next_frame_ready(*pool); }

bool take_sequence_frame(int f, SurfaceMesh* mesh)
{
    const int status = take_frame(*pool, mesh);
    if (status == 0)
        report_frame_done(f, static_cast<long>(mesh->triangles.size()), cost_note);
    if (finish_frame(f, status, *mesh, FAILURES_KEEP_RUNNING) != FRAME_NOT_TRIANGULATED) {
        add_sequence_gltf_frame(f, *mesh);
        return true;
    }
    stop_sequence();
    return false;
}

void sequence_frame_stored(int f) { view.frames_built = f + 1; }

bool advance_sequence(int f)
{
    view.next_build_frame = f + 1;
    if (view.next_build_frame < app.frame_count) return true;
    finish_sequence_gltf();
    stop_sequence();
    return false;
}
