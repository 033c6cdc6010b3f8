#include "viewer/view_state.h"

#include <chrono>

#include "app/app_state.h"

using namespace kestrane;

ViewState view;

Vector3 to_world(Vector3 voxel)
{
    const double s = app.view_scale;
    return Vector3{(voxel.x - (app.volume_dims[0] - 1) / 2) * s,
                   (voxel.y - (app.volume_dims[1] - 1) / 2) * s,
                   (voxel.z - (app.volume_dims[2] - 1) / 2) * s};
}

int32_t clock_ms()
{
    using namespace std::chrono;
    static const steady_clock::time_point start = steady_clock::now();
    return static_cast<int32_t>(duration_cast<milliseconds>(steady_clock::now() - start).count()) + 1;
}

void view_state_reset() { view = ViewState{}; }
