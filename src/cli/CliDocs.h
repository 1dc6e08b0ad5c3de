#pragma once
// kalvero-cli's descriptions of itself, made from the command table
// (cli/CommandTable.h): --help, one command's --help, the man page's synopsis
// and option list, and the bash completion. scripts/cli-docs.sh writes the
// last three into data/man/kalvero-cli.1 and data/completion/kalvero-cli, and
// a test checks that the checked-in files agree.
#include <ostream>
#include <string>

namespace cli {

// --help: every command with its options, then what the options share.
void usage(std::ostream& out);
// `kalvero-cli NAME --help`: the command's forms and each option's help.
void commandUsage(std::ostream& out, const std::string& name);

// The man page's synopsis lines and its OPTIONS section's entries (roff).
std::string manSynopsis();
std::string manOptions();
// The whole bash completion script.
std::string bashCompletion();

}  // namespace cli
