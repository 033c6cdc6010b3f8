#include "shape/distance_transform.h"

#include "core/app_state.h"
#include "shape/distance_sweeps.h"

int distance_transform(int v)
{
    Volume& volume = app.volumes[v];
    int nx = app.volume_dims[0], ny = app.volume_dims[1], nz = app.volume_dims[2];
    // Nothing to do without a grid; a grid under 3 voxels thick is all outer layer.
    if (!volume.voxels || nx <= 0 || ny <= 0 || nz <= 0) return 0;
    if (nx < 3 || ny < 3 || nz < 3) {
        set_outer_layer(volume.voxels.get(), nx, ny, nz);
        return 0;
    }
    fast_distance_transform(volume.voxels.get(), nx, ny, nz);
    return 0;
}
