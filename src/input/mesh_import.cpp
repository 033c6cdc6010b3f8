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

// A value rounded to float, as the OFF reader keeps its coordinates. Kept
// out of line: GCC 12's SLP vectorizer folds a vectorised double-to-float-
// to-double round trip into nothing.
__attribute__((noinline)) float to_float(double value) { return static_cast<float>(value); }

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

bool check_polygon_mesh(const PolygonMesh& mesh, std::string* reason)
{
    auto fail = [&](size_t object, const std::string& what) {
        *reason = (mesh.objects.size() > 1 ? "object " + std::to_string(object) + ": " : std::string()) + what;
        return false;
    };
    size_t faces = 0;
    for (size_t o = 0; o < mesh.objects.size(); ++o) {
        const PolygonObject& object = mesh.objects[o];
        const size_t n = object.positions.size();
        for (size_t v = 0; v < n; ++v) {
            const Vector3 p = object.positions[v];
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
                return fail(o, "vertex " + std::to_string(v) + " is not a finite point");
        }
        if (!object.face_colours.empty() && object.face_colours.size() != object.face_sizes.size())
            return fail(o, "has " + std::to_string(object.face_colours.size()) + " face colours for " +
                               std::to_string(object.face_sizes.size()) + " faces");
        size_t first = 0;
        for (size_t f = 0; f < object.face_sizes.size(); ++f) {
            const int32_t size = object.face_sizes[f];
            if (size < 3) return fail(o, "face " + std::to_string(f) + " has fewer than 3 corners");
            if (first + static_cast<size_t>(size) > object.corners.size())
                return fail(o, "the faces need more corners than the " + std::to_string(object.corners.size()) +
                                   " given");
            for (int32_t k = 0; k < size; ++k) {
                const int32_t index = object.corners[first + static_cast<size_t>(k)];
                if (index < 0 || static_cast<size_t>(index) >= n)
                    return fail(o, "face " + std::to_string(f) + " names vertex " + std::to_string(index) + " of " +
                                       std::to_string(n));
            }
            first += static_cast<size_t>(size);
        }
        if (first != object.corners.size())
            return fail(o, std::to_string(object.corners.size() - first) + " corners belong to no face");
        faces += object.face_sizes.size();
    }
    if (faces == 0) {
        *reason = "holds no polygon";
        return false;
    }
    return true;
}

int replay_mesh(const PolygonMesh& mesh, ReadPass, const double* transform, const SurfaceSink& sink)
{
    // Both passes meet every face, as they do in an OFF file.
    for (const PolygonObject& object : mesh.objects) {
        const auto faces = static_cast<int32_t>(object.face_sizes.size());
        if (sink.begin_object) {
            int status = sink.begin_object(sink.context, static_cast<int32_t>(object.positions.size()), faces);
            if (status != 0) return status;
        }
        for (Vector3 p : object.positions) {
            if (transform) {
                Vector3 moved = transform_point(transform, p.x, p.y, p.z);
                p = {to_float(moved.x), to_float(moved.y), to_float(moved.z)};
                if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return SURFACE_BAD_OFF_VERTEX;
            }
            if (sink.vertex) {
                int status = sink.vertex(sink.context, p);
                if (status != 0) return status;
            }
        }
        if (sink.face) {
            size_t first = 0;
            for (int32_t f = 0; f < faces; ++f) {
                const int32_t n = object.face_sizes[f];
                const int32_t* indices = n > MAX_FACE_VERTICES ? nullptr : object.corners.data() + first;
                const uint32_t colour = object.face_colours.empty() ? default_face_colour() : object.face_colours[f];
                int status = sink.face(sink.context, n, indices, colour);
                if (status != 0) return status;
                first += static_cast<size_t>(n);
            }
        }
        if (sink.end_object) {
            int status = sink.end_object(sink.context);
            if (status != 0) return status;
        }
    }
    return SURFACE_OK;
}

}  // namespace kestrane
