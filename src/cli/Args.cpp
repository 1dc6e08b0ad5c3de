// The options of one kalvero-cli command: "--name value" pairs, flags and
// file names, with "--" ending the options.
#include <algorithm>
#include <cctype>
#include <string_view>

#include "cli/CliSupport.h"

namespace cli {

Args Args::parse(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions,
                 const std::vector<std::string>& flags) {
    Args a;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& s = args[i];
        // After "--" every argument is a file name, "-x.mp4" as well.
        if (!optionsEnded && s == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && s.size() > 1 && s[0] == '-' && !(s.size() > 1 && (std::isdigit(static_cast<unsigned char>(s[1]))))) {
            if (std::find(flags.begin(), flags.end(), s) != flags.end()) {
                a.flagsSeen.push_back(s);
                continue;
            }
            if (std::find(valueOptions.begin(), valueOptions.end(), s) == valueOptions.end())
                throw UsageError{"unknown option " + s};
            if (i + 1 >= args.size()) throw UsageError{"option " + s + " needs a value"};
            a.options[s] = args[++i];
            continue;
        }
        a.positional.push_back(s);
    }
    return a;
}

bool Args::flag(const std::string& name) const {
    return std::find(flagsSeen.begin(), flagsSeen.end(), name) != flagsSeen.end();
}

std::string Args::get(const std::string& name, const std::string& fallback) const {
    auto it = options.find(name);
    return it == options.end() ? fallback : it->second;
}

int Args::getInt(const std::string& name, int fallback, int min, int max) const {
    auto it = options.find(name);
    if (it == options.end()) return fallback;
    const std::string& v = it->second;
    bool digits = !v.empty() && std::all_of(v.begin() + (v[0] == '-' ? 1 : 0), v.end(),
                                            [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || v == "-") throw UsageError{name + " takes a whole number"};
    // More than nine digits (leading zeros aside) is outside every range here.
    std::string_view magnitude(v);
    if (magnitude[0] == '-') magnitude.remove_prefix(1);
    while (magnitude.size() > 1 && magnitude[0] == '0') magnitude.remove_prefix(1);
    const bool huge = magnitude.size() > 9;
    const int n = huge ? 0 : std::stoi(v);
    if (huge || n < min || n > max)
        throw UsageError{name + " must be between " + std::to_string(min) + " and " + std::to_string(max)};
    return n;
}

}  // namespace cli
