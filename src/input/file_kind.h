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
};

// Looks at the open stream (rewound afterwards) and at the path's extension.
MeshFileKind detect_mesh_file(std::FILE* stream, const std::string& path);

// "OFF", "STL", "OBJ", "PLY", "glTF", "glTF binary".
const char* mesh_file_kind_name(MeshFileKind kind);

// The extension Assimp knows the format by ("stl", "obj", ...); empty for OFF.
const char* mesh_file_extension(MeshFileKind kind);

}  // namespace kestrane
