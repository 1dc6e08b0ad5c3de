// --help, the man page's generated parts and the bash completion, all made
// from the command table.
#include "cli/CliDocs.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "cli/CommandTable.h"
#include "base/Text.h"

namespace cli {

namespace {

constexpr size_t kHelpWidth = 100;

// "[--set K]", "-o OUT.png", "[--force]".
std::string optionWord(const OptionUse& u) {
    const std::string value = valueText(*u.option);
    const std::string word = std::string(u.option->name) + (value.empty() ? "" : " " + value);
    return u.required ? word : "[" + word + "]";
}

// "export png", "render".
std::string entryName(const CommandDecl& c) { return std::string(c.name) + (*c.formats ? " " : "") + c.formats; }

// The words of an entry's synopsis after its name: operands, then options.
std::vector<std::string> synopsisWords(const CommandDecl& c) {
    std::vector<std::string> words;
    if (*c.operands) words.push_back(c.operands);
    for (const OptionUse& u : c.options) words.push_back(optionWord(u));
    return words;
}

// `head` and `words` on lines of at most kHelpWidth, the later lines indented
// under the first word after `head`.
std::string wrapped(const std::string& head, const std::vector<std::string>& words) {
    std::string text = head, line = head;
    const std::string indent(head.size() + 1, ' ');
    for (const std::string& w : words) {
        if (line.size() + 1 + w.size() > kHelpWidth && line.size() > indent.size()) {
            text += "\n" + indent + w;
            line = indent + w;
        } else {
            text += " " + w;
            line += " " + w;
        }
    }
    return text + "\n";
}

// The help of an option with its range or that it is required.
std::string optionHelp(const OptionUse& u) {
    const OptionDecl& o = *u.option;
    std::string help = o.help;
    if (o.kind == OptionKind::Number && std::strchr(o.value, '-') == nullptr)
        help += " (" + std::to_string(o.min) + " to " + std::to_string(o.max) + ")";
    if (u.required) help += "; required";
    return help;
}

// --program-dir and --verbose as the usage line shows them.
std::string globalWords() {
    std::string words;
    for (const OptionDecl* o : globalOptions())
        if (std::strcmp(o->name, "--help") != 0 && std::strcmp(o->name, "--version") != 0)
            words += " " + optionWord({o, false});
    return words;
}

std::string roff(std::string text) {
    text = text::replaceAll(text, "\\", "\\e");
    return text::replaceAll(text, "-", "\\-");
}

// Prose for roff: a backslash doubled, option dashes as minus signs.
std::string roffProse(std::string text) {
    text = text::replaceAll(text, "\\", "\\e");
    text = text::replaceAll(text, "--", "\\-\\-");
    return text::replaceAll(text, " -o ", " \\-o ");
}

// An option and its value in roff: bold name, italic value.
std::string roffOption(const OptionDecl& o) {
    const std::string value = valueText(o);
    return "\\fB" + roff(o.name) + "\\fR" + (value.empty() ? "" : "\\ \\fI" + roff(value) + "\\fR");
}

// "  WORD  help" with the help in a column of its own, wrapped.
std::string helpEntry(const std::string& word, const std::string& help) {
    constexpr size_t column = 26;
    std::string text = "  " + word, line = text;
    if (line.size() + 2 > column) {
        text += "\n";
        line.clear();
    }
    text += std::string(column - line.size(), ' ');
    line = std::string(column, ' ');
    bool first = true;
    for (const std::string& w : text::split(help, ' ')) {
        if (!first && line.size() + 1 + w.size() > kHelpWidth) {
            text += "\n" + std::string(column, ' ');
            line = std::string(column, ' ');
            first = true;
        }
        text += (first ? "" : " ") + w;
        line += (first ? "" : " ") + w;
        first = false;
    }
    return text + "\n";
}

}  // namespace

void usage(std::ostream& out) {
    out << "usage: kalvero-cli" << globalWords() << " COMMAND ...\n"
        << "       kalvero-cli --help | -h | --version\n"
        << "       kalvero-cli COMMAND --help\n"
        << "commands:\n";
    for (const CommandDecl& c : commandTable()) out << wrapped("  " + entryName(c), synopsisWords(c));
    out << "--profile and --preset take a number or a name of `kalvero-cli profiles` / `kalvero-cli presets`\n"
           "(burn's --preset is the encoder's speed preset).\n"
           "--force replaces read-only output files and starts exports of more than 100000 pictures;\n"
           "a FIFO, device or folder under an output name is never replaced.\n"
           "--verbose shows FFmpeg's own messages. -- ends the options, so a file name may begin with a dash.\n"
           "--font FAMILY draws the captions from an installed font (`kalvero-cli fonts`; \"DejaVu Sans:bold\"\n"
           "or a font file's path also do) instead of the shipped sheets; --crisp without anti-aliasing.\n"
           "--text-color #RRGGBB colours the text (the preset's colour, white by default).\n"
           "--lang CODE: the tracks' language, ISO 639 (fr, fre; und when not told, the default).\n"
           "--start HH:MM:SS:FF: the programme start, added to every time code of the file (10:00:00:00 for most "
           "masters).\n"
           "`kalvero-cli COMMAND --help` tells what each option of the command does.\n"
           "exit status: 0 done, 1 bad input or a file error, 2 usage error, 3 check found something,\n"
           "130 cancelled (Ctrl+C).\n";
}

void commandUsage(std::ostream& out, const std::string& name) {
    std::vector<const OptionDecl*> listed;
    std::vector<OptionUse> options;
    for (const CommandDecl* c : entriesOf(name)) {
        out << wrapped("usage: kalvero-cli " + entryName(*c), synopsisWords(*c)) << "  " << c->help << "\n";
        for (const OptionUse& u : c->options)
            if (std::find(listed.begin(), listed.end(), u.option) == listed.end()) {
                listed.push_back(u.option);
                options.push_back(u);
            }
    }
    out << "options:\n";
    for (const OptionUse& u : options) {
        std::string word = std::string(u.option->name);
        if (const std::string value = valueText(*u.option); !value.empty()) word += " " + value;
        out << helpEntry(word, optionHelp(u));
    }
    out << helpEntry("-h, --help", "print this help and exit");
}

std::string manSynopsis() {
    std::string text;
    for (const CommandDecl& c : commandTable()) {
        text += ".PP\n\\fBkalvero\\-cli " + roff(entryName(c)) + "\\fR";
        if (*c.operands) text += " \\fI" + roff(c.operands) + "\\fR";
        for (const OptionUse& u : c.options)
            text += u.required ? " " + roffOption(*u.option) : " [" + roffOption(*u.option) + "]";
        text += "\n";
    }
    return text;
}

std::string manOptions() {
    std::string text;
    for (const OptionDecl* o : globalOptions()) {
        text += ".TP\n" + (*o->also ? "\\fB" + roff(o->also) + "\\fR, " : std::string()) + roffOption(*o) + "\n" +
                roffProse(o->help) + ".\n";
    }
    // Each option of the commands once, with the commands that take it.
    std::vector<const OptionDecl*> order;
    std::map<const OptionDecl*, std::vector<std::string>> takenBy;
    for (const CommandDecl& c : commandTable())
        for (const OptionUse& u : c.options) {
            if (!takenBy.count(u.option)) order.push_back(u.option);
            takenBy[u.option].push_back(entryName(c));
        }
    text += ".SS \"Options of the commands\"\n";
    for (const OptionDecl* o : order) {
        std::string commands;
        for (const std::string& n : takenBy[o]) commands += (commands.empty() ? "" : ", ") + roff(n);
        text += ".TP\n" + roffOption(*o) + "\n" + roffProse(optionHelp({o, false})) + ".\n.br\nCommands: " + commands + ".\n";
    }
    return text;
}

namespace {

// What bash runs for a value of `o`.
std::string completionAction(const OptionDecl& o) {
    switch (o.offer) {
        case Offer::Words: return "COMPREPLY=($(compgen -W '" + text::replaceAll(o.words, "'", "") + "' -- \"$cur\"))";
        case Offer::Files: return std::string("_filedir '") + o.files + "'";
        case Offer::Folders: return "_filedir -d";
        case Offer::Fonts:
            return "local IFS=$'\\n'\n            COMPREPLY=($(compgen -W \"$(kalvero-cli fonts 2>/dev/null)\" -- "
                   "\"$cur\"))";
        case Offer::Dictionaries:
            return "local dicts=(/usr/share/hunspell/*.dic)\n            [[ -e ${dicts[0]} ]] && COMPREPLY=($(compgen "
                   "-W \"$(for d in \"${dicts[@]}\"; do basename \"$d\" .dic; done)\" -- \"$cur\"))";
        case Offer::Nothing: break;
    }
    return ":";
}

// The entries bash tells apart: "render", "export sup", "export vobsub", ...
std::vector<std::string> completionKeys(const CommandDecl& c) {
    if (!*c.formats) return {c.name};
    std::vector<std::string> keys;
    for (const std::string& f : text::split(c.formats, '|')) keys.push_back(std::string(c.name) + " " + f);
    return keys;
}

// `patterns` as the head of a case branch, "a" | "b" | ..., on lines of at most 100.
std::string casePatterns(const std::vector<std::string>& patterns) {
    std::string text, line = "        ";
    for (size_t i = 0; i < patterns.size(); ++i) {
        const std::string quoted = "\"" + patterns[i] + "\"";
        if (i > 0 && line.size() + quoted.size() + 3 > 100) {
            text += line + " | \\\n";
            line = "        ";
        } else if (i > 0) {
            line += " | ";
        }
        line += quoted;
    }
    return text + line + ")\n";
}

// The case over "entry:previous word" that completes an option's value.
std::string valueCases() {
    // Each action with the "entry:option" patterns it serves, in order of first use.
    std::vector<std::pair<std::string, std::vector<std::string>>> actions;
    auto serve = [&](const OptionDecl& o, const std::string& pattern) {
        if (o.kind == OptionKind::Flag) return;
        const std::string action = completionAction(o);
        auto it = std::find_if(actions.begin(), actions.end(), [&](const auto& a) { return a.first == action; });
        if (it == actions.end()) actions.push_back({action, {pattern}});
        else if (std::find(it->second.begin(), it->second.end(), pattern) == it->second.end())
            it->second.push_back(pattern);
    };
    for (const OptionDecl* o : globalOptions()) serve(*o, ":" + std::string(o->name));
    for (const CommandDecl& c : commandTable())
        for (const OptionUse& u : c.options)
            for (const std::string& key : completionKeys(c)) serve(*u.option, key + ":" + u.option->name);
    std::string s = "    case \"$entry:$prev\" in\n";
    for (const auto& [action, patterns] : actions) s += casePatterns(patterns) + "            " + action + "\n            return ;;\n";
    return s + "    esac\n";
}

// The case over the entry that offers the commands, export's formats, or an
// entry's options and files.
std::string entryCases() {
    std::vector<std::string> names;
    std::string formats;
    for (const CommandDecl& c : commandTable()) {
        if (std::find(names.begin(), names.end(), c.name) == names.end()) names.push_back(c.name);
        if (*c.formats) formats += (formats.empty() ? "" : " ") + text::replaceAll(c.formats, "|", " ");
    }
    std::string commands;
    for (const std::string& n : names) commands += (commands.empty() ? "" : " ") + n;
    for (const OptionDecl* o : globalOptions())
        commands += std::string(" ") + o->name + (*o->also ? std::string(" ") + o->also : "");
    std::string s = "    case $entry in\n"
                    "        \"\")\n"
                    "            COMPREPLY=($(compgen -W '" + commands + "' -- \"$cur\"))\n"
                    "            return ;;\n"
                    "        export)\n"
                    "            COMPREPLY=($(compgen -W '" + formats + "' -- \"$cur\"))\n"
                    "            return ;;\n";
    for (const CommandDecl& c : commandTable()) {
        std::string options;
        for (const OptionUse& u : c.options) options += (options.empty() ? "" : " ") + std::string(u.option->name);
        s += casePatterns(completionKeys(c)) + "            options='" + options + "' files='" + c.files + "' ;;\n";
    }
    return s + "        *) return ;;\n    esac\n";
}

}  // namespace

std::string bashCompletion() {
    return "# bash completion for kalvero-cli, made from its command table by scripts/cli-docs.sh (do not edit)\n"
           "_kalvero_cli() {\n"
           "    local cur prev words cword\n"
           "    _init_completion || return\n\n"
           "    # The command: the first word that is not --program-dir or its folder.\n"
           "    local i command=\"\" sub=\"\"\n"
           "    for ((i = 1; i < cword; i++)); do\n"
           "        if [[ ${words[i]} == --program-dir ]]; then\n"
           "            ((i++))\n"
           "        elif [[ -z $command ]]; then\n"
           "            command=${words[i]}\n"
           "        elif [[ $command == export && -z $sub ]]; then\n"
           "            sub=${words[i]}\n"
           "        fi\n"
           "    done\n"
           "    local entry=$command\n"
           "    [[ -n $sub ]] && entry=\"$command $sub\"\n\n"
           "    # The value of an option.\n" +
           valueCases() +
           "\n    local options=\"\" files=\"\"\n" + entryCases() +
           "    if [[ $cur == -* ]]; then\n"
           "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
           "    elif [[ $files == - ]]; then\n"
           "        return\n"
           "    elif [[ -n $files ]]; then\n"
           "        _filedir \"$files\"\n"
           "    else\n"
           "        _filedir\n"
           "    fi\n"
           "} &&\n"
           "    complete -F _kalvero_cli kalvero-cli\n";
}

}  // namespace cli
