#include "input/mesh_import.h"

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "base/colour.h"

namespace kestrane {
namespace {

struct ImportFailure {
    std::string reason;
};

float unit_clamp(float c) { return std::isfinite(c) ? std::min(1.0f, std::max(0.0f, c)) : 0.0f; }

// Assimp gives colours as 0..1; clamped so that none is read as a 0..255 value.
uint32_t colour_of(const aiColor4D& c)
{
    return colour_from_components(unit_clamp(c.r), unit_clamp(c.g), unit_clamp(c.b));
}

uint32_t default_face_colour() { return make_colour(DEFAULT_FACE_RED, DEFAULT_FACE_GREEN, DEFAULT_FACE_BLUE); }

// STL and PLY carry no materials: Assimp's stand-in material says nothing
// about the file. OBJ and glTF materials count unless Assimp made them up
// (its stand-ins are unnamed or "DefaultMaterial"; OBJ materials are named).
bool material_colour(MeshFileKind kind, const aiMaterial* material, uint32_t* colour)
{
    if (!material || kind == MeshFileKind::Stl || kind == MeshFileKind::Ply) return false;
    aiString name;
    if (material->Get(AI_MATKEY_NAME, name) != AI_SUCCESS || name.length == 0 ||
        std::string(name.C_Str()) == AI_DEFAULT_MATERIAL_NAME)
        return false;
    aiColor4D c;
    if (material->Get(AI_MATKEY_BASE_COLOR, c) != AI_SUCCESS && material->Get(AI_MATKEY_COLOR_DIFFUSE, c) != AI_SUCCESS)
        return false;
    *colour = colour_of(c);
    return true;
}

// One instance of a mesh, placed by the transform of the node that holds it.
void add_mesh(const aiScene& scene, const aiMesh& mesh, const aiMatrix4x4& place, MeshFileKind kind,
              PolygonMesh& out)
{
    PolygonObject object;
    uint32_t face_colour = default_face_colour();
    const aiMaterial* material = mesh.mMaterialIndex < scene.mNumMaterials ? scene.mMaterials[mesh.mMaterialIndex]
                                                                           : nullptr;
    const bool vertex_colours = mesh.HasVertexColors(0);
    if (!vertex_colours) material_colour(kind, material, &face_colour);

    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
        const aiFace& face = mesh.mFaces[f];
        if (face.mNumIndices < 3) continue;  // points and lines enclose nothing
        for (unsigned k = 0; k < face.mNumIndices; ++k) {
            if (face.mIndices[k] >= mesh.mNumVertices)
                throw ImportFailure{"a face names a vertex that its mesh does not have"};
            object.corners.push_back(static_cast<int32_t>(face.mIndices[k]));
        }
        object.face_sizes.push_back(static_cast<int32_t>(face.mNumIndices));
        object.face_colours.push_back(vertex_colours ? colour_of(mesh.mColors[0][face.mIndices[0]]) : face_colour);
    }
    if (object.face_sizes.empty()) return;

    object.positions.reserve(mesh.mNumVertices);
    for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
        const aiVector3D p = place * mesh.mVertices[v];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            throw ImportFailure{"a vertex coordinate is not a finite number"};
        object.positions.push_back({p.x, p.y, p.z});
    }
    out.objects.push_back(std::move(object));
}

// Every mesh that a node of the scene holds, in the order of the node tree.
void add_scene(const aiScene& scene, MeshFileKind kind, PolygonMesh& out)
{
    if (!scene.mRootNode) {
        for (unsigned m = 0; m < scene.mNumMeshes; ++m) add_mesh(scene, *scene.mMeshes[m], aiMatrix4x4(), kind, out);
        return;
    }
    // Depth first with an explicit stack: a deep node tree cannot exhaust the call stack.
    std::vector<std::pair<const aiNode*, aiMatrix4x4>> pending{{scene.mRootNode, scene.mRootNode->mTransformation}};
    while (!pending.empty()) {
        auto [node, place] = pending.back();
        pending.pop_back();
        for (unsigned i = 0; i < node->mNumMeshes; ++i)
            if (node->mMeshes[i] < scene.mNumMeshes) add_mesh(scene, *scene.mMeshes[node->mMeshes[i]], place, kind, out);
        for (unsigned c = node->mNumChildren; c-- > 0;)
            if (node->mChildren[c]) pending.push_back({node->mChildren[c], place * node->mChildren[c]->mTransformation});
    }
}

bool has_extension(const std::string& path, const char* ext)
{
    size_t n = std::strlen(ext);
    if (path.size() < n + 1 || path[path.size() - n - 1] != '.') return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(path[path.size() - n + i])) != ext[i]) return false;
    return true;
}

// Assimp picks its importer by extension first; a file whose content says
// otherwise is handed over from memory with the right format named.
const aiScene* read_scene(Assimp::Importer& importer, const std::string& path, MeshFileKind kind)
{
    const char* ext = mesh_file_extension(kind);
    if (has_extension(path, ext)) return importer.ReadFile(path, 0);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) throw ImportFailure{"it cannot be opened"};
    std::vector<char> bytes;
    char block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, f)) > 0) bytes.insert(bytes.end(), block, block + got);
    std::fclose(f);
    return importer.ReadFileFromMemory(bytes.data(), bytes.size(), 0, ext);
}

}  // namespace

bool import_mesh_here(const std::string& path, MeshFileKind kind, PolygonMesh* out, std::string* reason)
{
    out->objects.clear();
    try {
        Assimp::Importer importer;
        const aiScene* scene = read_scene(importer, path, kind);
        if (!scene) throw ImportFailure{importer.GetErrorString()};
        add_scene(*scene, kind, *out);
        if (out->objects.empty()) throw ImportFailure{"it holds no polygons"};
        return true;
    } catch (const ImportFailure& failure) {
        *reason = failure.reason.empty() ? "the reader gave no reason" : failure.reason;
    } catch (const std::bad_alloc&) {
        *reason = "not enough memory to hold it";
    }
    out->objects.clear();
    return false;
}

}  // namespace kestrane
