#include "input/mesh_import.h"

#include <sys/stat.h>

#include <assimp/DefaultIOSystem.h>
#include <assimp/Importer.hpp>
#include <assimp/MemoryIOWrapper.h>
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
#include "input/mesh_precheck.h"

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

// Every file Assimp opens goes through here: the model itself (under the
// name that picks its importer), and the files it names only when they are
// regular files inside the model's folder. A refusal is kept, so that the
// user hears of the reference rather than of Assimp's failure to find it.
class ConfinedIOSystem : public Assimp::DefaultIOSystem {
public:
    ConfinedIOSystem(std::string model, std::string alias, bool text)
        : model_(std::move(model)), alias_(std::move(alias)), text_(text)
    {
    }

    bool Exists(const char* file) const override
    {
        if (is_model(file)) return true;
        std::string resolved;
        const std::string fault = confined_path_fault(model_, file, &resolved);
        if (!fault.empty()) refuse(file, fault);
        return !resolved.empty();
    }

    Assimp::IOStream* Open(const char* file, const char* mode = "rb") override
    {
        if (std::strchr(mode, 'w') || std::strchr(mode, 'a') || std::strchr(mode, '+')) return nullptr;
        std::string path = model_;
        if (!is_model(file)) {
            const std::string fault = confined_path_fault(model_, file, &path);
            if (!fault.empty()) {
                refuse(file, fault);
                return nullptr;
            }
            if (path.empty()) return nullptr;
        }
        struct stat st;
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            refuse(file, "`" + std::string(file) + "' is not a regular file");
            return nullptr;
        }
        if (!text_ || !starts_with_bom(path)) return DefaultIOSystem::Open(path.c_str(), "rb");
        // Text is read as the text it is: without a UTF-8 byte-order mark.
        std::string bytes, why;
        if (!read_regular_file(path, &bytes, &why)) {
            refuse(file, "`" + std::string(file) + "' " + why);
            return nullptr;
        }
        strip_utf8_bom(bytes);
        uint8_t* copy = new uint8_t[bytes.size() ? bytes.size() : 1];
        std::memcpy(copy, bytes.data(), bytes.size());
        return new Assimp::MemoryIOStream(copy, bytes.size(), true);
    }

    const std::string& refusal() const { return refusal_; }

private:
    // fault is "`file' lies outside ...": kept as "it names `file', which lies outside ...".
    void refuse(const char* file, const std::string& fault) const
    {
        const size_t named = std::strlen(file) + 2;
        if (refusal_.empty()) refusal_ = "it names " + fault.substr(0, named) + ", which" + fault.substr(named);
    }
    static bool starts_with_bom(const std::string& path)
    {
        char head[3] = {};
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) return false;
        const size_t got = std::fread(head, 1, 3, f);
        std::fclose(f);
        return got == 3 && std::memcmp(head, "\xEF\xBB\xBF", 3) == 0;
    }
    bool is_model(const char* file) const { return alias_ == file || model_ == file; }

    std::string model_, alias_;
    bool text_;
    mutable std::string refusal_;
};

// Assimp picks its importer by extension first; a file whose content says
// otherwise is named to it with the right extension added, and still read
// from its own folder.
const aiScene* read_scene(Assimp::Importer& importer, const std::string& path, MeshFileKind kind,
                          ConfinedIOSystem** io)
{
    const char* ext = mesh_file_extension(kind);
    const std::string alias = has_extension(path, ext) ? path : path + "." + ext;
    *io = new ConfinedIOSystem(path, alias, kind == MeshFileKind::Obj || kind == MeshFileKind::Gltf ||
                                                     kind == MeshFileKind::Ply);
    importer.SetIOHandler(*io);  // the importer owns it
    return importer.ReadFile(alias, 0);
}

}  // namespace

bool import_mesh_here(const std::string& path, MeshFileKind kind, PolygonMesh* out, std::string* reason)
{
    out->objects.clear();
    try {
        const std::string fault = precheck_mesh_file(path, kind);
        if (!fault.empty()) throw ImportFailure{fault};
        Assimp::Importer importer;
        ConfinedIOSystem* io = nullptr;
        const aiScene* scene = read_scene(importer, path, kind, &io);
        if (!io->refusal().empty()) throw ImportFailure{io->refusal()};
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
