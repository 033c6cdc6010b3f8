#include "viewer/animation.h"

#include <cstdlib>

#include "viewer/view_state.h"

using namespace kestrane;

float clamp_value(float value, float low, float high)
{
    if (value < low) return low;
    if (value > high) return high;
    return value;
}

void step_frame(int32_t tick, int32_t frames_built, int32_t* current, int32_t* rate)
{
    if (frames_built < 2) {
        *current = 0;
        return;
    }
    const int32_t r = *rate;
    if (tick % std::abs(r) != 0) return;
    *current += r > 0 ? 1 : -1;
    if (*current >= frames_built) {
        *current = frames_built - 2;
        *rate = -r;
    } else if (*current <= -1) {
        *current = 1;
        *rate = -r;
    }
}

int32_t faster_rate(int32_t rate)
{
    if (rate > 1) return rate - 1;
    if (rate < -1) return rate + 1;
    return rate;
}

int32_t slower_rate(int32_t rate) { return rate > 0 ? rate + 1 : rate - 1; }

void apply_momentum()
{
    ViewState& v = view;
    v.object_spin += v.object_spin_speed;
    v.object_tilt += v.object_tilt_speed;
    v.azimuth += v.azimuth_speed;
    v.elevation = clamp_value(v.elevation + v.elevation_speed, 0, MAX_ELEVATION);
    v.twist = clamp_value(v.twist + v.twist_speed, -MAX_TWIST, MAX_TWIST);
    v.eye_distance = clamp_value(v.eye_distance * v.zoom_factor, MIN_EYE_DISTANCE, MAX_EYE_DISTANCE);
    v.light_azimuth += v.light_azimuth_speed;
    v.light_elevation = clamp_value(v.light_elevation + v.light_elevation_speed, 0, MAX_ELEVATION);
    v.light_distance =
        clamp_value(v.light_distance * v.light_zoom_factor, MIN_LIGHT_DISTANCE, MAX_LIGHT_DISTANCE);
}
