#include "korvo/import/model_reader.h"

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/material.h>
#include <assimp/metadata.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "korvo/import/reader_lines.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_map>

#include "korvo/files/platform.h"

namespace korvo::import {

namespace {

Affine toAffine(const aiMatrix4x4& m) {
    Affine a;
    const ai_real* rows[3] = {m[0], m[1], m[2]};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) a.linear[r][c] = shortestDouble(rows[r][c]);
        a.offset[r] = shortestDouble(rows[r][3]);
    }
    return a;
}

Vec3 toVec3(const aiVector3D& v) { return {shortestDouble(v.x), shortestDouble(v.y), shortestDouble(v.z)}; }

// Depth first, parents before children, so that a node's parent always has a lower index.
// Walked with a stack of its own: a model may nest its nodes many thousands deep.
void copyNodes(const aiNode* root, std::vector<ModelNode>& out) {
    std::vector<std::pair<const aiNode*, int>> pending{{root, -1}};  // node, parent index
    while (!pending.empty()) {
        const auto [node, parent] = pending.back();
        pending.pop_back();
        const int index = static_cast<int>(out.size());
        ModelNode copy;
        copy.name = node->mName.C_Str();
        copy.parent = parent;
        copy.transform = toAffine(node->mTransformation);
        copy.meshes.assign(node->mMeshes, node->mMeshes + node->mNumMeshes);
        out.push_back(std::move(copy));
        if (parent >= 0) out[parent].children.push_back(index);
        for (unsigned i = node->mNumChildren; i-- > 0;) pending.emplace_back(node->mChildren[i], index);
    }
}

// The reader's array `from` taken out of its mesh (which then no longer gives it back):
// kept by `out`, whose takenArrays have room for it; the address of its values.
template <typename Value>
const Value* takeArray(aiVector3D*& from, ModelMesh& out) {
    const aiVector3D* taken = from;
    from = nullptr;  // one owner even when the owner's record cannot be made (it then frees it)
    std::shared_ptr<const void> owner(taken, [](const aiVector3D* array) { delete[] array; });
    out.takenArrays.push_back(std::move(owner));
    return reinterpret_cast<const Value*>(taken);
}

ModelMesh copyMesh(aiMesh& mesh, VertexArrays vertices) {
    ModelMesh out;
    out.name = mesh.mName.C_Str();
    out.material = static_cast<int>(mesh.mMaterialIndex);
    // Kept as the reader's floats, copied whole or taken over; they become doubles where
    // a scene file or a placement needs them (shortestDouble).
    static_assert(sizeof(aiVector3D) == sizeof(Float3) && alignof(aiVector3D) == alignof(Float3),
                  "the reader keeps 32-bit floats");
    if (vertices == VertexArrays::TakenOver && mesh.mNumVertices > 0 && mesh.mVertices) {
        out.takenArrays.reserve(3);
        out.taken.count = mesh.mNumVertices;
        if (mesh.HasNormals()) out.taken.normals = takeArray<Float3>(mesh.mNormals, out);
        if (mesh.HasTextureCoords(0)) {
            out.taken.uv = takeArray<float>(mesh.mTextureCoords[0], out);
            out.taken.uvStride = 3;
        }
        out.taken.positions = takeArray<Float3>(mesh.mVertices, out);
    } else {
        const auto floats3 = [&](const aiVector3D* from, std::vector<Float3>& to) {
            to.resize(mesh.mNumVertices);
            if (!to.empty()) std::memcpy(to.data(), from, to.size() * sizeof(Float3));
        };
        floats3(mesh.mVertices, out.positions);
        if (mesh.HasNormals()) floats3(mesh.mNormals, out.normals);
        if (mesh.HasTextureCoords(0)) {
            out.uv.reserve(mesh.mNumVertices);
            for (unsigned v = 0; v < mesh.mNumVertices; ++v)
                out.uv.push_back({mesh.mTextureCoords[0][v].x, mesh.mTextureCoords[0][v].y});
        }
    }
    out.hasColors = mesh.HasVertexColors(0);
    out.morphTargets = mesh.mNumAnimMeshes;
    out.faceSizes.resize(mesh.mNumFaces);
    size_t cornerCount = 0;
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) cornerCount += out.faceSizes[f] = mesh.mFaces[f].mNumIndices;
    out.corners.resize(cornerCount);
    uint32_t* corner = out.corners.data();
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
        const aiFace& face = mesh.mFaces[f];
        corner = std::copy(face.mIndices, face.mIndices + face.mNumIndices, corner);
    }
    for (unsigned b = 0; b < mesh.mNumBones; ++b) {
        const aiBone& bone = *mesh.mBones[b];
        ModelBone copy;
        copy.name = bone.mName.C_Str();
        copy.offset = toAffine(bone.mOffsetMatrix);
        copy.weights.reserve(bone.mNumWeights);
        for (unsigned w = 0; w < bone.mNumWeights; ++w)
            copy.weights.push_back({bone.mWeights[w].mVertexId, shortestDouble(bone.mWeights[w].mWeight)});
        out.bones.push_back(std::move(copy));
    }
    return out;
}

