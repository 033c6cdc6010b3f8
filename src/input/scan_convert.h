#pragma once
#include <cstdio>

// Scan-converts the open file into the voxels of volume `which` (0 source,
// 1 target), which the caller has allocated. Returns 0 or a failure code.
int convert_surface(std::FILE* stream, int which);
