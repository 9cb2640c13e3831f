#include "korvo/import/import_model.h"

#include "korvo/import/model_reader.h"
#include "korvo/import/reader_guard.h"

namespace korvo::import {

bool importModel(const std::string& path, Scene& out, std::string& error, const NoteSink& note,
                 const ImportChoices& choices, TextureOutput* textures) {
    ModelData model;
    std::string reason;
    // The reader's scene goes while the model is converted, but for the vertex arrays,
    // which the conversion reads where they are.
    SceneRelease release;
    const bool read = readModel(path, ReadMode::Triangles, model, reason, "", &release, VertexArrays::TakenOver);
    readerFinished();
    if (!read) {
        error = path + ": cannot import: " + reason;
        return false;
    }
    const NoteSink modelNote = [&](const std::string& line) { note(path + ": " + line); };
    for (const std::string& line : model.notes) modelNote(line);
    if (textures)
        placeTextures(model,
                      {path, textures->target, textures->copyBeside, textures->plan},
                      textures->images, modelNote);
    if (!sceneFromModel(model, out, reason, modelNote, choices)) {
        error = path + ": cannot import: " + reason;
        return false;
    }
    return true;
}

}  // namespace korvo::import
