#include "cli/model/check_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "cli/input_kind.h"
#include "cli/model/model_options.h"
#include "cli/session.h"
#include "korvo/import/model_reader.h"
#include "korvo/import/model_report.h"
#include "korvo/files/platform.h"
#include "korvo/import/reader_guard.h"

namespace korvo::cli {

namespace {

// A file that cannot be opened is bad input (status 2); one the reader refuses fails
// the check (status 1).
int runCheck(const std::string& path) {
    if (platform::isFolder(path)) return fail(kExitBadInput, path + ": cannot be read: it is a folder");
    if (std::FILE* file = platform::openForReading(path)) {
        std::fclose(file);
    } else {
        return fail(kExitBadInput, path + ": cannot be read: " + std::strerror(errno));
    }
    import::ModelData model;
    std::string error;
    try {
        const bool read = import::readModel(path, import::ReadMode::AsStored, model, error);
        import::readerFinished();
        if (!read) return fail(kExitFailed, path + ": cannot be read: " + error);
    } catch (const std::bad_alloc&) {
        return fail(kExitBadInput, path + ": cannot be read: out of memory");
    }
    std::fputs(import::describeModel(model).c_str(), stdout);
    return kExitOk;
}

}  // namespace

Subcommand addCheckCommand(CLI::App& korvo) {
    struct Options {
        std::string path;
        unsigned readerTimeLimit = kReaderTimeLimit;
    };
    auto options = std::make_shared<Options>();
    CLI::App* app = korvo.add_subcommand(
        "check", "read a .x file with an independent reader and print what it holds (frames, meshes, "
                 "vertices, faces, materials, bones, animation keys)");
    app->add_option("FILE", options->path, "the file to read")->required()->type_name("FILE");
    addReaderTimeLimit(*app, options->readerTimeLimit);
    return {app,
            [options] {
                const std::string& path = options->path;
                if (isSceneFile(path))
                    return fail(kExitBadInput, path + " is a scene file: korvo check reads .x files and models "
                                                      "(korvo preview draws a scene as its export would be)");
                return runWithModelReader(path, options->readerTimeLimit, [&path] { return runCheck(path); });
            },
            nullptr};
}

}  // namespace korvo::cli
