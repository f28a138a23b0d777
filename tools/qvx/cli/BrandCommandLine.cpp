#include "cli/BrandCommandLine.h"

#include "setup/branding/Manifest.h"

namespace qvx::cli {

namespace {

std::string CheckVersion(const std::string& text) {
    std::string why;
    return branding::ParseVersionNumber(text, &why) ? std::string() : "'" + text + "': " + why;
}

CLI::Validator VersionString(const std::string& key) {
    return CLI::Validator([key](std::string& value) { return branding::VersionStringFault(key, value); }, "");
}

std::string CheckKeyValue(const std::string& text) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) return "'" + text + "' is not KEY=VALUE";
    const std::string fault = branding::VersionStringFault(text.substr(0, equals), text.substr(equals + 1));
    return fault.empty() ? fault : "'" + text.substr(0, equals) + "': " + fault;
}

bool WasGiven(const BrandArguments& a, const std::string& name) {
    for (const CLI::Option* option : a.Options)
        if (option->get_name() == name) return option->count() > 0;
    return false;
}

std::optional<std::string> IfGiven(const BrandArguments& a, const std::string& name, const std::string& value) {
    if (!WasGiven(a, name)) return std::nullopt;
    return value;
}

}  // namespace

void AddBrandOptions(CLI::App& build, BrandArguments& a) {
    const std::string group = "Branding (Setup.exe only)";
    const auto add = [&](const std::string& name, std::string& value, const std::string& help,
                         const std::string& type) {
        CLI::Option* option = build.add_option(name, value, help)->type_name(type)->group(group);
        a.Options.push_back(option);
        return option;
    };
    add("--icon", a.Icon, "The setup file's icon: an .ico file (BMP or PNG images up to 256x256)", "FILE");
    add("--version", a.Version, "FILEVERSION, PRODUCTVERSION and their strings: up to four numbers 0-65535", "A.B.C.D")
        ->check(CLI::Validator(CheckVersion, ""));
    add("--product-version", a.ProductVersion, "PRODUCTVERSION and ProductVersion when they differ from --version",
        "A.B.C.D")
        ->check(CLI::Validator(CheckVersion, ""));
    add("--product-name", a.ProductName, "ProductName of the version information", "TEXT")
        ->check(VersionString("ProductName"));
    add("--company", a.Company, "CompanyName of the version information", "TEXT")->check(VersionString("CompanyName"));
    add("--description", a.Description, "FileDescription of the version information", "TEXT")
        ->check(VersionString("FileDescription"));
    add("--copyright", a.Copyright, "LegalCopyright of the version information", "TEXT")
        ->check(VersionString("LegalCopyright"));
    CLI::Option* strings = build
                               .add_option("--version-string", a.Strings,
                                           "Any string of the version information, as OriginalFilename=MySetup.exe "
                                           "(may be repeated; wins over the options above for its key)")
                               ->type_name("KEY=VALUE")
                               ->allow_extra_args(false)
                               ->check(CLI::Validator(CheckKeyValue, ""))
                               ->group(group);
    a.Options.push_back(strings);
    CLI::Option* level =
        add("--execution-level", a.ExecutionLevel,
            "requestedExecutionLevel of the manifest: asInvoker, highestAvailable or requireAdministrator", "LEVEL")
            ->check(CLI::IsMember({"asInvoker", "highestAvailable", "requireAdministrator"}));
    CLI::Option* manifest =
        add("--manifest", a.Manifest, "Replace the whole manifest with this UTF-8 XML file", "FILE");
    manifest->excludes(level);
}

setup::BrandOptions MakeBrandOptions(const BrandArguments& a) {
    setup::BrandOptions options;
    for (const CLI::Option* option : a.Options)
        if (option->count() > 0) options.Given.push_back(option->get_name());
    if (options.Given.empty()) return options;
    std::string why;
    options.Icon = a.Icon;
    if (WasGiven(a, "--version")) options.Version = branding::ParseVersionNumber(a.Version, &why);
    if (WasGiven(a, "--product-version")) options.ProductVersion = branding::ParseVersionNumber(a.ProductVersion, &why);
    options.ProductName = IfGiven(a, "--product-name", a.ProductName);
    options.Company = IfGiven(a, "--company", a.Company);
    options.Description = IfGiven(a, "--description", a.Description);
    options.Copyright = IfGiven(a, "--copyright", a.Copyright);
    for (const std::string& s : a.Strings) {
        const std::size_t equals = s.find('=');
        options.Strings.emplace_back(s.substr(0, equals), s.substr(equals + 1));
    }
    options.ExecutionLevel = a.ExecutionLevel;
    options.Manifest = a.Manifest;
    return options;
}

}  // namespace qvx::cli
