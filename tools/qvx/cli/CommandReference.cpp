#include "cli/CommandReference.h"

#include "cli/Cli.h"

namespace qvx::cli {

namespace {

std::vector<std::string> ChoicesIn(const std::string& typeName) {
    std::vector<std::string> choices;
    const auto open = typeName.find('{');
    const auto close = typeName.find('}', open);
    if (open == std::string::npos || close == std::string::npos) return choices;
    std::string item;
    for (std::size_t i = open + 1; i <= close; ++i) {
        if (typeName[i] == ',' || i == close) {
            if (!item.empty()) choices.push_back(item);
            item.clear();
        } else {
            item += typeName[i];
        }
    }
    return choices;
}

OptionReference Describe(const CLI::Option& opt) {
    OptionReference o;
    o.Positional = opt.get_positional();
    o.Required = opt.get_required();
    o.Description = opt.get_description();
    if (o.Positional) {
        o.Names.push_back(opt.get_name(true));
    } else {
        for (const std::string& s : opt.get_snames()) o.Names.push_back("-" + s);
        for (const std::string& l : opt.get_lnames()) o.Names.push_back("--" + l);
    }
    if (opt.get_items_expected_max() <= 0) return o;  // a flag
    const std::string type = opt.get_type_name();
    const std::string longName = opt.get_lnames().empty() ? "" : opt.get_lnames().front();
    o.Choices = ChoicesIn(type);
    if (!o.Choices.empty()) {
        o.Value = ValueKind::Choice;
        o.ValueName = longName == "method" ? "METHOD" : "WORD";
    } else if (type.rfind("UINT", 0) == 0 || type.rfind("INT", 0) == 0) {
        o.Value = ValueKind::Number;
        o.ValueName = "N";
    } else if (longName.find("dir") != std::string::npos) {
        o.Value = ValueKind::Directory;
        o.ValueName = "DIR";
    } else if (type == "PATTERN" || (o.Positional && o.Names.front() == "PATTERN")) {
        o.Value = ValueKind::None;  // entry names are inside the archive
        o.ValueName = "PATTERN";
    } else if (o.Positional && o.Names.front() == "COMMAND") {
        o.Value = ValueKind::Command;
        o.ValueName = "COMMAND";
    } else {
        o.Value = ValueKind::File;
        o.ValueName = "FILE";
    }
    if (o.Positional) o.ValueName = o.Names.front();
    return o;
}

void DescribeInto(const CLI::App& command, std::vector<CommandReference>& out) {
    CommandReference c;
    c.Path = CommandPath(command);
    c.Description = command.get_description();
    // The usage line of the help.
    const std::string help = HelpText(command);
    const std::string prefix = "Usage: ";
    const auto at = help.find(prefix);
    if (at != std::string::npos) {
        const auto start = at + prefix.size();
        c.Usage = help.substr(start, help.find('\n', start) - start);
    }
    for (const CLI::Option* opt : command.get_options([](const CLI::Option* o) { return !o->get_positional(); }))
        c.Options.push_back(Describe(*opt));
    for (const CLI::Option* opt : command.get_options([](const CLI::Option* o) { return o->get_positional(); }))
        c.Options.push_back(Describe(*opt));
    const auto subs = command.get_subcommands([](const CLI::App*) { return true; });
    for (const CLI::App* sub : subs) c.Subcommands.push_back(sub->get_name());
    c.Examples = CommandExamples(c.Path.size() > 4 ? c.Path.substr(4) : std::string());
    out.push_back(std::move(c));
    for (const CLI::App* sub : subs) DescribeInto(*sub, out);
}

}  // namespace

std::vector<CommandReference> DescribeCommands(const CLI::App& app) {
    std::vector<CommandReference> out;
    DescribeInto(app, out);
    return out;
}

}  // namespace qvx::cli
