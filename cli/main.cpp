// korvo: the stand-in Korvo host on the command line.
#include <cstdio>
#include <new>
#include <vector>

#include "cli/command.h"
#include "cli/dialog_probe.h"
#include "cli/help_format.h"
#include "cli/session.h"
#include "korvo/platform.h"
#ifdef KORVO_WITH_IMPORT
#include "cli/check_command.h"
#include "cli/formats_command.h"
#include "cli/import_command.h"
#include "cli/preview_command.h"
#endif

namespace {

using namespace korvo::cli;

// `korvo --version`: the command's version, and the module's as its dialog states it.
int printVersions() {
    std::printf("korvo %s (the stand-in Korvo host, interface %d)\n", KORVO_COMMAND_VERSION, KRV_INTERFACE_VERSION);
    std::fflush(stdout);
    const std::string path = resolveModulePath("");
    korvo::DialogRun run;
    if (const int status = probeDialog(path, korvo::DialogScript{}, false, run); status != kExitOk) return status;
    const std::string version = moduleVersion(run.shown);
    if (version.empty()) return fail(kExitFailed, "the module " + path + " states no version in its dialog");
    std::printf("module %s: %s\n", path.c_str(), version.c_str());
    return kExitOk;
}

std::string subcommandList(const std::vector<Subcommand>& subcommands) {
    std::string names;
    for (size_t i = 0; i < subcommands.size(); ++i)
        names += (i == 0 ? "" : i + 1 == subcommands.size() ? " or " : ", ") + subcommands[i].app->get_name();
    return names;
}

// The input a subcommand was given, for a line about a failure no subcommand caught.
std::string inputsOf(const CLI::App& app) {
    std::string names;
    for (const CLI::Option* option : app.get_options())
        if (option->get_positional())
            for (const std::string& r : option->results()) names += (names.empty() ? "" : ", ") + r;
    return names;
}

}  // namespace

int main(int argc, char** argv) {
    korvo::platform::keepStandardDescriptorsOpen();
    CLI::App korvo{"The stand-in Korvo host: drives the Dorna module as Korvo would."};
    korvo.formatter(std::make_shared<HelpFormat>());
    korvo.require_subcommand(1);
    korvo.add_flag("--version", "print the command's and the module's versions");
    std::vector<Subcommand> subcommands = {
        addExportCommand(korvo),
        addDialogCommand(korvo),
#ifdef KORVO_WITH_IMPORT
        addImportCommand(korvo),
        addCheckCommand(korvo),
        addPreviewCommand(korvo),
        addFormatsCommand(korvo),
#endif
    };
    // UTF-8 on every system: file names may hold any character.
    const std::vector<std::string> arguments = korvo::platform::commandArguments(argc, argv);
    if (arguments.size() == 2 && arguments[1] == "--version") return printVersions();
    // The first word that is not an option names the subcommand.
    const auto known = [&subcommands](const std::string& name) {
        for (const Subcommand& s : subcommands)
            if (s.app->get_name() == name) return true;
        return false;
    };
    if (arguments.size() >= 2 && !arguments[1].empty() && arguments[1][0] != '-' && !known(arguments[1]))
        return fail(kExitBadInput, "unknown subcommand \"" + arguments[1] + "\": the subcommands are " +
                                       subcommandList(subcommands) + " (korvo --help)");
    try {
        std::vector<const char*> pointers;
        for (const std::string& a : arguments) pointers.push_back(a.c_str());
        korvo.parse(int(pointers.size()), pointers.data());
    } catch (const CLI::Success& e) {
        for (Subcommand& s : subcommands)
            if (s.app->parsed() && s.prepareHelp) s.prepareHelp();
        return korvo.exit(e);
    } catch (const CLI::ParseError& e) {
        std::string where = "korvo --help";
        for (Subcommand& s : subcommands)
            if (s.app->parsed()) where = "korvo " + s.app->get_name() + " --help";
        return fail(kExitBadInput, std::string(e.what()) + " (" + where + " lists the options)");
    }
    for (Subcommand& s : subcommands) {
        if (!s.app->parsed()) continue;
        try {
            return s.run();
        } catch (const std::bad_alloc&) {
            return fail(kExitFailed, "korvo " + s.app->get_name() + " " + inputsOf(*s.app) + ": out of memory");
        }
    }
    return kExitBadInput;
}
