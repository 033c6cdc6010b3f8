#pragma once
// Points outside a grid's inner box read the box surface: where the line
// from the box centre crosses it. Constant time.

namespace kestrane {
// Points outside the inner box (1 .. n-2 on every axis) are read at the point
// where the line from the box centre crosses the box surface.

struct BoxPoint {
    double x, y, z;
};

// True when 1 <= a <= n - 2 on every axis (inline: every sample asks).
inline bool inside_inner_box(double x, double y, double z, int nx, int ny, int nz)
{
    return x >= 1.0 && x <= nx - 2 && y >= 1.0 && y <= ny - 2 && z >= 1.0 && z <= nz - 2;
}

// The crossing point for a point outside the inner box, clamped into the box
// against rounding. The grid must have at least 3 voxels on every axis and
// the point finite coordinates.
BoxPoint project_to_inner_box(double x, double y, double z, int nx, int ny, int nz);

}  // namespace kestrane
