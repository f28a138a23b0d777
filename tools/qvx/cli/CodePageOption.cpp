#include "cli/CodePageOption.h"

namespace qvx::cli {

void AddCodePageOption(CLI::App& command, CodePage& codePage) {
    command
        .add_option_function<std::string>(
            "--codepage", [&codePage](const std::string& text) { codePage = *CodePage::Parse(text); },
            CodePageHelpText())
        ->type_name("CP")
        ->check(CLI::Validator(
            [](std::string& text) {
                return CodePage::Parse(text) ? std::string() : "unknown code page '" + text + "'";
            },
            ""));
}

}  // namespace qvx::cli
