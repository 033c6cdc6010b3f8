#include "viewer/mouse_logic.h"

#include <cmath>
#include <new>

#include "viewer/animation.h"
#include "app/app_state.h"

using namespace kestrane;

int32_t decay_towards_zero(int32_t d)
{
    if (d > 0) return d - 1;
    if (d < 0) return d + 1;
    return 0;
}

float zoom_step(int32_t dy)
{
    if (dy >= 1) return static_cast<float>(std::sqrt(static_cast<double>(dy)) * 1.01);
    if (dy <= -1) return static_cast<float>(1.0 / (std::sqrt(static_cast<double>(-dy)) * 1.01));
    return 1.0f;
}

void begin_drag(DragKind kind)
{
    ViewState& v = view;
    switch (kind) {
    case DragKind::Rotate:
    case DragKind::Twist:
    case DragKind::Zoom:
        v.azimuth_speed = v.elevation_speed = v.twist_speed = 0;
        v.zoom_factor = 1;
        break;
    case DragKind::Object:
        v.object_spin_speed = v.object_tilt_speed = 0;
        break;
    case DragKind::Light:
    case DragKind::LightZoom:
        v.light_azimuth_speed = v.light_elevation_speed = 0;
        v.light_zoom_factor = 1;
        break;
    case DragKind::Vector:
        v.vector_end[0] = v.vector_end[1] = v.vector_end[2] = 0;
        break;
    case DragKind::None:
        break;
    }
    v.drag_kind = kind;
}

void drag_motion(int x, int y)
{
    ViewState& v = view;
    const int32_t dx = x - v.last_x, dy = y - v.last_y;
    v.last_dx = dx;
    v.last_dy = dy;
    v.last_x = x;
    v.last_y = y;
    switch (v.drag_kind) {
    case DragKind::Rotate:
        v.azimuth -= dx;
        v.elevation = clamp_value(v.elevation + dy, 0, MAX_ELEVATION);
        break;
    case DragKind::Twist:
        v.twist = clamp_value(v.twist - dy, -MAX_TWIST, MAX_TWIST);
        break;
    case DragKind::Zoom:
        v.eye_distance = clamp_value(v.eye_distance * zoom_step(dy), MIN_EYE_DISTANCE, MAX_DRAG_EYE_DISTANCE);
        break;
    case DragKind::Object:
        v.object_spin += dx;
        v.object_tilt -= dy;
        break;
    case DragKind::Light:
        v.light_azimuth += dx;
        v.light_elevation = clamp_value(v.light_elevation - dy, 0, MAX_ELEVATION);
        break;
    case DragKind::LightZoom:
        v.light_distance =
            clamp_value(v.light_distance * zoom_step(dy), MIN_LIGHT_DISTANCE, MAX_LIGHT_DISTANCE);
        break;
    case DragKind::Vector:
    case DragKind::None:
        break;
    }
}

void drag_release(MouseButton button)
{
    ViewState& v = view;
    v.last_dx = decay_towards_zero(v.last_dx);
    v.last_dy = decay_towards_zero(v.last_dy);
    const float dx = static_cast<float>(v.last_dx), dy = static_cast<float>(v.last_dy);
    switch (button) {
    case MouseButton::Left:
        if (v.drag_kind == DragKind::Rotate) {
            v.azimuth_speed = -dx;
            v.elevation_speed = dy;
        } else if (v.drag_kind == DragKind::Object) {
            v.object_spin_speed = dx;
            v.object_tilt_speed = -dy;
        } else if (v.drag_kind == DragKind::Light) {
            v.light_azimuth_speed = dx;
            v.light_elevation_speed = -dy;
        }
        break;
    case MouseButton::Middle:
        v.twist_speed = -dy;
        break;
    case MouseButton::Right:
        if (v.drag_kind == DragKind::Zoom)
            v.zoom_factor = zoom_step(v.last_dy);
        else if (v.drag_kind == DragKind::LightZoom)
            v.light_zoom_factor = zoom_step(v.last_dy);
        break;
    }
    v.drag_kind = DragKind::None;
}

bool add_manual_vector(const float start[3], const float end[3])
{
    CorrespondenceVector cv{};
    for (int a = 0; a < 3; ++a) {
        cv.start[a] = start[a];
        cv.end[a] = end[a];
    }
    try {
        app.vectors.push_back(cv);
    } catch (const std::bad_alloc&) {
        app.vectors.clear();
        app.vectors.shrink_to_fit();
        return false;
    }
    return true;
}

bool remove_manual_vector(int32_t n)
{
    if (n < 0 || n >= static_cast<int32_t>(app.vectors.size())) return false;
    app.vectors.erase(app.vectors.begin() + n);
    return true;
}
