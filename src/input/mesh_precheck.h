#pragma once
// Cheap checks of a mesh file before the mesh library reads it: what the
// header promises (element, triangle and chunk counts, buffer lengths)
// against what the file holds, the text encoding, the faces' indices where
// the library would drop bad ones silently, and every file the model names
// (OBJ mtllib, glTF buffers and images), which must be a regular file inside
// the model's own folder. A file that fails is refused before the library
// allocates for it or blocks on it.
#include <string>

#include "input/file_kind.h"

namespace kestrane {
// Empty when the file may be read as the given kind; otherwise the fault in
// words, to follow "could not be read as <kind>: ".
std::string precheck_mesh_file(const std::string& path, MeshFileKind kind);

// A file the model at model_path names, as written in the model (relative
// to the model's folder; data: URIs are not files). Empty with *resolved the
// path to open when it is a regular file inside the model's folder, or when
// it does not exist there (*resolved then empty: the reader says it is
// missing); otherwise the fault, naming the reference.
std::string reference_fault(const std::string& model_path, const std::string& reference, std::string* resolved);

// The same for a path the mesh library builds itself (the model's folder
// joined to a reference): empty when path is inside model_path's folder.
std::string confined_path_fault(const std::string& model_path, const std::string& path, std::string* resolved);

// The bytes of a regular file, read without blocking on anything else;
// false with *reason when it is not one or cannot be read.
bool read_regular_file(const std::string& path, std::string* bytes, std::string* reason);

// Drops a UTF-8 byte-order mark from the front of text.
void strip_utf8_bom(std::string& text);

}  // namespace kestrane
