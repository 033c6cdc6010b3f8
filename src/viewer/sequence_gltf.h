#pragma once
// File > Save Surface > glTF: the viewer's sequence as one animated GLB
// (output/gltf_writer.h), "<base name>.glb" ("morph.glb" without a base
// name), in the source's units at GLTF_DEFAULT_FPS. A generation started
// with the choice on gathers every frame as it is taken; the file is
// written after the last one ("Saving the animation to ..."). A generation
// stopped before its end (Cancel, a reload, a new frame count) writes no
// GLB. Interface thread only.
#include <string>

#include "surface/mesh.h"

using namespace kestrane;

std::string sequence_gltf_name();
// A generation begins: opens the GLB's frames when the choice is on (an
// earlier unfinished one is dropped).
void begin_sequence_gltf();
// Frame f of the generation, taken in order.
void add_sequence_gltf_frame(int f, const SurfaceMesh& mesh);
// The generation's last frame is in: writes the GLB.
void finish_sequence_gltf();
// The generation stopped: its frames are dropped, nothing is written.
void drop_sequence_gltf();
