// kalvero-cli export and capture: the main window's exports run headless.
// A controller is built over a window held in memory, the project is opened
// as the command line of the windowed program opens it, and the same export
// commands walk the list.
#include "cli/ExportCommand.h"

#include <algorithm>
#include <iostream>
#include <memory>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "app/ExportCommands.h"
#include "app/Controller.h"
#include "app/MemoryUi.h"
#include "cli/CliSupport.h"
#include "export/BurnIn.h"
#include "export/OverlayWriter.h"
#include "export/ScalaScript.h"
#include "io/Files.h"
#include "base/Cp1252.h"
#include "project/SubtitleList.h"
#include "base/Text.h"

namespace cli {

namespace {

// The window of a headless run: keeps every message for the command to
// judge; questions answer No and dialogs are cancelled.
class RecordingUi : public MemoryUi {
public:
    struct Message {
        std::string title, text;
    };
    std::vector<Message> messages;

    void messageBox(const std::string& title, const std::string& text) override { messages.push_back({title, text}); }
    bool askYesNo(const std::string& title, const std::string& text) override {
        messageBox(title, text);
        return false;
    }
    std::string openFileDialog(const std::string&, const std::string&, const std::string&) override { return {}; }
    std::string saveFileDialog(const std::string&, const std::string&, const std::string&) override { return {}; }
    std::optional<Rgb> chooseColour(Rgb) override { return std::nullopt; }
    std::optional<std::string> inputBox(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
};

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

// The windowed program's state, controller and window, with a project open.
struct Session {
    AppState state;
    RecordingUi ui;
    Controller controller{state, ui};

    // False with a message printed when the settings or the project cannot be read.
    bool open(Context& c, const std::string& path) {
        state.programDir = c.programDir;
        state.userConfigDir = c.state.userConfigDir;
        state.userDataDir = c.state.userDataDir;
        if (!controller.prepare(files::executablePath(), files::currentDirectory())) {
            c.fail(ui.messages.empty() ? "cannot start" : oneLine(ui.messages.back().text));
            return false;
        }
        ui.buildMainWindow();
        controller.windowBuilt();
        if (!files::exists(path)) {
            c.fail("cannot read " + path + ": the file does not exist");
            return false;
        }
        ui.messages.clear();
        controller.commandLineOpen({path});
        for (const RecordingUi::Message& m : ui.messages)
            if (m.title == "Error!") {
                c.fail(oneLine(m.text));
                return false;
            }
        return true;
    }

