#pragma once
#include <cstdio>

// The sizing pass: reads the vertices of both open files, fixes the common
// grid (volume_dims), the lattice counts (sample_grid_dims), view_scale and
// each volume's centre and scale. Returns 0 or a reader failure code.
int measure_surfaces(std::FILE* source, std::FILE* target);
