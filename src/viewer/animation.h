#pragma once
// Playback and momentum rules of the animation step, on plain values and
// the view record; no GL, no allocation, constant time.
#include <cstdint>


// Moves *current by one frame in the direction of *rate when tick is a
// multiple of |rate|, turning round at either end so that no end frame shows
// twice in a row. With fewer than two frames built it holds frame 0.
void step_frame(int32_t tick, int32_t frames_built, int32_t* current, int32_t* rate);

// Playback rate after `+` (faster) and `-` (slower); the rate is never 0.
int32_t faster_rate(int32_t rate);
int32_t slower_rate(int32_t rate);

// Adds the speeds and factors of view to its angles and distances, with the
// clamps of free motion.
void apply_momentum();

float clamp_value(float value, float low, float high);
constexpr float MAX_ELEVATION = 89.9f;
constexpr float MAX_TWIST = 89.9f;
constexpr float MIN_EYE_DISTANCE = 0.2f;
constexpr float MAX_EYE_DISTANCE = 100.0f;
constexpr float MAX_DRAG_EYE_DISTANCE = 40.0f;
constexpr float MIN_LIGHT_DISTANCE = 1.0f;
constexpr float MAX_LIGHT_DISTANCE = 10.0f;
