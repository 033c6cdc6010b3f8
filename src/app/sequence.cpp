#include "app/sequence.h"

#include <new>

#include "base/app_state.h"
#include "base/status.h"
#include "base/view_state.h"

namespace {

void cancel_sequence() { app.next_build_frame = -1; }

}  // namespace

void start_sequence()
{
    show_progress(cancel_sequence);
    app.next_build_frame = 0;
}

void stop_sequence()
{
    if (app.next_build_frame < 0) return;
    app.next_build_frame = -1;
    end_progress();
}

int sequence_frame_to_build() { return app.next_build_frame; }

bool reset_sequence_slots()
{
    app.frames_built = 0;
    try {
        view.frame_lists.assign(app.frame_count, NO_LIST);
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
    if (f < static_cast<int>(view.frame_lists.size()) && f < app.frame_count && app.mode >= MODE_MANUAL) return true;
    stop_sequence();
    return false;
}

void sequence_frame_stored(int f) { app.frames_built = f + 1; }

bool advance_sequence(int f)
{
    app.next_build_frame = f + 1;
    if (app.next_build_frame < app.frame_count) return true;
    stop_sequence();
    return false;
}
