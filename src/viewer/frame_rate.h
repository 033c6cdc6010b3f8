#pragma once
// The frame-rate meter of the playing sequence, on the view record.
#include <cstdint>


// One sample of the sequence's frame-rate meter at clock `now` (ms), using
// view.tick_count. Returns true when view.frame_rate got a new value that the
// status line should show.
bool frame_rate_sample(int32_t now);
