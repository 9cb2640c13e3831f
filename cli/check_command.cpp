#include "cli/check_command.h"

#include <cstdio>
#include <memory>

#include "cli/session.h"
#include "korvo/import/model_reader.h"
#include "korvo/import/model_report.h"

namespace korvo::cli {

Subcommand addCheckCommand(CLI::App& korvo) {
    auto path = std::make_shared<std::string>();
    CLI::App* app = korvo.add_subcommand(
        "check", "read a .x file with an independent reader and print what it holds (frames, meshes, "
                 "vertices, faces, materials, bones, animation keys)");
    app->add_option("FILE", *path, "the file to read")->required();
    return {app, [path]() {
                import::ModelData model;
                std::string error;
                if (!import::readModel(*path, import::ReadMode::AsStored, model, error))
                    return fail(kExitFailed, *path + ": cannot be read: " + error);
                std::fputs(import::describeModel(model).c_str(), stdout);
                return static_cast<int>(kExitOk);
            }};
}

}  // namespace korvo::cli
