#include "korvo/import/import_model.h"

#include "korvo/import/model_reader.h"
#include "korvo/import/reader_guard.h"
#include "korvo/import/texture_paths.h"

namespace korvo::import {

bool importModel(const std::string& path, Scene& out, std::string& error, const NoteSink& note,
                 const ImportChoices& choices, const std::string& textureTarget) {
    ModelData model;
    std::string reason;
    const bool read = readModel(path, ReadMode::Triangles, model, reason);
    readerFinished();
    if (!read) {
        error = path + ": cannot import: " + reason;
        return false;
    }
    const NoteSink modelNote = [&](const std::string& line) { note(path + ": " + line); };
    if (!textureTarget.empty() && !placeTextures(model, {path, textureTarget}, reason, modelNote)) {
        error = path + ": cannot import: " + reason;
        return false;
    }
    if (!sceneFromModel(model, out, reason, modelNote, choices)) {
        error = path + ": cannot import: " + reason;
        return false;
    }
    return true;
}

}  // namespace korvo::import