    // Notes of the open that matter for a timed export.
    void reportMissingTimings(Context& c) {
        for (const RecordingUi::Message& m : ui.messages)
            if (m.title == kMissingTimingTitle && m.text == kMissingTimingText)
                c.err << "kalvero-cli: note: " << oneLine(m.text) << "\n";
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
    choice.quality = a.getInt("--quality", choice.quality, 1, 100);
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

int cmdExport(Context& c, const std::vector<std::string>& args) {
    Args a = Args::parse(args, {"--scala", "--codec", "--quality"}, {"--indexed", "--force"});
    files::setReplaceReadOnly(a.flag("--force"));
    if (a.positional.size() != 2) throw UsageError{"export needs a format (" + exportFormatNames() + ") and one project file"};
    const std::string kind = a.positional[0];
    const SubtitleFormatInfo* track = subtitleFormatByName(kind);
    if (kind != "png" && kind != "iff" && kind != "avi" && kind != "overlay" && !track)
        throw UsageError{"export writes " + exportFormatNames() + ", not " + kind};
    if (a.flag("--indexed") && kind != "bdn") throw UsageError{"--indexed applies to export bdn only"};
    if (kind != "iff" && a.has("--scala")) throw UsageError{"--scala applies to export iff only"};
    if (kind != "avi" && kind != "overlay" && a.has("--codec"))
        throw UsageError{"--codec applies to export avi and export overlay only"};
    if (kind != "avi" && a.has("--quality")) throw UsageError{"--quality applies to export avi only"};
    const int scala = a.getInt("--scala", ScalaIc500, 0, 3);
    const CodecChoice codec = kind == "avi" ? codecFromArgs(a) : CodecChoice{};
    const std::string overlayCodec = kind == "overlay" ? overlayCodecFromArgs(a) : std::string();
    const std::string& path = a.positional[1];

    Session s;
    if (!s.open(c, path)) return BadInput;
    ExportCommands commands(s.controller, s.ui);
    commands.notify = [&](const std::string& title, const std::string& text) {
        c.err << "kalvero-cli: " << oneLine(title) << ": " << oneLine(text) << "\n";
    };
    commands.allowLargeRuns = a.flag("--force");
    commands.chooseCodec = [&](const std::vector<AviCodecInfo>&, const CodecChoice&) {
        return std::optional<CodecChoice>(codec);
    };
    std::unique_ptr<TerminalProgress> progress;
    if (stderrIsTerminal(c)) progress = std::make_unique<TerminalProgress>(c.err, "exporting");

    ExportReport r;
    if (track) {
        r = commands.exportSubtitleTrack(track->format, a.flag("--indexed"), progress.get());
        progress.reset();
        if (!r.done()) return finish(c, r);
        c.out << "exported " << r.pictures << (r.pictures == 1 ? " subtitle" : " subtitles") << " into " << r.folder
              << "\n";
        // The sets left out, one line each.
        const std::vector<std::string> notes = text::split(r.text, '\n');
        for (size_t i = 1; i < notes.size(); ++i) c.err << "kalvero-cli: note: " << oneLine(notes[i]) << "\n";
        return Ok;
    }
    if (kind == "png") {
        r = commands.exportPngSequence(progress.get());
    } else if (kind == "iff") {
        s.reportMissingTimings(c);
        r = commands.exportIffScala(scala, progress.get());
    } else if (kind == "overlay") {
        s.reportMissingTimings(c);
        r = commands.exportOverlayMovie(overlayCodec, progress.get());
    } else {
        s.reportMissingTimings(c);
        r = commands.exportTimedAvi(progress.get());
    }
    progress.reset();
    if (r.refused() && r.total > kLargeRunPictures) r.text += " Add --force to write them.";
    if (!r.done()) return finish(c, r);
    if (kind == "avi" || kind == "overlay") {
        c.out << "exported " << r.pictures << (r.pictures == 1 ? " frame" : " frames") << " into " << r.written.back()
              << "\n";
        return Ok;
    }
    c.out << "exported " << r.pictures << (r.pictures == 1 ? " picture" : " pictures")
          << (kind == "iff" ? ", the poster and the Scala script" : "") << " into " << r.folder << "\n";
    return Ok;
}

int cmdCapture(Context& c, const std::vector<std::string>& args) {
    Args a = Args::parse(args, {"--row"}, {"--force"});
    files::setReplaceReadOnly(a.flag("--force"));
    if (a.positional.size() != 1) throw UsageError{"capture needs one project file"};
    const int row = a.getInt("--row", 0, 0, 1 << 30);
    const std::string& path = a.positional[0];

    Session s;
    if (!s.open(c, path)) return BadInput;
    const int rows = s.state.list.lineCount();
    if (row >= rows)
        return c.fail(path + " has " + std::to_string(rows) + " rows; there is no row " + std::to_string(row));
    s.controller.selectListRow(row);
    ExportCommands commands(s.controller, s.ui);
    ExportReport r = commands.captureScreen();
    if (!r.done()) return finish(c, r);
    c.out << "captured " << r.written.back() << "\n";
    return Ok;
}

int cmdBurn(Context& c, const std::vector<std::string>& args) {
    Args a = Args::parse(args, {"-o", "--crf", "--preset"}, {});
    if (a.positional.size() != 2) throw UsageError{"burn needs a movie and one project file"};
    if (!a.has("-o")) throw UsageError{"burn needs -o OUT.mp4 or OUT.mkv"};
    const int crf = a.getInt("--crf", 18, 0, 51);
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
    ExportCommands commands(s.controller, s.ui);
    commands.notify = [&](const std::string& title, const std::string& text) {
        c.err << "kalvero-cli: " << oneLine(title) << ": " << oneLine(text) << "\n";
    };
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
    ExportReport r = commands.burnIntoMovie(movie, output, crf, preset, progress);
    if (shown) c.err << "\n";
    if (!r.done()) return finish(c, r);
    c.out << "burned " << r.pictures << (r.pictures == 1 ? " frame" : " frames") << " into " << output << "\n";
    if (r.text.find("scaled") != std::string::npos) c.err << "kalvero-cli: note: " << oneLine(r.text.substr(r.text.find('\n') + 1)) << "\n";
    return Ok;
}

}  // namespace cli
