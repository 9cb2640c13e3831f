// The korvo command's subcommands. Each lives in its own file and registers itself
// with main.cpp's table: it adds its CLI11 subcommand and returns what runs it.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>

namespace korvo::cli {

// Exit statuses of every subcommand.
enum ExitStatus : int {
    kExitOk = 0,         // written (or nothing to write, or cancelled), checked
    kExitFailed = 1,     // the export (or the check) failed
    kExitBadInput = 2,   // bad usage or bad input: options, missing or unreadable input, target
    kExitLeaks = 3,      // KORVO_CHECK_LEAKS found something alive
};

struct Subcommand {
    CLI::App* app = nullptr;
    std::function<int()> run;
    // Fills in what the help text can only learn at run time (the dialog's defaults).
    std::function<void()> prepareHelp;
};

Subcommand addExportCommand(CLI::App& korvo);
Subcommand addDialogCommand(CLI::App& korvo);

}  // namespace korvo::cli
