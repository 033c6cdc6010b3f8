#pragma once
// The formats the frames are written in, and the files that makes: one
// format (app.output_format, as -u, -v and the menu choose it) or several
// (--format ply,obj,stl: the first in output_format, the rest in
// app.more_formats). Sphere files go beside the frames (sphere_file_path),
// once per sphere format the frame formats need.
#include <string>
#include <vector>

#include "base/modes.h"

using namespace kestrane;

// output_format, then more_formats; empty when frame output is off.
std::vector<SurfaceFormat> frame_formats();
bool writes_frames_as(SurfaceFormat format);
// `format` becomes the one frame format (NONE: output off).
void choose_single_format(SurfaceFormat format);
// The file of frame `frame` (from 0) in each frame format, in their order.
std::vector<std::string> frame_file_names(int frame);
// VRML spheres beside VRML frames, OOGL lists beside any other (PLY, OBJ
// and STL hold no spheres); each once, in the order the frame formats need
// them.
std::vector<SurfaceFormat> sphere_formats();
// The sphere files of side 0 (source) or 1 (target), one per sphere format.
std::vector<std::string> sphere_file_names(int side);

// A --format list: names separated by commas, each of off (or oogl), wrl
// (or vrml), ply, obj, stl, in any case; a name given twice counts once.
// False, formats untouched, for an empty list or name or an unknown name.
bool parse_format_list(const char* text, std::vector<SurfaceFormat>* formats);
