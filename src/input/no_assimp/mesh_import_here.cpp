// A build without Assimp reads the OFF family only: every other mesh format
// is refused with the reason.
#include "input/mesh_import.h"

namespace kestrane {

bool import_mesh_here(const std::string&, MeshFileKind kind, PolygonMesh* out, std::string* reason)
{
    out->objects.clear();
    *reason = std::string("this build of Kestrane reads no ") + mesh_file_kind_name(kind) +
              " files (it was built without Assimp)";
    return false;
}

}  // namespace kestrane
