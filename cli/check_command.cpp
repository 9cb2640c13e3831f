#include "cli/check_command.h"

#include <cstdio>
#include <memory>

#include "cli/model_options.h"
#include "cli/session.h"
#include "korvo/import/model_reader.h"
#include "korvo/import/model_report.h"
#include "korvo/import/reader_guard.h"

namespace korvo::cli {

Subcommand addCheckCommand(CLI::App& korvo) {
    struct Options {
        std::string path;
        unsigned readerTimeLimit = kReaderTimeLimit;
    };
    auto options = std::make_shared<Options>();
    CLI::App* app = korvo.add_subcommand(
        "check", "read a .x file with an independent reader and print what it holds (frames, meshes, "
                 "vertices, faces, materials, bones, animation keys)");
    app->add_option("FILE", options->path, "the file to read")->required();
    addReaderTimeLimit(*app, options->readerTimeLimit);
    return {app, [options]() {
                const std::string& path = options->path;
                return runWithModelReader(path, options->readerTimeLimit, [&path]() {
                    import::ModelData model;
                    std::string error;
                    const bool read = import::readModel(path, import::ReadMode::AsStored, model, error);
                    import::readerFinished();
                    if (!read) return fail(kExitFailed, path + ": cannot be read: " + error);
                    std::fputs(import::describeModel(model).c_str(), stdout);
                    return static_cast<int>(kExitOk);
                });
            }};
}

}  // namespace korvo::cli
