#include "cli/import_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/model_options.h"
#include "cli/session.h"
#include "korvo/import/import_model.h"
#include "korvo/scene_json.h"

namespace korvo::cli {

namespace {

// Writes beside the target and renames over it, so that a failed write leaves any
// earlier file untouched. False with the reason in `error`.
bool writeAtomically(const std::string& path, const std::string& text, std::string& error) {
    const std::string temporary = path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error = path + ": cannot be written: " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int writeErrno = errno;
    if (std::fclose(file) != 0 || !written) {
        error = path + ": cannot be written: " + std::strerror(written ? errno : writeErrno);
        std::remove(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = path + ": cannot be written: " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

Subcommand addImportCommand(CLI::App& korvo) {
    struct Options {
        std::string model, output;
        unsigned readerTimeLimit = kReaderTimeLimit;
        std::string animationChoice;
    };
    auto options = std::make_shared<Options>();
    CLI::App* app = korvo.add_subcommand(
        "import", "turn a glTF, FBX, Collada, OBJ, X, 3DS, PLY, STL, MS3D, SMD, B3D or MD5 model into a scene file");
    app->add_option("MODEL", options->model, "the model file")->required();
    app->add_option("-o,--output", options->output, "the scene file to write (.korvo.json)")->required();
    addReaderTimeLimit(*app, options->readerTimeLimit);
    addAnimationChoice(*app, options->animationChoice);
    return {app, [options]() {
                return runWithModelReader(options->model, options->readerTimeLimit, [&options]() {
                    Scene scene;
                    std::string error;
                    const auto note = [](const std::string& line) {
                        std::fprintf(stderr, "korvo: note: %s\n", line.c_str());
                    };
                    if (!import::importModel(options->model, scene, error, note, {options->animationChoice}))
                        return fail(kExitBadInput, error);
                    if (!writeAtomically(options->output, sceneToJson(scene), error)) return fail(kExitFailed, error);
                    return static_cast<int>(kExitOk);
                });
            }};
}

}  // namespace korvo::cli
