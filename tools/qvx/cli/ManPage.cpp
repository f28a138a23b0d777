// The manual page qvx(1), generated from the command reference.
#include "cli/Cli.h"
#include "cli/CommandReference.h"

namespace qvx::cli {

namespace {

// Text as roff reads it: backslashes doubled as \e, a line starting with . or ' made literal.
std::string Roff(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        lineStart = c == '\n';
    }
    return out;
}

std::string OptionLine(const OptionReference& o) {
    if (o.Positional) return "\\fI" + Roff(o.Names.front()) + "\\fR";
    std::string s;
    for (const std::string& n : o.Names) s += (s.empty() ? "" : ", ") + ("\\fB" + Roff(n) + "\\fR");
    if (!o.ValueName.empty()) s += " \\fI" + Roff(o.ValueName) + "\\fR";
    return s;
}

std::string Paragraphs(const std::string& text) {
    std::string out;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            out += Roff(line) + "\n";
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) out += Roff(line) + "\n";
    return out;
}

}  // namespace

std::string ManPage(const std::vector<CommandReference>& commands, const std::string& version) {
    const CommandReference& tool = commands.front();
    std::string s = ".\\\" The manual page of qvx, generated from the tool's own command tables.\n";
    s += ".TH QVX 1 \"\" \"qvx " + Roff(version) + "\" \"User Commands\"\n";
    s += ".SH NAME\nqvx \\- " + Roff(tool.Description) + "\n";
    s += ".SH SYNOPSIS\n";
    for (const CommandReference& c : commands) {
        if (c.Path == "qvx" || !c.Subcommands.empty()) continue;
        // The arguments after the command's name, on a line of their own (a leading blank would break it).
        std::string arguments = c.Usage.size() > c.Path.size() ? c.Usage.substr(c.Path.size() + 1) : std::string();
        s += ".B " + Roff(c.Path) + "\n" + Roff(arguments) + "\n.br\n";
    }
    s += ".SH DESCRIPTION\n" + Roff(tool.Description) +
         ".\nEach command is described below; \\fBqvx help\\fR \\fICOMMAND\\fR and \\fBqvx\\fR \\fICOMMAND\\fR "
         "\\fB\\-\\-help\\fR show the same text.\n";
    s += ".SH OPTIONS\n";
    for (const OptionReference& o : tool.Options) s += ".TP\n" + OptionLine(o) + "\n" + Roff(o.Description) + "\n";
    s += ".SH COMMANDS\n";
    for (const CommandReference& c : commands) {
        if (c.Path == "qvx") continue;
        s += ".SS \"" + Roff(c.Usage) + "\"\n" + Roff(c.Description) + ".\n";
        for (const OptionReference& o : c.Options) {
            if (!o.Names.empty() && o.Names.back() == "--help") continue;
            s += ".TP\n" + OptionLine(o) + "\n" + Roff(o.Description) + (o.Required ? " (required)" : "") + "\n";
        }
        if (!c.Subcommands.empty()) {
            std::string subs;
            for (const std::string& sub : c.Subcommands) subs += (subs.empty() ? "" : ", ") + ("\\fB" + sub + "\\fR");
            s += ".PP\nCommands: " + subs + ".\n";
        }
        if (!c.Examples.empty()) {
            s += ".PP\nExamples:\n.RS\n.nf\n";
            for (const std::string& e : c.Examples) s += Roff(e) + "\n";
            s += ".fi\n.RE\n";
        }
    }
    s += ".SH PATTERNS\n" + Paragraphs(PatternHelpText());
    s += ".SH EXAMPLES\n.nf\n";
    for (const std::string& e : tool.Examples) s += Roff(e) + "\n";
    s += ".fi\n";
    s += ".SH EXIT STATUS\n"
         ".TP\n0\nSuccess.\n"
         ".TP\n1\nA file or its data is at fault: a file that cannot be read or written, a damaged archive or "
         "stream, an entry pattern that matches nothing. The other files and entries are still done.\n"
         ".TP\n2\nA usage error: an unknown command or option, a missing argument.\n";
    s += ".SH SEE ALSO\n.BR tar (1),\n.BR gzip (1),\n.BR unzip (1)\n";
    return s;
}

}  // namespace qvx::cli
