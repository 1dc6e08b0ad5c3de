// The command table against what is made from it: the checked-in man page
// and completion are what the table makes today (KALVERO_WRITE_CLI_DOCS=1
// rewrites them, see scripts/cli-docs.sh); --help, the man page as man
// renders it and bash's own completion name each command's options and no
// others; the parser keeps the table's kinds and ranges.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "base/Text.h"
#include "cli/CliDocs.h"
#include "cli/CliSupport.h"
#include "cli/CommandTable.h"
#include "io/Files.h"
#include "settings/StyleParams.h"
#include "CliFixture.h"

namespace {

const std::string kManPage = std::string(KALVERO_SOURCE_DIR) + "/data/man/kalvero-cli.1";
const std::string kCompletion = std::string(KALVERO_SOURCE_DIR) + "/data/completion/kalvero-cli";

std::string readText(const std::string& path) {
    std::string s;
    EXPECT_TRUE(files::readFile(path, s)) << path;
    return s;
}

// The lines between ".\" BEGIN GENERATED tag" and ".\" END GENERATED tag";
// with `body`, the page with them replaced.
std::string generated(std::string& page, const std::string& tag, const std::string* body = nullptr) {
    const std::string begin = ".\\\" BEGIN GENERATED " + tag + "\n", end = ".\\\" END GENERATED " + tag + "\n";
    const size_t a = page.find(begin), b = page.find(end);
    if (a == std::string::npos || b == std::string::npos || b < a) return "(no " + tag + " markers)";
    const size_t from = a + begin.size();
    const std::string old = page.substr(from, b - from);
    if (body) page.replace(from, b - from, *body);
    return old;
}

std::set<std::string> namesOf(const cli::CommandDecl& c) {
    std::set<std::string> names;
    for (const cli::OptionUse& u : c.options) names.insert(u.option->name);
    return names;
}

std::string entryName(const cli::CommandDecl& c) {
    return std::string(c.name) + (*c.formats ? " " : "") + c.formats;
}

// What a shell command prints on stdout.
std::string shellOutput(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
        ::pclose(p);
    }
    return out;
}

}  // namespace

TEST(CliDocsTest, CheckedInManPageAndCompletionAreWhatTheTableMakes) {
    std::string page = readText(kManPage);
    const std::string synopsis = cli::manSynopsis(), options = cli::manOptions(), completion = cli::bashCompletion();
    if (std::getenv("KALVERO_WRITE_CLI_DOCS")) {
        generated(page, "synopsis", &synopsis);
        generated(page, "options", &options);
        ASSERT_TRUE(files::writeFileAtomic(kManPage, page));
        ASSERT_TRUE(files::writeFileAtomic(kCompletion, completion));
        page = readText(kManPage);
    }
    EXPECT_EQ(generated(page, "synopsis"), synopsis) << "run scripts/cli-docs.sh";
    EXPECT_EQ(generated(page, "options"), options) << "run scripts/cli-docs.sh";
    EXPECT_EQ(readText(kCompletion), completion) << "run scripts/cli-docs.sh";
}

