#include "korvo/import/model_reader.h"

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/material.h>
#include <assimp/metadata.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <charconv>
#include <unordered_map>

namespace korvo::import {

namespace {

// The reader keeps 32-bit floats; each becomes the double of its shortest decimal form,
// so that a colour 0.4 is written into a scene file as 0.4 and not as 0.4000000059604645.
double decimal(float value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    double result = 0;
    std::from_chars(text, end, result);  // as strtod rounds, many times faster
    return result;
}

Affine toAffine(const aiMatrix4x4& m) {
    Affine a;
    const ai_real* rows[3] = {m[0], m[1], m[2]};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) a.linear[r][c] = decimal(rows[r][c]);
        a.offset[r] = decimal(rows[r][3]);
    }
    return a;
}

Vec3 toVec3(const aiVector3D& v) { return {decimal(v.x), decimal(v.y), decimal(v.z)}; }

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

ModelMesh copyMesh(const aiMesh& mesh) {
    ModelMesh out;
    out.name = mesh.mName.C_Str();
    out.material = static_cast<int>(mesh.mMaterialIndex);
    out.positions.reserve(mesh.mNumVertices);
    for (unsigned v = 0; v < mesh.mNumVertices; ++v) out.positions.push_back(toVec3(mesh.mVertices[v]));
    // Only drawn, never written back: a plain conversion, not the shortest decimal form.
    if (mesh.HasNormals()) {
        out.normals.reserve(mesh.mNumVertices);
        for (unsigned v = 0; v < mesh.mNumVertices; ++v)
            out.normals.push_back({mesh.mNormals[v].x, mesh.mNormals[v].y, mesh.mNormals[v].z});
    }
    if (mesh.HasTextureCoords(0)) {
        out.uv.reserve(mesh.mNumVertices);
        for (unsigned v = 0; v < mesh.mNumVertices; ++v)
            out.uv.push_back({decimal(mesh.mTextureCoords[0][v].x), decimal(mesh.mTextureCoords[0][v].y)});
    }
    out.hasColors = mesh.HasVertexColors(0);
    out.morphTargets = mesh.mNumAnimMeshes;
    out.faceSizes.reserve(mesh.mNumFaces);
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
        const aiFace& face = mesh.mFaces[f];
        out.faceSizes.push_back(face.mNumIndices);
        out.corners.insert(out.corners.end(), face.mIndices, face.mIndices + face.mNumIndices);
    }
    for (unsigned b = 0; b < mesh.mNumBones; ++b) {
        const aiBone& bone = *mesh.mBones[b];
        ModelBone copy;
        copy.name = bone.mName.C_Str();
        copy.offset = toAffine(bone.mOffsetMatrix);
        copy.weights.reserve(bone.mNumWeights);
        for (unsigned w = 0; w < bone.mNumWeights; ++w)
            copy.weights.push_back({bone.mWeights[w].mVertexId, decimal(bone.mWeights[w].mWeight)});
        out.bones.push_back(std::move(copy));
    }
    return out;
}

std::optional<Vec3> materialColor(const aiMaterial& material, const char* key, unsigned type,
                                  unsigned index) {
    aiColor4D color;
    if (aiGetMaterialColor(&material, key, type, index, &color) != AI_SUCCESS) return std::nullopt;
    return Vec3{decimal(color.r), decimal(color.g), decimal(color.b)};
}

ModelMaterial copyMaterial(const aiMaterial& material) {
    ModelMaterial out;
    aiString name;
    if (material.Get(AI_MATKEY_NAME, name) == AI_SUCCESS) out.name = name.C_Str();
    out.diffuse = materialColor(material, AI_MATKEY_COLOR_DIFFUSE);
    out.specular = materialColor(material, AI_MATKEY_COLOR_SPECULAR);
    out.emissive = materialColor(material, AI_MATKEY_COLOR_EMISSIVE);
    float opacity = 1;
    if (material.Get(AI_MATKEY_OPACITY, opacity) == AI_SUCCESS) out.opacity = decimal(opacity);
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
            copy.rotation.push_back({channel.mRotationKeys[k].mTime, {decimal(q.w), decimal(q.x), decimal(q.y), decimal(q.z)}});
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

}  // namespace

bool readModel(const std::string& path, ReadMode mode, ModelData& out, std::string& error) {
    Assimp::Importer importer;
    // Keep the node tree as the artist built it, without the pivot helper nodes.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
    unsigned flags = aiProcess_ValidateDataStructure;
    if (mode == ReadMode::Triangles) flags |= aiProcess_Triangulate | aiProcess_SortByPType;
    const aiScene* scene = importer.ReadFile(path, flags);
    if (!scene || !scene->mRootNode) {
        error = importer.GetErrorString();
        if (error.empty()) error = "the reader returned no scene";
        return false;
    }
    out = ModelData{};
    copyNodes(scene->mRootNode, out.nodes);
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) out.meshes.push_back(copyMesh(*scene->mMeshes[m]));
    for (unsigned m = 0; m < scene->mNumMaterials; ++m)
        out.materials.push_back(copyMaterial(*scene->mMaterials[m]));
    std::unordered_map<std::string, int> nodeByName;
    for (int n = static_cast<int>(out.nodes.size()) - 1; n >= 0; --n) nodeByName[out.nodes[n].name] = n;
    for (unsigned a = 0; a < scene->mNumAnimations; ++a)
        out.animations.push_back(copyAnimation(*scene->mAnimations[a], nodeByName));
    for (unsigned t = 0; t < scene->mNumTextures; ++t) out.images.push_back(copyImage(*scene->mTextures[t]));
    out.frameRate = statedFrameRate(*scene);
    return true;
}

}  // namespace korvo::import
