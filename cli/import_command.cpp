#include "cli/import_command.h"

#include <cstdio>
#include <memory>

#include "cli/session.h"
#include "korvo/import/import_model.h"
#include "korvo/platform.h"
#include "korvo/scene_json.h"
#include "korvo/target_file.h"

namespace korvo::cli {

Subcommand addImportCommand(CLI::App& korvo) {
    struct Options {
        std::string model, output;
    };
    auto options = std::make_shared<Options>();
    CLI::App* app = korvo.add_subcommand(
        "import", "turn a glTF, FBX, Collada, OBJ, X, 3DS, PLY, STL, MS3D, SMD, B3D or MD5 model into a scene file");
    app->add_option("MODEL", options->model, "the model file")->required();
    app->add_option("-o,--output", options->output, "the scene file to write (.korvo.json)")->required();
    return {app, [options]() {
                Scene scene;
                std::string error;
                const auto note = [](const std::string& line) { std::fprintf(stderr, "korvo: note: %s\n", line.c_str()); };
                if (const std::string problem = targetProblem(options->output, {options->model}); !problem.empty())
                    return fail(kExitBadInput, problem);
                platform::guardInterrupts("the import to " + options->output);
                if (!import::importModel(options->model, scene, error, note)) return fail(kExitBadInput, error);
                if (!writeWholeTarget(options->output, sceneToJson(scene), error)) return fail(kExitFailed, error);
                return static_cast<int>(kExitOk);
            }};
}

}  // namespace korvo::cli
