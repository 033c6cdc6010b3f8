#include "viewer/frame_rate.h"

#include "viewer/view_state.h"

using namespace kestrane;

bool frame_rate_sample(int32_t now)
{
    if (view.rate_count == 0) {
        view.frame_rate = 0;
        view.rate_count = view.tick_count;
        view.rate_clock = now;
        return false;
    }
    const int32_t elapsed = now - view.rate_clock;
    if (elapsed <= 500) return false;
    const float fps = static_cast<float>(view.tick_count - view.rate_count) * 1000.0f / elapsed;
    view.frame_rate = 0.1f * fps + 0.9f * view.frame_rate;
    view.rate_count = view.tick_count;
    view.rate_clock = now;
    return true;
}
