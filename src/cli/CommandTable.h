#pragma once
// kalvero-cli's commands and options, each declared once. The parser (CLI11,
// cli/Args.cpp) takes their kinds and ranges from here, and --help, the man
// page's synopsis and option list and the bash completion are made from the
// same declarations (cli/CliDocs.cpp).
#include <string>
#include <vector>

namespace cli {

struct Args;
struct Context;
using Command = int (*)(Context&, const Args&);

enum class OptionKind {
    Flag,    // no value
    Text,    // any value; the command reads it
    Number,  // a whole number in min..max
    Choice,  // one of `words` (or of `alias`)
};

// What bash offers for an option's value.
enum class Offer { Nothing, Words, Files, Folders, Fonts, Dictionaries };

struct OptionDecl {
    const char* name;  // "--blend", "-o"
    OptionKind kind = OptionKind::Flag;
    const char* value = "";  // the value as the help names it: "N", "OUT.png"
    const char* help = "";
    int min = 0, max = 0;    // Number
    const char* words = "";  // Choice, Offer::Words: the values, blank-separated
    Offer offer = Offer::Nothing;
    const char* files = "";  // Offer::Files: a bash pattern such as "@(png|PNG)"
    const char* alias = "";  // Choice: more values taken, not shown
    const char* also = "";   // another name of the option ("-h" for --help)
};

struct OptionUse {
    const OptionDecl* option;
    bool required = false;
};

struct CommandDecl {
    const char* name;       // "render", "export"
    const char* formats;    // export: the formats of this entry, "sup|vobsub|dvb"; "" otherwise
    const char* operands;   // as the help names them: "MOVIE IN.KVL8"
    const char* files;      // what bash offers for operands: a pattern, "" any file, "-" nothing
    const char* help;       // one line
    std::vector<OptionUse> options;
    Command run;
};

// The options before the command (--program-dir, --verbose, --help, --version).
const std::vector<const OptionDecl*>& globalOptions();
const OptionDecl& programDirOption();
const OptionDecl& verboseOption();

// Every command entry in the order of --help; export has one entry per group
// of formats that take the same options. Built on first use.
const std::vector<CommandDecl>& commandTable();
// The entries of command `name` (one, or export's several); empty when none.
std::vector<const CommandDecl*> entriesOf(const std::string& name);
// The options command `name` parses: those of all its entries, each name once.
std::vector<OptionUse> optionsOf(const std::string& name);

// A Choice's or Offer::Words option's values, in order.
std::vector<std::string> wordsOf(const OptionDecl& o);
// The value as the help shows it: a Choice's words joined by "|", else `value`.
std::string valueText(const OptionDecl& o);

}  // namespace cli
