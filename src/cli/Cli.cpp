#include "cli/Cli.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <new>
#include <stdexcept>

#include "app/DataDirs.h"
#include "app/ProjectOpen.h"
#include "base/Utf8.h"
#include "base/Version.h"
#include "cli/CliDocs.h"
#include "cli/CliSupport.h"
#include "cli/EditCommands.h"
#include "cli/ImportCommands.h"
#include "cli/ExportCommand.h"
#include "cli/RenderCommand.h"
#include "cli/SnapCommand.h"
#include "io/Files.h"
#include "base/Cp1252.h"
#include "project/ProjectFile.h"
#include "project/SrtImport.h"
#include "project/SccImport.h"
#include "project/StlImport.h"
#include "project/SubtitleSet.h"
#include "render/FontSheet.h"
#include "render/InstalledFont.h"
#include "render/LayoutCheck.h"
#include "io/FontFace.h"
#include "base/Text.h"
#include "io/SettingsFile.h"
#include "media/MediaFiles.h"

namespace cli {

std::string terminalLine(const std::string& text) {
    std::string s = text::replaceAll(text::replaceAll(text, "\r\n", "\n"), "\n\n", "\n");
    std::replace(s.begin(), s.end(), '\r', ' ');
    std::replace(s.begin(), s.end(), '\n', ' ');
    return utf8::fromLegacy(s);
}

Notice Context::notice() {
    return [this](NoticeLevel, const std::string& title, const std::string& text) {
        err << terminalLine(title) << ": " << terminalLine(text) << "\n";
    };
}

int Context::recalculateTimings() {
    const int missing = recalculateOffOn(state.list, state.fps);
    if (missing > 0) notice()(NoticeLevel::Warning, kMissingTimingTitle, kMissingTimingText);
    return missing;
}

int Context::fail(const std::string& message) {
    err << "kalvero-cli: " << terminalLine(message) << "\n";
    return BadInput;
}

bool Context::loadSettings() {
    Settings s;
    std::string error;
    std::string path = settingsReadPath(state.dataDirs(), state.settingsFileName);
    std::string shipped = programDir + state.settingsFileName;
    if (path != shipped) {
        const Result loaded = loadSettingsFile(path, s);
        const bool read = loaded.ok;
        error = loaded.error;
        if (!read || s.profiles.empty() || s.presets.empty()) {
            err << "kalvero-cli: warning: your settings file " << path << " could not be used ("
                << terminalLine(read ? "it lists no usable profile or no preset" : error)
                << "); the settings the program ships with are used instead\n";
            path = shipped;
            s = Settings{};
        }
    }
    if (const Result loaded = loadSettingsFile(path, s); !loaded) {
        fail("cannot read the settings file " + path + ": " + loaded.error);
        return false;
    }
    auto usable = [&](int i) { return i >= 0 && i < int(s.profiles.size()) && s.profiles[size_t(i)].usable(); };
    int profile = s.startupProfile;
    if (!usable(profile))
        for (profile = 0; profile < int(s.profiles.size()) && !usable(profile); ++profile) {
        }
    if (profile >= int(s.profiles.size()) || s.presets.empty()) {
        fail("the settings file " + path + " lists no usable profile or no preset");
        return false;
    }
    for (const std::string& line : text::splitLines(settingsLeftOutNote(s, path)))
        err << "kalvero-cli: note: " << line << "\n";
    state.profiles = std::move(s.profiles);
    state.presets = std::move(s.presets);
    state.profileIndex = state.acceptedProfileIndex = profile;
    state.presetIndex = s.startupPreset;
    return true;
}

std::string Context::profileChoices() const {
    std::string list;
    for (size_t i = 0; i < state.profiles.size(); ++i)
        if (state.profiles[i].usable()) list += (list.empty() ? "" : ", ") + std::to_string(i) + " " + state.profiles[i].name;
    return list;
}

std::string Context::presetChoices() const {
    std::string list;
    for (size_t i = 0; i < state.presets.size(); ++i)
        list += (list.empty() ? "" : ", ") + std::to_string(i) + " " + state.presets[i].name;
    return list;
}

namespace {

// The index `value` stands for among `names` (entries not choosable are
// empty): digits are an index, anything else a name, matched exactly first
// and then ignoring case. -1 when it names none, -2 when several.
int indexOfChoice(const std::string& value, const std::vector<std::string>& names) {
    const bool digits = !value.empty() && value.size() <= 9 &&
                        std::all_of(value.begin(), value.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
    if (digits) return std::stoi(value);
    auto lower = [](std::string t) {
        std::transform(t.begin(), t.end(), t.begin(), [](unsigned char ch) { return char(std::tolower(ch)); });
        return t;
    };
    for (int pass = 0; pass < 2; ++pass) {
        int found = -1, count = 0;
        for (size_t i = 0; i < names.size(); ++i) {
            if (names[i].empty()) continue;
            if (pass == 0 ? names[i] == value : lower(names[i]) == lower(value)) {
                found = int(i);
                ++count;
            }
        }
        if (count > 1) return -2;
        if (count == 1) return found;
    }
    return -1;
}

}  // namespace

int Context::profileArg(const Args& a, int fallback) const {
    if (!a.has("--profile")) return fallback;
    const std::string value = a.get("--profile");
    std::vector<std::string> names;
    for (const Profile& p : state.profiles) names.push_back(p.usable() ? p.name : std::string());
    const int i = indexOfChoice(value, names);
    // A number is checked where the profile is taken, which tells a
    // separator from a profile without a usable size.
    if (i >= 0 && std::all_of(value.begin(), value.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) return i;
    if (i == -2)
        throw UsageError{"--profile " + value + " names more than one profile; give its number. The profiles are: " +
                         profileChoices()};
    if (i < 0 || i >= int(names.size()) || names[size_t(i)].empty())
        throw UsageError{"--profile " + value + " is not a profile of the settings file. The profiles are: " +
                         profileChoices()};
    return i;
}

int Context::presetArg(const Args& a, int fallback) const {
    if (!a.has("--preset")) return fallback;
    const std::string value = a.get("--preset");
    std::vector<std::string> names;
    for (const Preset& p : state.presets) names.push_back(p.name.empty() ? std::string(" ") : p.name);
    const int i = indexOfChoice(value, names);
    if (i == -2)
        throw UsageError{"--preset " + value + " names more than one preset; give its number. The presets are: " +
                         presetChoices()};
    if (i < 0 || i >= int(names.size()))
        throw UsageError{"--preset " + value + " is not a preset of the settings file. The presets are: " +
                         presetChoices()};
    return i;
}

void Context::selectProfileAndPreset(int profile, int preset) {
    if (profile < 0 || profile >= int(state.profiles.size()) || state.profiles[size_t(profile)].isSeparator)
        throw UsageError{"profile " + std::to_string(profile) +
                         " is not a profile of the settings file. The profiles are: " + profileChoices()};
    if (!state.profiles[size_t(profile)].usable())
        throw UsageError{"profile " + std::to_string(profile) + " of the settings file has no usable size (" +
                         std::to_string(state.profiles[size_t(profile)].width) + " x " +
                         std::to_string(state.profiles[size_t(profile)].height) +
                         "). The profiles are: " + profileChoices()};
    if (preset < 0 || preset >= int(state.presets.size()))
        throw UsageError{"preset " + std::to_string(preset) + " is not a preset of the settings file. The presets are: " +
                         presetChoices()};
    state.profileIndex = state.acceptedProfileIndex = profile;
    state.presetIndex = preset;
    const Profile& p = state.profiles[size_t(profile)];
    state.projectWidth = p.width;
    state.projectHeight = p.height;
    state.fps = p.fps;
    state.style.fontSize = p.fontSize;
    state.style.stripsYPos = p.stripsYPos;
}

bool Context::loadProject(const std::string& path) {
    ProjectHeader header;
    ProjectOpenResult opened = readProjectFile(path, state.lastLoadedY, header, state.list);
    switch (opened.status) {
    case ProjectOpenStatus::Ok: break;
    case ProjectOpenStatus::CannotRead: fail("cannot read " + path + ": " + opened.error); return false;
    case ProjectOpenStatus::NotAProject:
        fail(path + " is not a Kalvero project file (its header is damaged or missing)");
        return false;
    case ProjectOpenStatus::TooManyRows:
        fail(path + " has more than " + std::to_string(kMaxProjectRows) + " rows");
        return false;
    }
    try {
        selectProfileAndPreset(header.profile, header.preset);
    } catch (const UsageError& e) {
        fail(path + ": " + e.message);
        return false;
    }
    state.timedLength = header.timedLength;
    state.projectPath = path;
    state.projectDir = files::folderPart(path);
    state.projectName = text::removeAll(files::filePart(path), state.projectExt);
    state.lastLoadedY = text::toInt(state.list.column(0, Column::Y));
    std::string lookError;
    look = readProjectLook(path, lookError);
    if (!lookError.empty()) err << "kalvero-cli: warning: " << lookError << "; the preset's look is used\n";
    recalculateTimings();
    return true;
}

bool Context::writeProject(const std::string& path) {
    ProjectHeader header{state.projectWidth, state.projectHeight, state.profileIndex, state.presetIndex,
                         state.timedLength};
    std::tm local = localTimeNow();
    std::string content = formatProject(state.list, header, local, state.projectExt, state.versionText);
    files::Result r = files::writeFileAtomic(path, content);
    if (!r) {
        fail("cannot write " + path + ": " + r.error);
        return false;
    }
    if (look) {
        r = files::writeFileAtomic(lookPathOf(path), formatLook(*look));
        if (!r) {
            fail("cannot write " + lookPathOf(path) + ": " + r.error);
            return false;
        }
    }
    return true;
}

std::string requireOne(const Args& a, const char* what) {
    if (a.positional.size() != 1) throw UsageError{std::string("expected ") + what};
    return a.positional[0];
}

int cmdRecalc(Context& c, const Args& a) {
    files::setReplaceReadOnly(a.flag("--force"));
    std::string input = requireOne(a, "one project file");
    if (!c.loadSettings() || !c.loadProject(input)) return BadInput;
    return c.writeProject(a.get("-o")) ? Ok : BadInput;
}

int cmdInfo(Context& c, const Args& a) {
    std::string input = requireOne(a, "one project file");
    if (!c.loadSettings() || !c.loadProject(input)) return BadInput;
    const AppState& s = c.state;
    int missing = 0, sets = 0;
    for (int r = 0; r < s.list.lineCount(); r += 2) {
        ++sets;
        if (!s.list.row(r)->timing.complete()) ++missing;
    }
    auto [rows, pages] = s.list.countLines();
    char fps[32];
    std::snprintf(fps, sizeof fps, "%g", double(s.fps));
    c.out << "width: " << s.projectWidth << "\n"
          << "height: " << s.projectHeight << "\n"
          << "fps: " << fps << "\n"
          << "profile: " << s.profileIndex << "\n"
          << "preset: " << s.presetIndex << "\n"
          << "rows: " << rows << "\n"
          << "pages: " << pages << "\n"
          << "words: " << s.list.countWords() << "\n"
          << "sets: " << sets << "\n"
          << "missing: " << missing << "\n";
    return Ok;
}

Rgb parseColorArg(const std::string& text) {
    std::string hex = text.size() == 7 && text[0] == '#' ? text.substr(1) : text;
    const bool ok = hex.size() == 6 && std::all_of(hex.begin(), hex.end(), [](char ch) { return std::isxdigit(static_cast<unsigned char>(ch)); });
    if (!ok) throw UsageError{"--text-color takes a colour as #RRGGBB, not " + text};
    const unsigned long v = std::stoul(hex, nullptr, 16);
    return Rgb{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

void warnMissingGlyphs(Context& c, const std::vector<SubtitleSet>& sets, const FontSheet& font) {
    const std::string missing = describeMissingGlyphs(sets, font);
    if (missing.empty()) return;
    for (const std::string& line : text::split(missing, '\n')) c.err << "kalvero-cli: warning: " << line << "\n";
}

bool useFontArgs(Context& c, const Args& a, FontSheet& font, StripsConfig& style, const std::vector<std::string>& texts) {
    if (a.has("--font")) style.fontFamily = a.get("--font");
    if (a.flag("--crisp")) style.crisp = true;
    const InstalledFontResult r = syncFontChoice(font, style, texts);
    if (!r.ok) {
        if (!a.has("--font") && !a.flag("--crisp")) {
            // The project's or preset's font: the shipped sheets stand in.
            c.err << "kalvero-cli: warning: " << r.error << "; the shipped font sheets are used\n";
            style.fontFamily.clear();
            style.crisp = false;
            return true;
        }
        c.fail("--font: " + r.error);
        return false;
    }
    if (!r.cacheNote.empty()) c.err << "kalvero-cli: note: " << r.cacheNote << "\n";
    return true;
}

int cmdFonts(Context& c, const Args& a) {
    if (!a.positional.empty()) throw UsageError{"fonts takes no arguments"};
    const std::vector<std::string> names = fontlist::families();
    if (names.empty()) return c.fail("no installed font was found (fontconfig lists none)");
    for (const std::string& n : names) c.out << n << "\n";
    return Ok;
}

int cmdProfiles(Context& c, const Args& a) {
    if (!a.positional.empty()) throw UsageError{"profiles takes no arguments"};
    if (!c.loadSettings()) return BadInput;
    for (size_t i = 0; i < c.state.profiles.size(); ++i) {
        const Profile& p = c.state.profiles[i];
        c.out << i << "  ";
        if (p.isSeparator) {
            c.out << terminalLine(p.name) << "  (separator line, cannot be chosen)\n";
            continue;
        }
        char fps[32];
        std::snprintf(fps, sizeof fps, "%g", double(p.fps));
        c.out << terminalLine(p.name) << ": " << p.width << " x " << p.height << ", " << fps << " fps, strips Y "
              << p.stripsYPos << ", font size " << p.fontSize;
        if (!p.usable()) c.out << "  (no usable size, cannot be chosen)";
        if (int(i) == c.state.profileIndex) c.out << "  (start-up profile)";
        c.out << "\n";
    }
    return Ok;
}

int cmdPresets(Context& c, const Args& a) {
    if (!a.positional.empty()) throw UsageError{"presets takes no arguments"};
    if (!c.loadSettings()) return BadInput;
    auto rgb = [](const Rgb& v) {
        return std::to_string(v.r) + "," + std::to_string(v.g) + "," + std::to_string(v.b);
    };
    static const char* const modes[] = {"full width", "cut to text", "all text"};
    for (size_t i = 0; i < c.state.presets.size(); ++i) {
        const Preset& p = c.state.presets[i];
        c.out << i << "  " << terminalLine(p.name) << ": strips " << rgb(p.stripsColor) << ", "
              << (p.stripsMode >= 0 && p.stripsMode <= 2 ? modes[p.stripsMode] : "mode " + std::to_string(p.stripsMode))
              << ", border " << p.borderStyle << ", blend " << p.blend << (p.drawNoStrips ? ", no strips" : "")
              << ", background " << rgb(p.bgColor) << (p.stripsToAllText ? ", strips to all text" : "")
              << ", word spacing " << p.wordSpacing << ", strips spacing " << p.stripsSpacing
              << (p.centerText ? ", centred" : ", not centred") << ", crop " << p.cropStrips;
        if (int(i) == c.state.presetIndex) c.out << "  (start-up preset)";
        c.out << "\n";
    }
    return Ok;
}

const std::map<std::string, Command>& commands() {
    static const std::map<std::string, Command> table = [] {
        std::map<std::string, Command> byName;
        for (const CommandDecl& d : commandTable()) byName.emplace(d.name, d.run);
        return byName;
    }();
    return table;
}

}  // namespace cli

int runCli(const std::vector<std::string>& argsIn, std::ostream& out, std::ostream& err) {
    using namespace cli;
    std::vector<std::string> args = argsIn;
    std::string programDir;
    bool verbose = false;
    const std::string programDirName = programDirOption().name, verboseName = verboseOption().name;
    while (!args.empty() && (args[0] == programDirName || args[0] == verboseName)) {
        if (args[0] == verboseName) {
            verbose = true;
            args.erase(args.begin());
            continue;
        }
        if (args.size() < 2) {
            err << "kalvero-cli: --program-dir needs a folder\n";
            return Usage;
        }
        programDir = files::withTrailingSeparator(args[1]);
        args.erase(args.begin(), args.begin() + 2);
    }
    setMediaLogVerbose(verbose);
    if (args.empty()) {
        usage(err);
        return Usage;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        usage(out);
        return Ok;
    }
    if (args[0] == "--version") {
        out << "kalvero-cli " << kKalveroVersion << "\n";
        return Ok;
    }
    auto it = commands().find(args[0]);
    if (it == commands().end()) {
        err << "kalvero-cli: unknown command " << args[0] << "\n";
        usage(err);
        return Usage;
    }
    try {
        const Args parsed = parseCommandLine(args[0], std::vector<std::string>(args.begin() + 1, args.end()));
        if (parsed.helpAsked) {
            commandUsage(out, args[0]);
            return Ok;
        }
        Context context(out, err);
        files::setReplaceReadOnly(false);
        DataDirs dirs = programDir.empty()
                            ? findDataDirs(files::executablePath(), files::currentDirectory(), processEnvironment())
                            : fixedDataDirs(programDir);
        context.programDir = dirs.programDir;
        context.state.programDir = dirs.programDir;
        context.state.userConfigDir = dirs.userConfigDir;
        context.state.userDataDir = dirs.userDataDir;
        return it->second(context, parsed);
    } catch (const UsageError& e) {
        err << "kalvero-cli: " << e.message << "\n";
        return Usage;
    } catch (const std::bad_alloc&) {
        err << "kalvero-cli: not enough memory for " << args[0] << "\n";
        return BadInput;
    } catch (const std::exception& failure) {
        err << "kalvero-cli: " << args[0] << " could not be completed: " << terminalLine(failure.what()) << "\n";
        return BadInput;
    }
}