std::optional<Vec3> materialColor(const aiMaterial& material, const char* key, unsigned type,
                                  unsigned index) {
    aiColor4D color;
    if (aiGetMaterialColor(&material, key, type, index, &color) != AI_SUCCESS) return std::nullopt;
    return Vec3{shortestDouble(color.r), shortestDouble(color.g), shortestDouble(color.b)};
}

ModelMaterial copyMaterial(const aiMaterial& material) {
    ModelMaterial out;
    aiString name;
    if (material.Get(AI_MATKEY_NAME, name) == AI_SUCCESS) out.name = name.C_Str();
    out.diffuse = materialColor(material, AI_MATKEY_COLOR_DIFFUSE);
    out.specular = materialColor(material, AI_MATKEY_COLOR_SPECULAR);
    out.emissive = materialColor(material, AI_MATKEY_COLOR_EMISSIVE);
    float opacity = 1;
    if (material.Get(AI_MATKEY_OPACITY, opacity) == AI_SUCCESS) out.opacity = shortestDouble(opacity);
    for (int type = aiTextureType_DIFFUSE; type <= AI_TEXTURE_TYPE_MAX; ++type) {
        const auto kind = static_cast<aiTextureType>(type);
        for (unsigned i = 0; i < material.GetTextureCount(kind); ++i) {
            aiString path;
            if (material.GetTexture(kind, i, &path) == AI_SUCCESS)
                out.textures.push_back({aiTextureTypeToString(kind), path.C_Str()});
        }
    }
    return out;
}

ModelImage copyImage(const aiTexture& texture) {
    ModelImage out;
    out.name = texture.mFilename.C_Str();
    if (texture.mHeight != 0) return out;  // raw pixels: no file format to write them in
    out.format = texture.achFormatHint;
    const auto* bytes = reinterpret_cast<const unsigned char*>(texture.pcData);
    out.bytes.assign(bytes, bytes + texture.mWidth);
    return out;
}

ModelAnimation copyAnimation(const aiAnimation& animation,
                             const std::unordered_map<std::string, int>& nodeByName) {
    ModelAnimation out;
    out.name = animation.mName.C_Str();
    out.duration = animation.mDuration;
    out.ticksPerSecond = animation.mTicksPerSecond;
    out.morphChannels = animation.mNumMorphMeshChannels + animation.mNumMeshChannels;
    for (unsigned c = 0; c < animation.mNumChannels; ++c) {
        const aiNodeAnim& channel = *animation.mChannels[c];
        ModelChannel copy;
        copy.nodeName = channel.mNodeName.C_Str();
        const auto node = nodeByName.find(copy.nodeName);
        copy.node = node == nodeByName.end() ? -1 : node->second;
        for (unsigned k = 0; k < channel.mNumPositionKeys; ++k)
            copy.position.push_back({channel.mPositionKeys[k].mTime, toVec3(channel.mPositionKeys[k].mValue)});
        for (unsigned k = 0; k < channel.mNumScalingKeys; ++k)
            copy.scale.push_back({channel.mScalingKeys[k].mTime, toVec3(channel.mScalingKeys[k].mValue)});
        for (unsigned k = 0; k < channel.mNumRotationKeys; ++k) {
            const aiQuaternion& q = channel.mRotationKeys[k].mValue;
            copy.rotation.push_back({channel.mRotationKeys[k].mTime, {shortestDouble(q.w), shortestDouble(q.x), shortestDouble(q.y), shortestDouble(q.z)}});
        }
        out.channels.push_back(std::move(copy));
    }
    return out;
}

