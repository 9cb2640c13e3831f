// Reads a model file with assimp into plain records.
#pragma once

#include <string>
#include <thread>

#include "korvo/import/model_data.h"

namespace korvo::import {

enum class ReadMode {
    AsStored,   // faces as the file has them: what `korvo check` reports
    Triangles,  // polygons split into triangles, each mesh of one primitive type
};

enum class VertexArrays {
    Copied,     // into the mesh's positions, normals and uv: what every reader of them expects
    TakenOver,  // the reader's arrays kept as they are (ModelMesh::taken), for an import
};

// The reader's scene given back on a thread of its own while the caller converts what
// was copied out of it: a million triangles are a million small blocks of indices, a
// tenth of a second to give back. Destroying it waits for the release.
class SceneRelease {
public:
    SceneRelease() = default;
    SceneRelease(const SceneRelease&) = delete;
    SceneRelease& operator=(const SceneRelease&) = delete;
    ~SceneRelease() {
        if (thread_.joinable()) thread_.join();
    }

private:
    friend bool readModel(const std::string&, ReadMode, ModelData&, std::string&, const std::string&,
                          SceneRelease*, VertexArrays);
    std::thread thread_;
};

// False with the reader's reason in `error` when the file cannot be read. The reader's
// own lines name the model as `shownName` ("": `path`), see reader_lines.h. With
// `release`, the reader's scene is given back through it (else before returning); with
// VertexArrays::TakenOver, all of it but the vertex arrays the meshes keep.
bool readModel(const std::string& path, ReadMode mode, ModelData& out, std::string& error,
               const std::string& shownName = "", SceneRelease* release = nullptr,
               VertexArrays vertices = VertexArrays::Copied);

}  // namespace korvo::import
