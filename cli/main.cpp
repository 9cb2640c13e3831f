// korvo: the stand-in Korvo host on the command line.
#include <cstdio>
#include <vector>

#include "cli/command.h"
#include "korvo/platform.h"
#ifdef KORVO_WITH_IMPORT
#include "cli/check_command.h"
#include "cli/import_command.h"
#include "cli/preview_command.h"
#endif

int main(int argc, char** argv) {
    using namespace korvo::cli;
    CLI::App korvo{"The stand-in Korvo host: drives the Dorna module as Korvo would."};
    korvo.require_subcommand(1);
    std::vector<Subcommand> subcommands = {
        addExportCommand(korvo),
        addDialogCommand(korvo),
#ifdef KORVO_WITH_IMPORT
        addImportCommand(korvo),
        addCheckCommand(korvo),
        addPreviewCommand(korvo),
#endif
    };
    try {
        // UTF-8 on every system: file names may hold any character.
        const std::vector<std::string> arguments = korvo::platform::commandArguments(argc, argv);
        std::vector<const char*> pointers;
        for (const std::string& a : arguments) pointers.push_back(a.c_str());
        korvo.parse(int(pointers.size()), pointers.data());
    } catch (const CLI::Success& e) {
        return korvo.exit(e);
    } catch (const CLI::ParseError& e) {
        korvo.exit(e);
        return kExitBadInput;
    }
    for (Subcommand& s : subcommands)
        if (s.app->parsed()) return s.run();
    return kExitBadInput;
}
