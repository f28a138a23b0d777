// The bash completion script, generated from the command reference.
#include "cli/CommandReference.h"

namespace qvx::cli {

namespace {

std::string Joined(const std::vector<std::string>& words) {
    std::string s;
    for (const std::string& w : words) s += (s.empty() ? "" : " ") + w;
    return s;
}

// The path below "qvx" ("setup build"), the word the completion function keeps in $command.
std::string Key(const CommandReference& c) { return c.Path.size() > 4 ? c.Path.substr(4) : std::string(); }

std::string Reply(const std::string& words) { return "COMPREPLY=($(compgen -W \"" + words + "\" -- \"$cur\"))"; }

std::string ValueReply(const OptionReference& o, const std::vector<CommandReference>& commands) {
    switch (o.Value) {
        case ValueKind::Choice: return Reply(Joined(o.Choices));
        case ValueKind::Directory: return "COMPREPLY=($(compgen -d -- \"$cur\"))";
        case ValueKind::File: return "COMPREPLY=($(compgen -f -- \"$cur\"))";
        case ValueKind::Command: {
            // help COMMAND [SUBCOMMAND]: the commands below the one named before.
            std::string s = "case \"$prev\" in\n";
            for (const CommandReference& c : commands) {
                if (c.Subcommands.empty() || Key(c).empty()) continue;
                s += "                    " + Key(c) + ") " + Reply(Joined(c.Subcommands)) + " ;;\n";
            }
            s += "                    *) " + Reply(Joined(commands.front().Subcommands)) + " ;;\n                esac";
            return s;
        }
        case ValueKind::Number:
        case ValueKind::None: break;
    }
    return "COMPREPLY=()";
}

}  // namespace

std::string BashCompletion(const std::vector<CommandReference>& commands) {
    std::string s =
        "# bash completion for qvx, generated from the tool's own command tables.\n"
        "_qvx() {\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev= command= i\n"
        "    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD-1]}\n"
        "    # The command words typed so far: only a command with subcommands takes one.\n"
        "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
        "        case \"$command:${COMP_WORDS[i]}\" in\n";
    for (const CommandReference& c : commands) {
        for (const std::string& sub : c.Subcommands) {
            const std::string next = Key(c).empty() ? sub : Key(c) + " " + sub;
            s += "            \"" + Key(c) + ":" + sub + "\") command=\"" + next + "\" ;;\n";
        }
    }
    s += "        esac\n"
         "    done\n"
         "    case \"$command\" in\n";
    for (const CommandReference& c : commands) {
        std::vector<std::string> flags;
        std::string values;
        const OptionReference* argument = nullptr;
        for (const OptionReference& o : c.Options) {
            if (o.Positional) {
                if (argument == nullptr) argument = &o;
                continue;
            }
            flags.insert(flags.end(), o.Names.begin(), o.Names.end());
            if (o.ValueName.empty()) continue;  // a flag
            std::string pattern = Joined(o.Names);
            for (char& ch : pattern)
                if (ch == ' ') ch = '|';
            values += "                " + pattern + ") " + ValueReply(o, commands) + "; return 0 ;;\n";
        }
        s += "        \"" + Key(c) + "\")\n";
        if (!values.empty()) s += "            case \"$prev\" in\n" + values + "            esac\n";
        s += "            if [[ $cur == -* ]]; then\n                " + Reply(Joined(flags)) + "\n";
        if (!c.Subcommands.empty()) {
            s += "            else\n                " + Reply(Joined(c.Subcommands)) + "\n";
        } else if (argument != nullptr && argument->Value != ValueKind::None) {
            s += "            else\n                " + ValueReply(*argument, commands) + "\n";
        }
        s += "            fi ;;\n";
    }
    s += "    esac\n"
         "    return 0\n"
         "}\n"
         "complete -o filenames -F _qvx qvx\n";
    return s;
}

}  // namespace qvx::cli
