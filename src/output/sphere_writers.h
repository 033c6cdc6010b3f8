#pragma once
// Sphere files: the inscribed spheres of one side as an OOGL LIST of SPHERE
// objects or as VRML V1.0, blue when linked and white otherwise, in the
// units of the frame files. Spheres under one distance unit are left out.
//
// Each writer opens the named file, writes and commits it (the caller says
// "Saving spheres to ..."). Returns 0, or 1 when the file could
// not be written: then a previous file of the name is untouched
// (output_file.h).
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/modes.h"
#include "base/records.h"

namespace kestrane {
struct SphereFile {
    const Sphere* spheres = nullptr;
    size_t count = 0;
    const int16_t* volume_dims = nullptr;  // the grid the sphere centres are voxels of
};

int32_t write_sphere_file_oogl(const SphereFile& file, const std::string& name);
int32_t write_sphere_file_vrml(const SphereFile& file, const std::string& name);
// "sphere%03i.sph" (OOGL, also beside PLY frames) or "sphere%03i.wrl"
// (VRML): frame 1 for the source (side 0), frame frame_count for the target.
std::string sphere_file_name(int side, int frame_count, SurfaceFormat format);
// sphere_file_name beside the frames: in the folder of the frames' base name
// ("out/morph" -> "out/sphere001.sph"), in the current directory when the
// base has no folder part.
std::string sphere_file_path(const std::string& output_base, int side, int frame_count, SurfaceFormat format);

}  // namespace kestrane