TEST(CliDocsTest, EachEntryNamesItsOptionsAndNoOthers) {
    const std::string synopsis = cli::manSynopsis(), completion = readText(kCompletion);
    std::set<std::string> all;
    for (const cli::OptionDecl* o : cli::globalOptions()) {
        all.insert(o->name);
        if (*o->also) all.insert(o->also);
    }
    for (const cli::CommandDecl& c : cli::commandTable()) {
        SCOPED_TRACE(entryName(c));
        const std::set<std::string> names = namesOf(c);
        all.insert(names.begin(), names.end());

        std::ostringstream help;
        cli::commandUsage(help, c.name);
        std::smatch m;
        const std::string text = help.str();
        // The entry's usage, up to its one-line description.
        ASSERT_TRUE(std::regex_search(text, m, std::regex("usage: kalvero-cli " + std::regex_replace(entryName(c), std::regex(R"([|])"), R"(\|)") + R"(([\s\S]*?)\n  [^ ])")));
        EXPECT_EQ(optionsIn(m[1].str()), names) << "--help";

        std::string manText = std::regex_replace(synopsis, std::regex(R"(\\f[BIRP])"), "");
        manText = std::regex_replace(manText, std::regex(R"(\\-)"), "-");
        ASSERT_TRUE(std::regex_search(manText, m, std::regex("\nkalvero-cli " + std::regex_replace(entryName(c), std::regex(R"([|])"), R"(\|)") + "( [^\n]*)?\n")));
        EXPECT_EQ(optionsIn(m[1].str()), names) << "man page";

        const std::string key = *c.formats ? "\"export " + text::split(c.formats, '|')[0] + "\"" : "\"" + std::string(c.name) + "\"";
        ASSERT_TRUE(std::regex_search(completion, m, std::regex("\n        " + key + "[^\n]*\n            options='([^']*)'")));
        EXPECT_EQ(optionsIn(" " + m[1].str()), names) << "completion";
    }
    // --help and the man page as man renders it: every option of the table, and no other.
    std::ostringstream top;
    cli::usage(top);
    EXPECT_EQ(optionsIn(top.str()), all);
    const std::string rendered = shellOutput("MANWIDTH=1000 LC_ALL=C.UTF-8 man -l '" + kManPage + "' 2>&1");
    if (rendered.empty()) GTEST_SKIP() << "man is not installed";
    EXPECT_EQ(optionsIn(rendered), all);
    EXPECT_EQ(shellOutput("LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l '" + kManPage + "' 2>&1 >/dev/null"), "");
}

