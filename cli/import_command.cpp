#include "cli/import_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "cli/session.h"
#include "cli/target_rules.h"
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

struct ImportArguments {
    std::string model, output;
    bool forceName = false;
};

int runImport(const ImportArguments& a) {
    std::string error;
    if (!targetFolderUsable(a.output, error) ||
        !targetSuffixAccepted(a.output, ".json", a.forceName, "korvo import writes scene files (NAME.korvo.json)", error))
        return fail(kExitBadInput, error);
    Scene scene;
    const auto note = [](const std::string& line) { std::fprintf(stderr, "korvo: note: %s\n", line.c_str()); };
    try {
        if (!import::importModel(a.model, scene, error, note)) return fail(kExitBadInput, error);
    } catch (const std::bad_alloc&) {
        return fail(kExitBadInput, a.model + ": cannot be read: out of memory");
    }
    try {
        if (!writeAtomically(a.output, sceneToJson(scene), error)) return fail(kExitFailed, error);
    } catch (const std::bad_alloc&) {
        return fail(kExitFailed, "the import of " + a.model + " failed: out of memory");
    }
    return kExitOk;
}

}  // namespace

Subcommand addImportCommand(CLI::App& korvo) {
    auto arguments = std::make_shared<ImportArguments>();
    CLI::App* app = korvo.add_subcommand("import", "turn a model file into a scene file (korvo formats lists the formats)");
    app->add_option("MODEL", arguments->model, "the model file")->required()->type_name("FILE");
    app->add_option("-o,--output", arguments->output, "the scene file to write (.korvo.json)")->required()->type_name("FILE");
    app->add_flag("--force-name", arguments->forceName, "write to -o FILE even when its name does not end in .json");
    return {app, [arguments] { return runImport(*arguments); }, nullptr};
}

}  // namespace korvo::cli
