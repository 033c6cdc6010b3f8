#pragma once
#include <cstdint>

// Sphere files of side 0 (source, sphere001) or 1 (target, sphere<frame_count>).
// 0 written, 1 the file could not be opened.
int32_t write_sphere_file_oogl(int side);
int32_t write_sphere_file_vrml(int side);
#include <string>
// "sphere%03i.sph" (format 1) or "sphere%03i.wrl" (format 2) for the side.
std::string sphere_file_name(int side, int format);
