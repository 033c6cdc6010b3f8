#include "viewer/links.h"

#include "app/analysis.h"
#include "app/app_state.h"

using namespace kestrane;

bool update_links(LinkRequest request)
{
    if (app.quick_morph) return false;
    if (request == LINK_REEXTRACT) {
        if (extract_volume_spheres(0) != 0) return false;
        if (extract_volume_spheres(1) != 0) return false;
    }
    if (request >= LINK_RECOMPUTE && link_spheres() != 0) return false;
    // Extraction can switch to quick morphing when it overflows.
    return !app.quick_morph;
}

bool unlink_picked_sphere(int32_t name)
{
    if (name < 0) return false;
    const int32_t source_count = app.volumes[0].sphere_count;
    const int side = name < source_count ? 0 : 1;
    const int32_t index = side == 0 ? name : name - source_count;
    Volume& v = app.volumes[side];
    if (index < static_cast<int32_t>(v.spheres.size())) v.spheres[index].linked = 0;
    return true;
}