// The document frame rate of an FBX file (its time mode), 0 when the file gives none.
double statedFrameRate(const aiScene& scene) {
    if (!scene.mMetaData) return 0;
    int32_t mode = 0;
    if (!scene.mMetaData->Get("FrameRate", mode)) return 0;
    static constexpr double kRateOfMode[] = {0,  120, 100, 60, 50,    48,  30, 30, 29.97, 29.97,
                                             25, 24,  1000, 23.976, 0, 96, 72, 59.94};
    constexpr int kCustomMode = 14;
    if (mode == kCustomMode) {
        float custom = 0;
        return scene.mMetaData->Get("CustomFrameRate", custom) ? custom : 0;
    }
    if (mode < 0 || mode >= static_cast<int>(std::size(kRateOfMode))) return 0;
    return kRateOfMode[mode];
}

// Drops the entries of `items` (lights or cameras) that name no node of the scene, which
// the reader's validation refuses though nothing of them is exported; their count.
template <typename Item>
unsigned dropUnplaced(const aiNode& root, Item** items, unsigned& count) {
    unsigned kept = 0;
    for (unsigned i = 0; i < count; ++i) {
        if (root.FindNode(items[i]->mName)) {
            items[kept++] = items[i];
        } else {
            delete items[i];
        }
    }
    const unsigned dropped = count - kept;
    count = kept;
    return dropped;
}

}  // namespace

bool readModel(const std::string& path, ReadMode mode, ModelData& out, std::string& error,
               const std::string& shownName, SceneRelease* release, VertexArrays vertices) {
    // Opened by the reader, a FIFO would wait for a writer and a folder reads as an empty
    // model: both are named for what they are, before anything is opened.
    const platform::FileKind kind = platform::fileKind(path);
    if (kind == platform::FileKind::Folder || kind == platform::FileKind::Other) {
        error = kind == platform::FileKind::Folder ? "it is a folder, not a model file"
                                                   : "not a regular file (a device, a pipe or a socket)";
        return false;
    }
    Assimp::Importer importer;
    // Keep the node tree as the artist built it, without the pivot helper nodes.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
    unsigned flags = aiProcess_ValidateDataStructure;
    if (mode == ReadMode::Triangles) flags |= aiProcess_Triangulate | aiProcess_SortByPType;
    // Read as stored, then checked and converted once the parts the export does not use
    // and the validation would refuse are dropped.
    const aiScene* scene = nullptr;
    std::string dropped;
    {
        const ReaderLines caught(shownName.empty() ? path : shownName);
        scene = importer.ReadFile(path, 0);
        if (scene && scene->mRootNode) {
            auto* editable = const_cast<aiScene*>(scene);
            const unsigned lights = dropUnplaced(*scene->mRootNode, editable->mLights, editable->mNumLights);
            const unsigned cameras = dropUnplaced(*scene->mRootNode, editable->mCameras, editable->mNumCameras);
            const auto counted = [](unsigned n, const char* one, const char* many) {
                return std::to_string(n) + " " + (n == 1 ? one : many);
            };
            if (lights + cameras > 0)
                dropped = "left out " + counted(lights, "light", "lights") + " and " +
                          counted(cameras, "camera", "cameras") +
                          " that no node places (the reader's check refuses them; the export uses neither)";
            scene = importer.ApplyPostProcessing(flags);
        }
    }
    if (!scene || !scene->mRootNode) {
        error = importer.GetErrorString();
        // The reader catches running out of memory and answers the exception's name;
        // the callers name it as every other out-of-memory line does.
        if (error == std::bad_alloc().what()) throw std::bad_alloc();
        if (error.empty()) error = "the reader returned no scene";
        return false;
    }
    out = ModelData{};
    copyNodes(scene->mRootNode, out.nodes);
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) out.meshes.push_back(copyMesh(*scene->mMeshes[m], vertices));
    for (unsigned m = 0; m < scene->mNumMaterials; ++m)
        out.materials.push_back(copyMaterial(*scene->mMaterials[m]));
    std::unordered_map<std::string, int> nodeByName;
    for (int n = static_cast<int>(out.nodes.size()) - 1; n >= 0; --n) nodeByName[out.nodes[n].name] = n;
    for (unsigned a = 0; a < scene->mNumAnimations; ++a)
        out.animations.push_back(copyAnimation(*scene->mAnimations[a], nodeByName));
    for (unsigned t = 0; t < scene->mNumTextures; ++t) out.images.push_back(copyImage(*scene->mTextures[t]));
    out.frameRate = statedFrameRate(*scene);
    if (!dropped.empty()) out.notes.push_back(dropped);
    if (release) {
        const aiScene* owned = importer.GetOrphanedScene();
        try {
            release->thread_ = std::thread([owned] { delete owned; });
        } catch (const std::exception&) {  // no thread to be had: given back here
            delete owned;
        }
    }
    return true;
}

}  // namespace korvo::import
