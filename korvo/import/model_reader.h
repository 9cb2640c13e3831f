// Reads a model file with assimp into plain records.
#pragma once

#include <string>

#include "korvo/import/model_data.h"

namespace korvo::import {

enum class ReadMode {
    AsStored,   // faces as the file has them: what `korvo check` reports
    Triangles,  // polygons split into triangles, each mesh of one primitive type
};

// False with the reader's reason in `error` when the file cannot be read. The reader's
// own lines name the model as `shownName` ("": `path`), see reader_lines.h.
bool readModel(const std::string& path, ReadMode mode, ModelData& out, std::string& error,
               const std::string& shownName = "");

}  // namespace korvo::import