// bash itself completes from the checked-in script.
TEST(CliDocsTest, BashCompletesOptionsAndValuesOfEachCommand) {
    if (!std::filesystem::exists("/usr/share/bash-completion/bash_completion")) GTEST_SKIP() << "no bash-completion";
    const std::string script = R"(. /usr/share/bash-completion/bash_completion; . ")" + kCompletion + R"("
complete_line() {
  COMP_LINE=$1; COMP_POINT=${#COMP_LINE}; read -ra COMP_WORDS <<<"$COMP_LINE"
  [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=(); _kalvero_cli; echo "${COMPREPLY[*]}"
}
)";
    struct Case {
        std::string line, expect;
    };
    const std::vector<Case> cases = {
        {"kalvero-cli export srt --l", "--lang --lang-in-name"},
        {"kalvero-cli export bdn x.KVL8 --i", "--indexed"},
        {"kalvero-cli render --bl", "--blend"},
        {"kalvero-cli render --mode ", "full cut all none"},
        {"kalvero-cli convert-rate a.KVL8 --keep ", "time frames"},
        {"kalvero-cli export overlay a.KVL8 --codec p", "prores png"},
        {"kalvero-cli export avi a.KVL8 --codec libx", "libx264rgb libx264"},
        {"kalvero-cli burn m.mp4 a.KVL8 --c", "--crf"},
        {"kalvero-cli check a.KVL8 --s", "--safe-area"},
        {"kalvero-cli shift a.KVL8 --frames ", ""},
        {"kalvero-cli --ver", "--verbose --version"},
    };
    std::string lines;
    for (const Case& c : cases) lines += "complete_line '" + c.line + "'\n";
    const std::string out = shellOutput("bash -c '" + std::regex_replace(script + lines, std::regex("'"), "'\\''") + "'");
    const std::vector<std::string> got = text::splitLines(out);
    ASSERT_EQ(got.size(), cases.size()) << out;
    for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(got[i], cases[i].expect) << cases[i].line;
}

TEST(CliDocsTest, RenderTakesEveryStyleOptionWithItsRange) {
    for (const PresetParam& p : presetParams()) {
        if (!*p.option) continue;
        SCOPED_TRACE(p.option);
        bool found = false;
        for (const cli::OptionUse& u : cli::optionsOf("render"))
            if (std::string(u.option->name) == p.option) {
                found = true;
                if (p.kind == ParamKind::Number) {
                    EXPECT_EQ(u.option->min, p.min);
                    EXPECT_EQ(u.option->max, p.max);
                }
            }
        EXPECT_TRUE(found);
    }
    // One command's options of one name are of one kind (export parses all its formats' at once).
    for (const cli::CommandDecl& c : cli::commandTable())
        for (const cli::OptionUse& u : c.options)
            for (const cli::OptionUse& v : cli::optionsOf(c.name))
                if (std::string(u.option->name) == v.option->name) {
                    EXPECT_EQ(u.option->kind, v.option->kind) << u.option->name;
                }
}

class CliParseTest : public CliFolderTest {};

TEST_F(CliParseTest, UsageErrorsAndTheEndOfOptions) {
    const std::string project = writeProject({1, 720, 576, 25.0f, 430}, {{"Hello", "there", "00:00:01:00>00:00:02:00"}});
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string err;  // the whole error output ("" for none)
    };
    const std::vector<Case> cases = {
        {{"info", project, "--bogus"}, 2, "kalvero-cli: unknown option --bogus\n"},
        {{"info", "-x.KVL8"}, 2, "kalvero-cli: unknown option -x.KVL8\n"},
        {{"recalc", project, "-o"}, 2, "kalvero-cli: option -o needs a value\n"},
        {{"recalc", project}, 2, "kalvero-cli: recalc needs -o OUT.KVL8\n"},
        {{"convert-rate", project, "-o", path("x.KVL8"), "--profile", "2"}, 2,
         "kalvero-cli: convert-rate needs --keep time|frames\n"},
        {{"convert-rate", project, "-o", path("x.KVL8"), "--profile", "2", "--keep", "both"}, 2,
         "kalvero-cli: --keep is one of time, frames\n"},
        {{"render", "--line-a", "a", "--mode", "half", "-o", path("x.png")}, 2,
         "kalvero-cli: --mode is one of full, cut, all, none\n"},
        {{"render", "--line-a", "a", "--blend", "1e3", "-o", path("x.png")}, 2, "kalvero-cli: --blend takes a whole number\n"},
        {{"render", "--line-a", "a", "--crop", "0000000000000000007", "-o", path("x.png")}, 0, ""},
        {{"render", "--line-a", "a", "--target", "colour", "-o", path("x.png")}, 0, ""},
        {{"export", "png", project, "--scala", "4"}, 2, "kalvero-cli: --scala must be between 0 and 3\n"},
        {{"shift", project, "-o", path("s.KVL8"), "--frames", "-25", "--frames", "25"}, 0, ""},
        // After "--" a name beginning with a dash is a file, "--force" too.
        {{"recalc", "-o", path("r.KVL8"), "--", "-x.KVL8"}, 1, ""},
        {{"info", "--", "--force"}, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        const CliRun r = run(c.args);
        EXPECT_EQ(r.code, c.code) << r.err;
        if (c.code != 1) {
            EXPECT_EQ(r.err, c.err);
        }
    }
    EXPECT_NE(run({"recalc", "-o", path("r.KVL8"), "--", "-x.KVL8"}).err.find("cannot read -x.KVL8"), std::string::npos);
    // The later of two values counts: 25 frames later, not 25 earlier.
    const std::vector<SubtitleSet> shifted = readProject(path("s.KVL8"));
    ASSERT_EQ(shifted.size(), 1u);
    ASSERT_TRUE(shifted[0].on.has_value());
    EXPECT_EQ(shifted[0].on->ss, 2);
}

TEST_F(CliParseTest, EachCommandTellsItsOwnOptions) {
    for (const auto& [name, command] : cli::commands()) {
        SCOPED_TRACE(name);
        const CliRun r = run({name, "--help"});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out.rfind("usage: kalvero-cli " + name, 0), 0u) << r.out;
        for (const cli::OptionUse& u : cli::optionsOf(name))
            EXPECT_NE(r.out.find("\n  " + std::string(u.option->name) + " "), std::string::npos) << u.option->name;
    }
    const CliRun render = run({"render", "-h"});
    EXPECT_NE(render.out.find("  --blend N               opacity of the strips, 0 invisible to 255 opaque (0 to 255)\n"),
              std::string::npos) << render.out;
    EXPECT_NE(render.out.find("  -o OUT.png              the picture to write; required\n"), std::string::npos);
}
