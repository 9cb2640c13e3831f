#include "cli/model/formats_command.h"

#include <cstdio>
#include <memory>
#include <string>

#include "korvo/import/model_formats.h"

namespace korvo::cli {

namespace {

std::string suffixList(const import::ModelFormat& format) {
    std::string text;
    for (const std::string& s : format.suffixes) text += (text.empty() ? "." : " .") + s;
    return text;
}

}  // namespace

Subcommand addFormatsCommand(CLI::App& korvo) {
    auto markdown = std::make_shared<bool>(false);
    CLI::App* app = korvo.add_subcommand("formats", "list the model formats that import and export read (besides scene files)");
    app->add_flag("--markdown", *markdown, "print the list as a Markdown table");
    return {app, [markdown] {
                if (*markdown) std::fputs("| format | suffixes |\n|---|---|\n", stdout);
                for (const import::ModelFormat& f : import::readableFormats()) {
                    if (*markdown) std::printf("| %s | %s |\n", f.name.c_str(), suffixList(f).c_str());
                    else std::printf("%-28s %s\n", suffixList(f).c_str(), f.name.c_str());
                }
                return 0;
            },
            nullptr};
}

}  // namespace korvo::cli
