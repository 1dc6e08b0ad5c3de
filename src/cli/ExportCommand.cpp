// kalvero-cli export, capture and burn: the exports of the main window, run
// on the project's sets without an editor or a window. The project is read
// as the window opens it (its profile and preset, the first row's Y for the
// strips Y slider) and the same plain exports write the files.
#include "cli/ExportCommand.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <iostream>
#include <memory>

#ifdef _WIN32
#include <io.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

#include "app/ExportCommands.h"
#include "app/ProjectOpen.h"
#include "cli/CancelOnInterrupt.h"
#include "cli/CliSupport.h"
#include "export/BroadcastExport.h"
#include "export/BurnIn.h"
#include "export/ExportDriver.h"
#include "export/Language.h"
#include "export/OverlayWriter.h"
#include "export/ScalaScript.h"
#include "io/Files.h"
#include "base/Text.h"
#include "project/BroadcastTiming.h"
#include "project/Retime.h"
#include "project/SubtitleList.h"
#include "render/FontSheet.h"
#include "render/InstalledFont.h"
#include "render/PresetStyle.h"
#include "render/ProjectLook.h"

namespace cli {

namespace {

// A message as one line of the terminal.
std::string oneLine(const std::string& text) { return terminalLine(text); }

bool stderrIsTerminal(const Context& c) {
    if (&c.err != &std::cerr) return false;
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

// "exporting 3/10" rewritten in place on a terminal.
class TerminalProgress : public ExportProgress {
public:
    TerminalProgress(std::ostream& err, std::string what) : err_(err), what_(std::move(what)) {}
    ~TerminalProgress() override {
        if (shown_) err_ << "\n";
    }
    void start(int first, int total) override { print(first, total); }
    void update(int value, int total) override { print(value, total); }

private:
    void print(int value, int total) {
        err_ << "\r" << what_ << " " << value << "/" << total << std::flush;
        shown_ = true;
    }
    std::ostream& err_;
    std::string what_;
    bool shown_ = false;
};

// A project open for a headless export: read and set up as the main window
// opens it, with the font sheets of its font size.
struct Session {
    AppState state;
    FontSheet font;
    int untimedSets = 0;
    int sliderY = 0;  // where the strips Y slider of the window would stand

    // False with a message printed when the settings or the project cannot be read.
    bool open(Context& c, const std::string& path) {
        if (!files::exists(path)) {
            c.fail("cannot read " + path + ": the file does not exist");
            return false;
        }
        if (!c.loadSettings()) return false;
        state.programDir = c.state.programDir;
        state.userConfigDir = c.state.userConfigDir;
        state.userDataDir = c.state.userDataDir;
        state.profiles = c.state.profiles;
        state.presets = c.state.presets;
        state.profileIndex = c.state.profileIndex;
        state.presetIndex = c.state.presetIndex;

        ProjectHeader header;
        switch (readProjectFile(path, 0, header, state.list).status) {
            case ProjectOpenStatus::Ok: break;
            case ProjectOpenStatus::CannotRead: c.fail("Could not read/access: " + path); return false;
            case ProjectOpenStatus::NotAProject:
                c.fail("This is not a Kalvero project file, or its header is damaged: " + path);
                return false;
            case ProjectOpenStatus::TooManyRows:
                c.fail("This project has more than " + std::to_string(kMaxProjectRows) +
                       " rows and cannot be opened: " + path);
                return false;
        }
        // Indexes that do not fit the settings file keep the settings' own.
        if (header.preset >= 0 && header.preset < int(state.presets.size())) state.presetIndex = header.preset;
        if (header.profile >= 0 && header.profile < int(state.profiles.size()) &&
            !state.profiles[size_t(header.profile)].isSeparator && state.profiles[size_t(header.profile)].width > 0)
            state.profileIndex = header.profile;
        const Profile* profile = state.profile();
        const Preset* preset = state.preset();
        if (!profile || !preset) {
            c.fail(path + ": the settings file has no such profile or preset");
            return false;
        }
        state.projectPath = path;
        state.projectDir = files::folderPart(path);
        state.projectName = text::removeAll(files::filePart(path), state.projectExt);
        state.timedLength = header.timedLength;
        state.projectWidth = profile->width;
        state.projectHeight = profile->height;
        state.fps = profile->fps;
        state.style = styleFromPreset(*preset, *profile);
        state.style.cropStrips = std::clamp(state.style.cropStrips, 0, 100);
        state.style.wordSpacing = std::clamp(state.style.wordSpacing, -6, 6);
        // The project's own look, where it was saved with one.
        std::string lookError;
        if (std::optional<ProjectLook> look = readProjectLook(path, lookError)) {
            state.style = styleOfLook(*look, *profile);
            state.projectLanguage = look->language;
        } else if (!lookError.empty()) c.err << "kalvero-cli: warning: " << lookError << "; the preset's look is used\n";
        untimedSets = recalculateOffOn(state.list, state.fps);

        // A missing sheet is told by the export that needs it.
        int dirty = 1;
        loadFontSheets(font, fontSheetFolders(state.dataDirs()), state.style.fontSize, Notice(), dirty);
        // The look's or preset's font, when it names one.
        if (!state.style.fontFamily.empty() || state.style.crisp) {
            std::vector<std::string> texts;
            for (int i = 0; i < state.list.lineCount(); ++i) texts.push_back(state.list.row(i)->text);
            const InstalledFontResult r = syncFontChoice(font, state.style, texts);
            if (!r.ok) {
                c.err << "kalvero-cli: warning: " << r.error << "; the shipped font sheets are used\n";
                state.style.fontFamily.clear();
                state.style.crisp = false;
            }
        }
        const int loadedY = text::toInt(state.list.column(0, Column::Y));
        sliderY = std::clamp(loadedY, 0, std::max(0, state.projectHeight - 2 * font.stripHeight));
        state.style.stripsYPos = sliderY;
        return true;
    }

    // The input of an export, its notices printed as notes.
    ProjectExportInput input(Context& c) const {
        ProjectExportInput in = projectExportInput(state, font);
        in.notice = [&c](const std::string& title, const std::string& text) {
            c.err << "kalvero-cli: " << oneLine(title) << ": " << oneLine(text) << "\n";
        };
        return in;
    }

    // The note of the open that matters for a timed export.
    void reportMissingTimings(Context& c) const {
        if (untimedSets > 0) c.err << "kalvero-cli: note: " << oneLine(kMissingTimingText) << "\n";
    }
};

std::string exportFormatNames() {
    std::string names = "png, iff, avi, overlay";
    for (const SubtitleFormatInfo& f : subtitleFormats()) names += std::string(", ") + f.cliName;
    return names;
}



int finish(Context& c, const ExportReport& r) {
    if (!r.done()) return c.fail(oneLine(r.text));
    return Ok;
}

// --teletext / --open, --start TC and --language CODE of export stl.
StlExportOptions stlOptionsFromArgs(const Args& a, int rate) {
    StlExportOptions o;
    if (a.flag("--teletext") && a.flag("--open")) throw UsageError{"--teletext and --open exclude each other"};
    o.mode = a.flag("--open") ? StlMode::Open : StlMode::Teletext;
    if (a.has("--start") && !broadcast::parseStrictTimeCode(a.get("--start"), rate, o.start))
        throw UsageError{"--start takes a time code HH:MM:SS:FF with frames below " + std::to_string(rate) + ", not " +
                         a.get("--start")};
    if (o.start.hh > 23) throw UsageError{"--start must be before 24:00:00:00"};
    if (a.has("--language")) {
        o.languageCode = stlLanguageCode(a.get("--language"));
        if (o.languageCode < 0)
            throw UsageError{"--language takes a two-letter code such as en, de or fr, not " + a.get("--language")};
    }
    return o;
}

// --start HH:MM:SS:FF of the timed exports at the project's rate; 00:00:00:00 without it.
TimeCode programmeStartFromArgs(const Args& a, float fps) {
    if (!a.has("--start")) return {};
    std::string error;
    const std::optional<TimeCode> start = readTimeCode(a.get("--start"), fps, error);
    if (!start) throw UsageError{"--start: " + error};
    return *start;
}

// The report of a broadcast file: the count, then each note on a line.
int finishBroadcast(Context& c, const ExportReport& r) {
    if (!r.done()) return finish(c, r);
    c.out << "exported " << r.pictures << (r.pictures == 1 ? " subtitle" : " subtitles") << " into "
          << r.written.back() << "\n";
    const std::vector<std::string> notes = text::split(r.text, '\n');
    for (size_t i = 1; i < notes.size(); ++i) c.err << "kalvero-cli: note: " << oneLine(notes[i]) << "\n";
    return Ok;
}

// The end of a run that a signal stopped; false when the run ended otherwise
// (a signal after the last picture leaves a finished export).
bool reportCancel(Context& c, const CancelOnInterrupt& guard, const ExportReport& r) {
    if (r.done() || r.refused() || !guard.cancelled()) return false;
    c.err << "kalvero-cli: Export cancelled; no file of this run was kept.\n";
    return true;
}

}  // namespace

namespace {

// --codec NAME and --quality Q of export avi; a usage error names the codecs
// of this build.
CodecChoice codecFromArgs(const Args& a) {
    CodecChoice choice;
    const std::vector<AviCodecInfo> codecs = availableAviCodecs();
    const std::string name = a.get("--codec", choice.codec);
    auto known = std::find_if(codecs.begin(), codecs.end(), [&](const AviCodecInfo& i) { return i.codec == name; });
    if (known == codecs.end()) {
        std::string names;
        for (const AviCodecInfo& i : codecs) names += (names.empty() ? "" : ", ") + i.codec;
        throw UsageError{"--codec " + name + " is not available; this build has " + names};
    }
    if (a.has("--quality") && !known->hasQuality) throw UsageError{"--quality applies to lossy codecs only"};
    choice.codec = name;
    choice.quality = a.number("--quality", choice.quality);
    return choice;
}

// --codec of export overlay: one of the overlay codecs of this build.
std::string overlayCodecFromArgs(const Args& a) {
    const std::string name = a.get("--codec", "prores");
    if (findOverlayCodec(name) && overlayCodecAvailable(name)) return name;
    std::string names;
    for (const OverlayCodec& i : overlayCodecs())
        if (overlayCodecAvailable(i.name)) names += (names.empty() ? "" : ", ") + std::string(i.name);
    throw UsageError{"--codec " + name + " is not available for overlays; this build has " + names};
}

}  // namespace

namespace {

// export scc and export stl: the broadcast files of television.
int exportBroadcastFile(Context& c, const Args& a, const std::string& kind) {
    if (kind == "scc") {
        if (a.flag("--indexed") || a.has("--scala") || a.has("--codec") || a.has("--quality"))
            throw UsageError{"export scc takes no options but --start TC and --force"};
        Session s;
        if (!s.open(c, a.positional[1])) return BadInput;
        ProjectExportInput in = s.input(c);
        in.programmeStart = programmeStartFromArgs(a, s.state.fps);
        return finishBroadcast(c, exportTrack(in, SubtitleFormat::Scc, false));
    }
    if (a.flag("--indexed") || a.has("--scala") || a.has("--codec") || a.has("--quality"))
        throw UsageError{"export stl takes --teletext or --open, --start TC and --language CODE"};
    if (a.has("--lang"))
        if (const std::string why = language::refusal(a.get("--lang")); !why.empty())
            throw UsageError{"--lang: " + why};
    Session s;
    if (!s.open(c, a.positional[1])) return BadInput;
    const StlExportOptions options = stlOptionsFromArgs(a, stlRateFor(s.state.fps));
    ProjectExportInput in = s.input(c);
    if (a.has("--lang")) in.language = a.get("--lang");
    return finishBroadcast(c, exportStl(in, options));
}

// The options of other formats are usage errors; the tracks' language.
std::string checkFormatOptions(const Args& a, const std::string& kind, const SubtitleFormatInfo* track) {
    if (kind != "png" && kind != "iff" && kind != "avi" && kind != "overlay" && !track)
        throw UsageError{"export writes " + exportFormatNames() + ", not " + kind};
    if (a.flag("--indexed") && kind != "bdn") throw UsageError{"--indexed applies to export bdn only"};
    if (kind != "iff" && a.has("--scala")) throw UsageError{"--scala applies to export iff only"};
    if (kind != "avi" && kind != "overlay" && a.has("--codec"))
        throw UsageError{"--codec applies to export avi and export overlay only"};
    if (kind != "avi" && a.has("--quality")) throw UsageError{"--quality applies to export avi only"};
    if (!track && a.has("--lang")) throw UsageError{"--lang applies to the subtitle tracks only"};
    const bool textTrack = track && !track->pictures;
    if (!textTrack && a.flag("--lang-in-name"))
        throw UsageError{"--lang-in-name applies to the text subtitle files (srt, vtt, ass) only"};
    // Without --lang the project's own language (und when it has none).
    std::string lang = a.get("--lang", language::kUndetermined);
    if (const std::string why = language::refusal(lang); !why.empty()) throw UsageError{"--lang: " + why};
    return lang;
}

}  // namespace

int cmdExport(Context& c, const Args& a) {
    files::setReplaceReadOnly(a.flag("--force"));
    if (a.positional.size() != 2) throw UsageError{"export needs a format (" + exportFormatNames() + ") and one project file"};
    const std::string kind = a.positional[0];
    if (kind != "stl" && (a.flag("--teletext") || a.flag("--open") || a.has("--language")))
        throw UsageError{"--teletext, --open and --language apply to export stl only"};
    if (a.flag("--forced-only") && (!subtitleFormatByName(kind) || kind == "stl" || kind == "scc"))
        throw UsageError{"--forced-only applies to the subtitle tracks (bdn, sup, vobsub, dvb, srt, vtt, ass) only"};
    if ((kind == "iff" || kind == "avi" || kind == "overlay") && a.has("--start"))
        throw UsageError{"--start applies to export png and the subtitle tracks only"};
    if (kind == "scc" || kind == "stl") return exportBroadcastFile(c, a, kind);
    const SubtitleFormatInfo* track = subtitleFormatByName(kind);
    const std::string lang = checkFormatOptions(a, kind, track);
    const bool textTrack = track && !track->pictures;
    const int scala = a.number("--scala", ScalaIc500);
    const CodecChoice codec = kind == "avi" ? codecFromArgs(a) : CodecChoice{};
    const std::string overlayCodec = kind == "overlay" ? overlayCodecFromArgs(a) : std::string();
    const std::string& path = a.positional[1];

    Session s;
    if (!s.open(c, path)) return BadInput;
    if (a.has("--text-color")) {
        if (textTrack) throw UsageError{"--text-color applies to the picture exports"};
        s.state.style.textColor = parseColorArg(a.get("--text-color"));
    }
    if ((a.has("--font") || a.flag("--crisp")) && textTrack)
        throw UsageError{"--font and --crisp apply to the picture exports"};
    if (a.has("--font") || a.flag("--crisp")) {
        std::vector<std::string> texts;
        for (int i = 0; i < s.state.list.lineCount(); ++i) texts.push_back(s.state.list.row(i)->text);
        if (!useFontArgs(c, a, s.font, s.state.style, texts)) return BadInput;
    }
    if (!textTrack) warnMissingGlyphs(c, subtitleSets(s.state.list), s.font);
    ProjectExportInput in = s.input(c);
    in.allowLargeRuns = a.flag("--force");
    if (a.has("--lang")) in.language = lang;
    if (a.flag("--lang-in-name") && in.language == language::kUndetermined)
        throw UsageError{"--lang-in-name needs --lang CODE or a project with a language"};
    in.languageInFileNames = a.flag("--lang-in-name");
    in.forcedOnly = a.flag("--forced-only");
    in.programmeStart = programmeStartFromArgs(a, s.state.fps);
    std::unique_ptr<TerminalProgress> progress;
    if (stderrIsTerminal(c)) progress = std::make_unique<TerminalProgress>(c.err, "exporting");
    in.progress = progress.get();

    ExportReport r;
    CancelOnInterrupt guard;
    if (track) {
        r = exportTrack(in, track->format, a.flag("--indexed"), guard.flag());
        progress.reset();
        if (reportCancel(c, guard, r)) return Cancelled;
        if (!r.done()) return finish(c, r);
        c.out << "exported " << r.pictures << (r.pictures == 1 ? " subtitle" : " subtitles") << " into " << r.folder
              << "\n";
        // The sets left out, one line each.
        const std::vector<std::string> notes = text::split(r.text, '\n');
        for (size_t i = 1; i < notes.size(); ++i) c.err << "kalvero-cli: note: " << oneLine(notes[i]) << "\n";
        return Ok;
    }
    if (kind == "png") {
        r = exportPngPictures(in, guard.flag());
    } else if (kind == "iff") {
        s.reportMissingTimings(c);
        r = exportIffPictures(in, scala, guard.flag());
    } else if (kind == "overlay") {
        s.reportMissingTimings(c);
        r = exportOverlay(in, overlayCodec, guard.flag());
    } else {
        s.reportMissingTimings(c);
        r = exportAviMovie(in, codec, {}, guard.flag());
    }
    progress.reset();
    if (reportCancel(c, guard, r)) return Cancelled;
    if (r.refused() && r.total > kLargeRunPictures) r.text += " Add --force to write them.";
    if (!r.done()) return finish(c, r);
    if (!r.leftOut.empty()) c.err << "kalvero-cli: note: " << oneLine(r.leftOut) << "\n";
    if (kind == "avi" || kind == "overlay") {
        c.out << "exported " << r.pictures << (r.pictures == 1 ? " frame" : " frames") << " into " << r.written.back()
              << "\n";
        return Ok;
    }
    c.out << "exported " << r.pictures << (r.pictures == 1 ? " picture" : " pictures")
          << (kind == "iff" ? ", the poster and the Scala script" : "") << " into " << r.folder << "\n";
    return Ok;
}

int cmdCapture(Context& c, const Args& a) {
    files::setReplaceReadOnly(a.flag("--force"));
    if (a.positional.size() != 1) throw UsageError{"capture needs one project file"};
    const int row = a.number("--row", 0);
    const std::string& path = a.positional[0];

    Session s;
    if (!s.open(c, path)) return BadInput;
    const int rows = s.state.list.lineCount();
    if (row >= rows)
        return c.fail(path + " has " + std::to_string(rows) + " rows; there is no row " + std::to_string(row));
    ProjectExportInput in = s.input(c);
    in.name = s.state.projectName;
    const int setRow = captureRow(row);
    ExportReport r = exportCapture(in, setRow / 2, setRow);
    if (!r.done()) return finish(c, r);
    c.out << "captured " << r.written.back() << "\n";
    return Ok;
}

int cmdBurn(Context& c, const Args& a) {
    files::setReplaceReadOnly(a.flag("--force"));
    if (a.positional.size() != 2) throw UsageError{"burn needs a movie and one project file"};
    const int crf = a.number("--crf", 18);
    const std::string preset = a.get("--preset", "medium");
    if (!validBurnPreset(preset)) {
        std::string names;
        for (const char* const* p = burnPresets(); *p; ++p) names += (names.empty() ? "" : ", ") + std::string(*p);
        throw UsageError{"--preset " + preset + " is not one of " + names};
    }
    const std::string& movie = a.positional[0];
    const std::string& path = a.positional[1];
    const std::string output = a.get("-o");
    if (!files::exists(movie)) return c.fail("cannot read " + movie + ": the file does not exist");

    Session s;
    if (!s.open(c, path)) return BadInput;
    s.reportMissingTimings(c);
    const bool terminal = stderrIsTerminal(c);
    bool shown = false;
    auto progress = [&](int64_t done, int64_t total, double left) {
        if (!terminal) return;
        c.err << "\rburning " << done << "/" << total;
        if (left >= 0) {
            const long secs = long(left + 0.5);
            c.err << ", " << secs / 60 << ":" << (secs % 60 < 10 ? "0" : "") << secs % 60 << " left   ";
        }
        c.err << std::flush;
        shown = true;
    };
    CancelOnInterrupt guard;
    ExportReport r = exportBurnIn(s.input(c), movie, output, crf, preset, progress, guard.flag());
    if (shown) c.err << "\n";
    if (reportCancel(c, guard, r)) return Cancelled;
    if (!r.done()) return finish(c, r);
    if (!r.leftOut.empty()) c.err << "kalvero-cli: note: " << oneLine(r.leftOut) << "\n";
    c.out << "burned " << r.pictures << (r.pictures == 1 ? " frame" : " frames") << " into " << output << "\n";
    if (r.text.find("scaled") != std::string::npos) c.err << "kalvero-cli: note: " << oneLine(r.text.substr(r.text.find('\n') + 1)) << "\n";
    return Ok;
}

}  // namespace cli
