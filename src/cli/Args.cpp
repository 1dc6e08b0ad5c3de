// The options of one kalvero-cli command, parsed by CLI11 from the command's
// declarations: "--name value" pairs, flags and operands, with "--" ending
// the options. The messages are the program's own, one line each.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "cli/CliSupport.h"

namespace cli {

namespace {

// Why `v` is no value of Number option `o`; "" when it is one.
std::string numberProblem(const OptionDecl& o, const std::string& v) {
    const std::string name = o.name;
    const bool digits = !v.empty() && v != "-" &&
                        std::all_of(v.begin() + (v[0] == '-' ? 1 : 0), v.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits) return name + " takes a whole number";
    // More than nine digits (leading zeros aside) is outside every range here.
    std::string_view magnitude(v);
    if (magnitude[0] == '-') magnitude.remove_prefix(1);
    while (magnitude.size() > 1 && magnitude[0] == '0') magnitude.remove_prefix(1);
    const bool huge = magnitude.size() > 9;
    const int n = huge ? 0 : std::stoi(v);
    if (huge || n < o.min || n > o.max)
        return name + " must be between " + std::to_string(o.min) + " and " + std::to_string(o.max);
    return {};
}

// Why `v` is none of Choice option `o`'s values; "" when it is one.
std::string choiceProblem(const OptionDecl& o, const std::string& v) {
    const std::vector<std::string> words = wordsOf(o);
    if (std::find(words.begin(), words.end(), v) != words.end()) return {};
    if (*o.alias && v == o.alias) return {};
    std::string list;
    for (const std::string& w : words) list += (list.empty() ? "" : ", ") + w;
    return std::string(o.name) + " is one of " + list;
}

}  // namespace

Args parseCommandLine(const std::string& name, const std::vector<std::string>& args) {
    CLI::App app{"", "kalvero-cli " + name};
    app.set_help_flag("-h,--help");
    app.allow_extras();  // unknown options are told below, in the program's words
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    std::vector<std::string> operands;
    app.add_option("operands", operands);

    // The message of the first value a check refused (CLI11 stops there).
    std::string refused;
    const std::vector<OptionUse> uses = optionsOf(name);
    std::vector<CLI::Option*> parsed;
    for (const OptionUse& u : uses) {
        const OptionDecl& o = *u.option;
        if (o.kind == OptionKind::Flag) {
            parsed.push_back(app.add_flag(o.name));
            continue;
        }
        CLI::Option* option = app.add_option(o.name);
        auto check = [&refused, &o](std::string& v) {
            std::string why = o.kind == OptionKind::Number   ? numberProblem(o, v)
                              : o.kind == OptionKind::Choice ? choiceProblem(o, v)
                                                             : std::string();
            if (!why.empty() && refused.empty()) refused = why;
            return why;
        };
        if (o.kind != OptionKind::Text) option->check(CLI::Validator(check, "", o.name));
        parsed.push_back(option);
    }

    Args a;
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        a.helpAsked = true;
        return a;
    } catch (const CLI::ValidationError& e) {
        throw UsageError{refused.empty() ? std::string(e.what()) : refused};
    } catch (const CLI::ArgumentMismatch& e) {
        // Values are taken whatever they look like, so only an option at the
        // end lacks one.
        if (!args.empty() && app.get_option_no_throw(args.back()))
            throw UsageError{"option " + args.back() + " needs a value"};
        throw UsageError{e.what()};
    } catch (const CLI::ParseError& e) {
        throw UsageError{e.what()};
    }
    // CLI11 hands back the "--" that ended the options among what it did not take.
    for (const std::string& unknown : app.remaining())
        if (unknown != "--") throw UsageError{"unknown option " + unknown};

    a.positional = std::move(operands);
    for (size_t i = 0; i < uses.size(); ++i) {
        const OptionDecl& o = *uses[i].option;
        if (parsed[i]->count() == 0) {
            if (uses[i].required) {
                const std::string value = valueText(o);
                throw UsageError{name + " needs " + o.name + (value.empty() ? "" : " " + value)};
            }
            continue;
        }
        if (o.kind == OptionKind::Flag) a.flagsSeen.push_back(o.name);
        else a.options[o.name] = parsed[i]->results().back();
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

int Args::number(const std::string& name, int fallback) const {
    auto it = options.find(name);
    return it == options.end() ? fallback : std::stoi(it->second);
}

}  // namespace cli
