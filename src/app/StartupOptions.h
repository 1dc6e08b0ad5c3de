#pragma once
#include <string>
#include <vector>

// The options of the windowed program, read from the front of its command
// line. What follows them (a project file to open) is left in `rest`.
struct StartupOptions {
    bool help = false;
    bool version = false;
    std::string programDir;          // --program-dir DIR; empty: look it up
    std::vector<std::string> rest;   // the command line the program acts on
    std::string error;               // set for a malformed option
};

StartupOptions parseStartupOptions(const std::vector<std::string>& args);

// The --help text of the windowed program.
const char* startupUsage();
