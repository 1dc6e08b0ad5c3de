#include "app/StartupOptions.h"

StartupOptions parseStartupOptions(const std::vector<std::string>& args) {
    StartupOptions o;
    size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            ++i;
            break;
        }
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--program-dir") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                o.error = "--program-dir needs a folder";
                return o;
            }
            o.programDir = args[++i];
        } else {
            // Anything else (a project file, or an option of the toolkit such
            // as --display) is left for the program and the toolkit.
            break;
        }
    }
    o.rest.assign(args.begin() + std::ptrdiff_t(i), args.end());
    return o;
}

const char* startupUsage() {
    return "usage: kalvero [--program-dir DIR] [--] [PROJECT.KVL8]\n"
           "       kalvero --help | --version\n"
           "Makes subtitles in the look of 1980s and 1990s television captions.\n"
           "  --program-dir DIR  read Kalvero.ini and includes/ from DIR only, and save presets there\n"
           "  --help             show this text\n"
           "  --version          show the version\n";
}
