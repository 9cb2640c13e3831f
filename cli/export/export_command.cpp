// korvo export SCENE -o OUT.x [dialog options]: saves a scene through the module's
// .x saver, exactly as Korvo would, and reports what was written. With -o FOLDER/ it
// exports each of several inputs to FOLDER/NAME.x (cli/export/export_batch.cpp).
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "cli/command.h"
#include "cli/dialog/dialog_options.h"
#include "cli/dialog/dialog_probe.h"
#include "cli/export/export_batch.h"
#include "cli/export/export_command.h"
#include "cli/export/export_session.h"
#include "cli/input_kind.h"
#include "cli/session.h"
#include "korvo/files/platform.h"
#include "korvo/files/write_plan.h"
#include "korvo/console/text.h"
#ifdef KORVO_WITH_IMPORT
#include "cli/model/model_options.h"
#endif

namespace korvo::cli {

namespace {

// Every file written is named: the .x file (the first and last of one per frame) and each
// image written beside it.
void printSummary(const ExportResult& r) {
    uint64_t total = 0;
    for (const WrittenFile& f : r.files) total += f.bytes;
    std::string names = r.files.size() == 1 ? r.files.front().path : r.files.front().path + " .. " + r.files.back().path;
    for (const std::string& image : r.images) {
        std::error_code error;
        const uintmax_t bytes = std::filesystem::file_size(image, error);
        if (!error) total += bytes;
        names += ", " + image;
    }
    const size_t count = r.files.size() + r.images.size();
    const std::string what =
        "wrote " + std::to_string(count) + (count == 1 ? " file (" : " files (") + names + ")";
    std::fprintf(stderr, "korvo: %s, %s, %zu object%s, %.2f s\n", printable(what).c_str(), sizeText(total).c_str(),
                 r.objects, r.objects == 1 ? "" : "s", r.seconds);
}

int runSingle(const ExportArguments& a, const ExportSettings& settings, std::vector<std::string>* written,
              std::vector<std::string>* images) {
    ExportSession session(settings);
    const ExportResult r = session.exportOne(a.inputs.front(), settings.plan.targets.front());
    if (written)
        for (const WrittenFile& f : r.files) written->push_back(f.path);
    if (images) images->insert(images->end(), r.images.begin(), r.images.end());
    if (r.status == kExitOk && !r.files.empty() && !a.forPreview) printSummary(r);
    double unload = 0;
    const int status = session.finish(r.status, &unload);
    if (a.timings && !r.phases.empty())
        std::fprintf(stderr,
                     "korvo: timings: read %.3f s, document %.3f s, module start %.3f s, export %.3f s "
                     "(file system %.3f s), module end %.3f s\n",
                     r.phases[0], r.phases[1], r.phases[2], r.phases[3], r.phases[4], unload);
    return status;
}

}  // namespace

int runExport(const ExportArguments& a, std::vector<std::string>* written, std::vector<std::string>* images) {
    ExportSettings settings;
    std::string error;
    if (!a.dialog.script(settings.script, error)) return fail(kExitBadInput, error);
    if (!allocationToRefuse(settings.refuseAllocation)) return kExitBadInput;
    settings.modulePath = resolveModulePath(a.module);
    settings.dialog = &a.dialog;
    settings.animationChoice = a.animationChoice;
    settings.keepTexturePaths = a.keepTexturePaths;
    settings.verbose = a.verbose;
    settings.copyTextures = a.copyTextures;
    const bool intoFolder = namesFolder(a.output);
    if (intoFolder && a.timings)
        return fail(kExitBadInput, "--timings times a single export: give one input and -o FILE.x");
    WriteRequest request{a.inputs, a.output, ".x", "korvo export writes DirectX .x files", a.forceName, true, false};
    request.framePerFile = writesFilePerFrame(settings.script, std::any_of(a.inputs.begin(), a.inputs.end(), readsModel));
    if (const std::string refusal = planWrites(request, settings.plan); !refusal.empty())
        return fail(kExitBadInput, refusal);
    platform::guardInterrupts("the export to " + (intoFolder ? a.output : settings.plan.targets.front()));
    if (intoFolder) return runBatch(a.inputs, a.jobs, settings, a.readerTimeLimit);
    settings.progress = platform::isTerminal(stderr);
    return runSingle(a, settings, written, images);
}

Subcommand addExportCommand(CLI::App& korvo) {
    auto arguments = std::make_shared<ExportArguments>();
    CLI::App* app = korvo.add_subcommand("export", "export scene files (or model files) to .x files");
    app->add_option("SCENE", arguments->inputs, "the scene file (.korvo.json) or model file; several with -o FOLDER/")
        ->required()
        ->type_name("FILE");
    app->add_option("-o,--output", arguments->output,
                    "the .x file to write, or the folder (ending in /) to write NAME.x into for each input")
        ->required()
        ->type_name("FILE|FOLDER/");
    app->add_option("-j,--jobs", arguments->jobs, "exports run side by side into a folder (default: one per core)")
        ->type_name("N")
        ->check(CLI::Range(1u, 1024u).description(""));
    app->add_flag("--force-name", arguments->forceName, "write to -o FILE even when its name does not end in .x");
    app->add_option("--module", arguments->module, "the module to load (default: beside the command)")->type_name("PATH");
    app->add_flag("--timings", arguments->timings, "print the time of each phase");
    addVerbose(*app, arguments->verbose);
    arguments->dialog.addTo(*app);
#ifdef KORVO_WITH_IMPORT
    addReaderTimeLimit(*app, arguments->readerTimeLimit);
    addAnimationChoice(*app, arguments->animationChoice);
#endif
    addKeepTexturePaths(*app, arguments->keepTexturePaths);
    addCopyTextures(*app, arguments->copyTextures);
    return {app,
            [arguments] {
#ifdef KORVO_WITH_IMPORT
                // A single model is read in a child process that a crash or hang of the reader cannot take
                // down; a batch watches the reader in its worker processes.
                const std::string& input = arguments->inputs.front();
                if (arguments->inputs.size() == 1 && !namesFolder(arguments->output) && readsModel(input))
                    return runWithModelReader(input, arguments->readerTimeLimit, [arguments] { return runExport(*arguments); });
#endif
                return runExport(*arguments);
            },
            [arguments] { describeDialogOptions(arguments->dialog, arguments->module); }};
}

}  // namespace korvo::cli
