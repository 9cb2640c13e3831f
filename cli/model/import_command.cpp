#include "cli/model/import_command.h"

#include <cstdio>
#include <memory>
#include <new>

#include "cli/input_kind.h"
#include "cli/model/model_options.h"
#include "cli/session.h"
#include "korvo/import/import_model.h"
#include "korvo/files/platform.h"
#include "korvo/scene/scene_json.h"
#include "korvo/files/target_file.h"
#include "korvo/files/write_plan.h"
#include "korvo/console/text.h"

namespace korvo::cli {

namespace {

struct ImportArguments {
    std::string model, output;
    bool forceName = false;
    unsigned readerTimeLimit = kReaderTimeLimit;
    std::string animationChoice;  // --animation-index
    bool keepTexturePaths = false;
    bool copyTextures = false;
};

int runImport(const ImportArguments& a) {
    std::string error = folderGivenAsInput(a.model);
    if (!error.empty()) return fail(kExitBadInput, error);
    WritePlan plan;
    if (const std::string refusal = planWrites({{a.model}, a.output, ".json",
                                                "korvo import writes scene files (NAME.korvo.json)", a.forceName},
                                               plan);
        !refusal.empty())
        return fail(kExitBadInput, refusal);
    const std::string& target = plan.targets.front();
    platform::guardInterrupts("the import to " + target);
    Scene scene;
    const auto note = [](const std::string& line) { std::fprintf(stderr, "korvo: note: %s\n", printable(line).c_str()); };
    import::TextureOutput textures;
    textures.target = target;
    textures.plan = &plan;
    textures.copyBeside = a.copyTextures;
    try {
        if (!import::importModel(a.model, scene, error, note, {a.animationChoice},
                                 a.keepTexturePaths ? nullptr : &textures))
            return fail(kExitBadInput, error);
    } catch (const std::bad_alloc&) {
        return fail(kExitBadInput, a.model + ": cannot be read: out of memory");
    }
    try {
        // The embedded images only once the scene naming them is written.
        if (!writeWholeTarget(target, sceneToJson(scene), error) || !import::writeImages(textures.images, error))
            return fail(kExitFailed, error);
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
    addReaderTimeLimit(*app, arguments->readerTimeLimit);
    addAnimationChoice(*app, arguments->animationChoice);
    addKeepTexturePaths(*app, arguments->keepTexturePaths);
    addCopyTextures(*app, arguments->copyTextures);
    return {app,
            [arguments] {
                if (isSceneFile(arguments->model))
                    return fail(kExitBadInput, arguments->model + " is a scene file already: korvo import reads models "
                                                                  "(korvo formats lists them)");
                return runWithModelReader(arguments->model, arguments->readerTimeLimit,
                                          [arguments] { return runImport(*arguments); });
            },
            nullptr};
}

}  // namespace korvo::cli
