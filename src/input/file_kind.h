#pragma once
// Which reader a surface file needs: the OFF-family reader or one of the
// mesh formats read through Assimp. Decided by the file's first bytes and
// size, then by its extension; a file that shows no sign of any format goes
// to the OFF reader, which reads such a file as holding no vertices.
#include <cstdio>
#include <string>

namespace kestrane {
enum class MeshFileKind {
    Off,   // OFF, COFF, NOFF, CNOFF, optionally in a LIST
    Stl,   // ASCII or binary STL
    Obj,   // Wavefront OBJ
    Ply,   // ASCII or binary PLY
    Gltf,  // glTF 2.0 JSON
    Glb,   // glTF 2.0 binary
    // Known, but not read: refused with the format's name.
    Fbx,
    Collada,
    Max3ds,
    Blend,
    NotAFile,  // a pipe, device, directory or socket
};

// Looks at the open stream (rewound afterwards) and at the path's extension.
// A stream that is not a regular file is NotAFile: a pipe cannot be rewound
// for a second pass.
MeshFileKind detect_mesh_file(std::FILE* stream, const std::string& path);

// Why path cannot be read as a file ("is a pipe, not a file"), or empty
// for a regular file or one that is not there. Only stat()s: safe on a FIFO
// that an open would block on.
std::string input_file_fault(const std::string& path);

// "OFF", "STL", "OBJ", "PLY", "glTF", "glTF binary", "FBX", ...
const char* mesh_file_kind_name(MeshFileKind kind);

// The extension Assimp knows the format by ("stl", "obj", ...); empty for OFF.
const char* mesh_file_extension(MeshFileKind kind);

}  // namespace kestrane
