// korvo: the stand-in Korvo host on the command line.
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/dialog/dialog_probe.h"
#include "cli/help_format.h"
#include "cli/session.h"
#include "cli/usage_words.h"
#include "korvo/files/platform.h"
#ifdef KORVO_WITH_IMPORT
#include "cli/model/check_command.h"
#include "cli/model/formats_command.h"
#include "cli/model/import_command.h"
#include "cli/preview/preview_command.h"
#endif

namespace {

using namespace korvo::cli;

// `korvo --version`: the command's version, and the module's as the module tells it.
int printVersions() {
    std::printf("korvo %s (the stand-in Korvo host, interface %d)\n", KORVO_COMMAND_VERSION, KRV_INTERFACE_VERSION);
    std::fflush(stdout);
    const std::string path = resolveModulePath("");
    korvo::Host host(korvo::HostBehaviour{});
    int status = kExitOk;
    const korvo::SaverInfo* saver = nullptr;
    std::string version;  // copied: the text is the module's, unloaded before it is printed
    if (std::unique_ptr<korvo::LoadedModule> module = loadModule(host, path, saver, status, false)) {
        KrvModuleInfo info{sizeof(KrvModuleInfo), nullptr};
        if (module->send(KRV_MSG_MODULE_INFO, &info, 0, nullptr) == 1 && info.version) version = info.version;
        else status = fail(kExitFailed, "the module " + path + " tells no version");
    }
    if (status != kExitOk) return checkLeaks(host, status);
    std::printf("module %s: Dorna Version %s\n", path.c_str(), version.c_str());
    return checkLeaks(host, kExitOk);
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

// Whether `--version` stands among the options (not after "--"), wherever the subcommand.
bool asksVersion(const std::vector<std::string>& arguments) {
    for (size_t i = 1; i < arguments.size() && arguments[i] != "--"; ++i)
        if (arguments[i] == "--version") return true;
    return false;
}

// The spelling the user typed of `option` that lacks its value: the last one given.
std::string spelledName(const CLI::Option& option, const std::vector<std::string>& arguments) {
    for (size_t i = arguments.size(); i-- > 1;)
        if (option.check_name(arguments[i])) return arguments[i];
    return option.get_name();
}

// One line in words for what CLI11 found wrong with the command line of `command`.
std::string parseErrorText(const CLI::ParseError& e, const CLI::App& command, const std::vector<std::string>& arguments) {
    const std::string what = e.what();
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
        // "--jobs: 1 required N missing"
        const std::string name = what.substr(0, what.find(':'));
        if (const CLI::Option* option = command.get_option_no_throw(name))
            return valueNeeded(command.get_name(), *option, spelledName(*option, arguments));
    }
    if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
        for (const std::string& extra : command.remaining()) {
            if (extra.size() < 2 || extra[0] != '-') continue;
            const std::string near = nearestOption(command, extra);
            return "unknown option " + extra + (near.empty() ? "" : ": did you mean " + near + "?");
        }
        if (!command.remaining().empty() && command.get_parent() != nullptr)
            return command.remaining().front() + ": one input too many, korvo " + command.get_name() + " takes one";
    }
    return what;
}

}  // namespace

int main(int argc, char** argv) {
    korvo::platform::keepStandardDescriptorsOpen();
    korvo::platform::keepLargeBlocks();
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
    if (asksVersion(arguments)) return printVersions();
    // The first word that is not an option names the subcommand.
    const auto known = [&subcommands](const std::string& name) {
        for (const Subcommand& s : subcommands)
            if (s.app->get_name() == name) return true;
        return false;
    };
    if (arguments.size() >= 2 && !arguments[1].empty() && arguments[1][0] != '-' && !known(arguments[1])) {
        std::vector<std::string> names;
        for (const Subcommand& sub : subcommands) names.push_back(sub.app->get_name());
        const std::string near = nearestName(arguments[1], names);
        return fail(kExitBadInput, "unknown subcommand \"" + arguments[1] + "\"" +
                                       (near.empty() ? "" : ": did you mean " + near + "?") + " (the subcommands are " +
                                       subcommandList(subcommands) + "; korvo --help)");
    }
    try {
        std::vector<const char*> pointers;
        for (const std::string& a : arguments) pointers.push_back(a.c_str());
        korvo.parse(int(pointers.size()), pointers.data());
    } catch (const CLI::Success& e) {
        for (Subcommand& s : subcommands)
            if (s.app->parsed() && s.prepareHelp) s.prepareHelp();
        return korvo.exit(e);
    } catch (const CLI::ParseError& e) {
        const CLI::App* command = &korvo;
        for (Subcommand& s : subcommands)
            if (s.app->parsed()) command = s.app;
        const std::string where = command == &korvo ? "korvo --help" : "korvo " + command->get_name() + " --help";
        return fail(kExitBadInput, parseErrorText(e, *command, arguments) + " (" + where + " lists the options)");
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
