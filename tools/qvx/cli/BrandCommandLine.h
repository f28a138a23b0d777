// The options of setup build that brand the setup file (--icon, --version, --execution-level,
// ...): their registration on the command line, the checks of their values (a malformed value is
// a usage error), and the branding they ask for.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "setup/LauncherBranding.h"

namespace qvx::cli {

// The options' values as given.
struct BrandArguments {
    std::string Icon, Version, ProductVersion, ProductName, Company, Description, Copyright, ExecutionLevel, Manifest;
    std::vector<std::string> Strings;         // KEY=VALUE
    std::vector<const CLI::Option*> Options;  // every branding option, in the order of the help
};

void AddBrandOptions(CLI::App& build, BrandArguments& arguments);

// The branding the parsed options ask for.
setup::BrandOptions MakeBrandOptions(const BrandArguments& arguments);

}  // namespace qvx::cli
