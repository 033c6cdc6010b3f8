#include "viewer/link_geometry.h"

#include "app/app_state.h"
#include "viewer/view_state.h"
#include "shape/correspondence.h"

using namespace kestrane;

LinkSegments link_segments(int side, Vector3 c, Vector3 shift)
{
    Vector3 a{}, b{};
    warp_point({app.vectors.data(), app.vectors.size()}, c, side == 0 ? 0.0 : 1.0, &a, &b);
    const Vector3 d = side == 0 ? vec_sub(b, c) : vec_sub(c, a);
    const Vector3 e = vec_add_scaled(d, shift, 1.0);
    const double s = side == 0 ? app.view_scale : -app.view_scale;
    LinkSegments l;
    l.q = to_world(c);
    l.p1 = vec_add_scaled(l.q, d, s);
    l.p2 = vec_add_scaled(l.q, e, s);
    return l;
}
