// Helpers of scripts/bench.sh:
//
//   kalvero_perf srt FILE.srt SETS SECONDS_PER_SET
//       writes a SubRip file of SETS two-line cues; each cue takes the last
//       two thirds of its SECONDS_PER_SET, the first third is blank.
//   kalvero_perf feed-png PROJECT.KVL8 [LIMIT]
//       loads the project as kalvero-cli does and writes the PNG export's
//       pictures (transparent RGBA, one per set) to stdout, for a peer encoder.
//   kalvero_perf feed-avi PROJECT.KVL8 FRAMES
//       the first FRAMES movie frames of the timed export (bgr24, over the
//       background colour), every frame written out in full.
//   kalvero_perf feed-overlay PROJECT.KVL8 FRAMES
//       the first FRAMES frames of the overlay movie (rgba, transparent
//       between sets), every frame written out in full.
//   kalvero_perf avi-discard PROJECT.KVL8 CODEC
//       the timed export's encoding and multiplexing into a writer that
//       throws the bytes away (the disk is measured on its own); prints the
//       frames, how many pictures were encoded ("encodes") and the time spent
//       encoding them ("encode_seconds"), and how many frames repeated one.
//   kalvero_perf handlers FILE.srt WORK_FOLDER
//       the main window's handlers on a long list without a window (the
//       logic's share of the window benchmark): import, save, open, select,
//       typing, Return, a spin step, the Strips Y slider, Insert, Remove.
//   kalvero_perf project PROJECT.KVL8 OUT.KVL8
//       times reading and writing a project file (parse + recalculate; format + write).
//   kalvero_perf iff PROJECT.KVL8 THREADS
//       the IFF/Scala export as kalvero-cli runs it, with THREADS worker
//       threads (-1: everything on one thread); prints "iff_s" and "pictures".
//   kalvero_perf iff-colours PROJECT.KVL8 [LIMIT]
//       renders every set as the IFF export does in each of the four border
//       styles and counts the pictures of 16 colours or fewer (those skip the
//       quantiser): "colours_style_B few total min median max" (distinct colours).
//
// Timings go to stdout as "name seconds"; peak memory as "peak_kb N".
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/Controller.h"
#include "app/ControlIds.h"
#include "app/ExportCommands.h"
#include "export/Ilbm.h"
#include "render/FontSheetCache.h"
#include "cli/HeadlessUi.h"
#include "export/AviExport.h"
#include "export/AviTimeline.h"
#include "io/Files.h"
#include "project/ProjectFile.h"
#include "base/Text.h"
#include "render/Compositor.h"

#include "../CountingAviWriter.h"

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void printPeak() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    std::printf("peak_kb %ld\n", u.ru_maxrss);
}

std::string srtTime(long long ms) {
    char b[32];
    std::snprintf(b, sizeof b, "%02lld:%02lld:%02lld,%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    return b;
}

int makeSrt(const std::string& path, int sets, double secondsPerSet) {
    static const char* const a[] = {"Where were you on the night of the", "I told you, I was out with the others",
                                    "Nobody saw you there, Mr. Kowalski", "Then nobody was looking hard enough",
                                    "The car was found by the river at dawn"};
    static const char* const b[] = {"fourteenth of August, Mr. Kowalski?", "and we did not come back before two.",
                                    "and the barman does not remember you.", "- ask the girl at the door.",
                                    "with the keys still in it."};
    std::string out;
    out.reserve(size_t(sets) * 120);
    const long long per = (long long)(secondsPerSet * 1000);
    for (int k = 0; k < sets; ++k) {
        long long start = k * per + per / 3, end = (k + 1) * per;
        out += std::to_string(k + 1) + "\r\n" + srtTime(start) + " --> " + srtTime(end) + "\r\n";
        out += std::string(a[k % 5]) + " (" + std::to_string(k + 1) + ")\r\n" + b[(k / 5) % 5] + "\r\n\r\n";
    }
    files::Result r = files::writeFileAtomic(path, out);
    if (!r) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), r.error.c_str());
        return 1;
    }
    return 0;
}

// The windowed program's state over a window held in memory, a project open.
struct Session {
    AppState state;
    HeadlessUi ui{std::cerr};
    Controller controller{state, ui};

    bool open(const std::string& path) {
        if (!controller.prepare(files::executablePath(), files::currentDirectory())) return false;
        ui.buildMainWindow();
        controller.windowBuilt();
        controller.commandLineOpen({path});
        return state.list.lineCount() > 2;
    }

    // One set as the exports draw it.
    void render(int set, RenderTarget target, Image& out) {
        AppState& s = state;
        s.style.blend = ui.value(ctl::BlendSlider);
        s.style.borderStyle = std::max(0, ui.value(ctl::BorderList));
        const int setY = text::toInt(s.list.column(2 * set, Column::Y));
        s.style.stripsYPos = resolveStripsY(setY, ui.value(ctl::StripsYSlider));
        if (set < 0)
            renderSubtitleSet(target, s.style, controller.renderer().fontSheet(), out, "", "");
        else
            renderSubtitleSet(target, s.style, controller.renderer().fontSheet(), out,
                              s.list.column(2 * set, Column::Text), s.list.column(2 * set + 1, Column::Text));
    }
};

bool writeAll(const void* data, size_t n) {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        ssize_t w = ::write(STDOUT_FILENO, p, n);
        if (w <= 0) return false;
        p += w;
        n -= size_t(w);
    }
    return true;
}

int feedPng(const std::string& path, int limit) {
    Session s;
    if (!s.open(path)) return 1;
    const int sets = (s.state.list.lineCount() + 1) / 2;
    const int n = limit > 0 ? std::min(limit, sets) : sets;
    Image img(s.state.projectWidth, s.state.projectHeight);
    for (int k = 0; k < n; ++k) {
        s.render(k, RenderTarget::AlphaExport, img);
        if (!writeAll(img.data(), img.stride() * size_t(img.height()))) return 1;
    }
    return 0;
}

int feedAvi(const std::string& path, long long frames) {
    Session s;
    if (!s.open(path)) return 1;
    const FrameTimeline timeline = buildFrameTimeline(s.state.list);
    const int W = s.state.projectWidth, H = s.state.projectHeight;
    Image img(W, H);
    std::vector<uint8_t> bgr(size_t(W) * size_t(H) * 3);
    long long left = frames;
    for (const TimelineRun& run : timeline.runs) {
        if (left <= 0) break;
        s.render(run.picture, RenderTarget::ColorExport, img);
        const uint8_t* p = img.data();
        for (size_t i = 0, n = size_t(W) * size_t(H); i < n; ++i, p += 4) {
            bgr[3 * i] = p[2];
            bgr[3 * i + 1] = p[1];
            bgr[3 * i + 2] = p[0];
        }
        for (long long f = 0; f < run.frames && left > 0; ++f, --left)
            if (!writeAll(bgr.data(), bgr.size())) return 1;
    }
    return 0;
}

// The overlay movie's frames as RGBA: each set's picture for its frames,
// fully transparent frames between sets.
int feedOverlay(const std::string& path, long long frames) {
    Session s;
    if (!s.open(path)) return 1;
    const FrameTimeline timeline = buildFrameTimeline(s.state.list);
    Image img(s.state.projectWidth, s.state.projectHeight);
    const size_t bytes = img.stride() * size_t(img.height());
    long long left = frames;
    for (const TimelineRun& run : timeline.runs) {
        if (left <= 0) break;
        std::fill(img.data(), img.data() + bytes, uint8_t(0));
        if (run.picture != kBlankPicture) s.render(run.picture, RenderTarget::AlphaExport, img);
        for (long long f = 0; f < run.frames && left > 0; ++f, --left)
            if (!writeAll(img.data(), bytes)) return 1;
    }
    return 0;
}

int aviDiscard(const std::string& path, const std::string& codec) {
    Session s;
    if (!s.open(path)) return 1;
    const double t0 = now();
    const FrameTimeline timeline = buildFrameTimeline(s.state.list);
    auto counting = std::make_unique<CountingAviWriter>(createDiscardingAviWriter());
    CountingAviWriter* writer = counting.get();
    TimedMovieJob job;
    job.path = "discarded.avi";
    job.width = s.state.projectWidth;
    job.height = s.state.projectHeight;
    job.fps = s.state.fps;
    job.codec.codec = codec;
    job.checkFreeSpace = false;
    TimedMovieResult r = writeTimedMovie(*writer, job, timeline, [&](int set, Image& out) {
        s.render(set, RenderTarget::ColorExport, out);
        return true;
    });
    if (!r.ok()) {
        std::fprintf(stderr, "%s\n", r.error.c_str());
        return 1;
    }
    std::printf("frames %lld\nbytes %llu\nseconds %.3f\nencodes %lld\nrepeats %lld\nencode_seconds %.3f\n",
                (long long)r.frames, (unsigned long long)writer->bytesWritten(), now() - t0,
                (long long)writer->encodes, (long long)writer->repeats, writer->encodeSeconds);
    return 0;
}

// HeadlessUi with the file dialogs answered and every question answered Yes.
class ScriptedUi : public HeadlessUi {
public:
    ScriptedUi() : HeadlessUi(std::cerr) {}
    std::string openAnswer, saveAnswer;
    void messageBox(const std::string&, const std::string&) override {}
    bool askYesNo(const std::string&, const std::string&) override { return true; }
    Answer yesNoCancelAnswer = Answer::Cancel;
    Answer askYesNoCancel(const std::string&, const std::string&) override { return yesNoCancelAnswer; }
    std::string openFileDialog(const std::string&, const std::string&, const std::string&) override {
        return openAnswer;
    }
    std::string saveFileDialog(const std::string&, const std::string&, const std::string&) override {
        return saveAnswer;
    }
};

int handlers(const std::string& srt, const std::string& work) {
    AppState state;
    ScriptedUi ui;
    Controller c(state, ui);
    if (!c.prepare(files::executablePath(), files::currentDirectory())) return 1;
    ui.buildMainWindow();
    c.windowBuilt();
    for (int id : {ctl::PresetList, ctl::ProfileList}) {
        ui.setValue(id, 7);
        c.dispatch(ui.eventFor(id, SubKind::Changed));
    }
    auto time = [&](const char* name, int n, auto&& f) {
        std::vector<double> ms;
        for (int i = 0; i < n; ++i) {
            double t0 = now();
            f(i);
            ms.push_back((now() - t0) * 1000);
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%s %.2f %.2f\n", name, ms[ms.size() / 2], ms.back());
    };
    ui.openAnswer = srt;
    time("import_srt", 1, [&](int) { c.dispatch(ui.eventFor(ctl::ImportSrt)); });
    const int rows = state.list.lineCount();
    files::makeDirectories(work);
    ui.saveAnswer = files::withTrailingSeparator(work) + "bench.KVL8";
    state.projectName = "bench";
    time("save_project", 1, [&](int) { c.dispatch(ui.eventFor(ctl::Save)); });
    ui.openAnswer = state.projectDir + "bench.KVL8";
    time("open_project", 5, [&](int) { c.dispatch(ui.eventFor(ctl::Open)); });
    const int mid = (rows / 2) & ~1;
    auto click = [&](int row) {
        ui.selectListRow(row);
        c.dispatch(ui.eventFor(ctl::SubtitleListView));
    };
    time("select_row", 9, [&](int i) { click((mid + 2 * i * 97) % (rows - 2)); });
    click(mid);
    time("keystroke_line_a", 9, [&](int i) {
        ui.setText(ctl::LineA, ui.text(ctl::LineA) + char('a' + i));
        c.dispatch(ui.eventFor(ctl::LineA, SubKind::Changed));
    });
    time("return_key", 9, [&](int i) {
        click((mid + 2 * i) % (rows - 2));
        state.activeLine = 1;
        c.dispatch(Event::menu(ctl::ReturnKeyMenuId));
    });
    click(mid);
    time("spin_step", 9, [&](int i) {
        ui.setValue(ctl::OffFrames, (ui.value(ctl::OffFrames) + 1 + i) % 24);
        c.dispatch(ui.eventFor(ctl::OffFrames));
    });
    // The same edit with the whole list recalculated after it, as every step
    // did before: the handler's figure and this one measure the same edit.
    time("spin_step_full_recalc", 9, [&](int i) {
        ui.setValue(ctl::OffFrames, (ui.value(ctl::OffFrames) + 1 + i) % 24);
        c.dispatch(ui.eventFor(ctl::OffFrames));
        recalculateOffOn(state.list, state.fps);
    });
    // Profile changes between two font sizes (full HD and PAL), with the
    // decoded font sheets kept and, as the peer, decoded again every time.
    auto profileChange = [&](int i) {
        ui.setValue(ctl::ProfileList, i % 2 ? 7 : 1);
        c.dispatch(ui.eventFor(ctl::ProfileList, SubKind::Changed));
    };
    profileChange(1);
    profileChange(0);
    time("profile_change", 9, profileChange);
    time("profile_change_decoding", 9, [&](int i) {
        fontsheetcache::clear();
        profileChange(i);
    });
    profileChange(1);
    time("strips_y_slider", 9, [&](int i) {
        ui.setValue(ctl::StripsYSlider, ui.value(ctl::StripsYSlider) + (i % 2 ? -1 : 1));
        c.dispatch(ui.eventFor(ctl::StripsYSlider));
    });
    time("insert_single", 9, [&](int i) {
        click(mid + 2 * i);
        c.dispatch(ui.eventFor(ctl::InsertSingle));
    });
    time("remove_single", 9, [&](int i) {
        click(mid + 2 * i);
        c.dispatch(ui.eventFor(ctl::RemoveSingle));
    });
    // The editor core on the whole list: a journal write after an edit,
    // copy of every set, and undo and redo of Remove All and of a delete
    // of every set.
    state.recoveryDir = files::withTrailingSeparator(work) + "recovery/";
    {
        std::vector<double> ms;
        for (int i = 0; i < 9; ++i) {
            click(mid + 2 * i);
            ui.setText(ctl::LineA, ui.text(ctl::LineA) + "j");
            c.dispatch(ui.eventFor(ctl::LineA, SubKind::Changed));
            const double t0 = now();
            c.journalTick();
            ms.push_back((now() - t0) * 1000);
        }
        std::sort(ms.begin(), ms.end());
        std::printf("journal_write %.2f %.2f\n", ms[ms.size() / 2], ms.back());
    }
    time("copy_all", 5, [&](int) {
        c.dispatch(Event::menu(ctl::SelectAllKeyMenuId));
        c.dispatch(Event::menu(ctl::CopyKeyMenuId));
    });
    ui.yesNoCancelAnswer = Ui::Answer::No;
    c.dispatch(ui.eventFor(ctl::RemoveAll));
    time("undo_remove_all", 5, [&](int i) {
        if (i) c.redo();
        c.undo();
    });
    c.dispatch(Event::menu(ctl::SelectAllKeyMenuId));
    c.dispatch(Event::menu(ctl::DeleteKeyMenuId));
    time("undo_delete_all", 5, [&](int i) {
        if (i) c.redo();
        c.undo();
    });
    std::printf("rows %d\n", rows);
    return 0;
}

int project(const std::string& in, const std::string& out) {
    double t0 = now();
    std::string bytes;
    if (!files::readFile(in, bytes)) return 1;
    ProjectHeader header;
    SubtitleList rows;
    if (parseProject(bytes, 0, header, rows) != ProjectLoadStatus::Ok) return 1;
    recalculateOffOn(rows, 25.0f);
    double t1 = now();
    std::time_t tt = std::time(nullptr);
    std::tm tm{};
    localtime_r(&tt, &tm);
    std::string text = formatProject(rows, header, tm, ".KVL8", "v1.0 - 06 Mar 2017 ");
    if (!files::writeFileAtomic(out, text)) return 1;
    double t2 = now();
    std::printf("rows %d\nload_s %.4f\nsave_s %.4f\n", rows.lineCount(), t1 - t0, t2 - t1);
    return 0;
}

int iffExport(const std::string& path, int threads) {
    Session s;
    if (!s.open(path)) return 1;
    ExportCommands commands(s.controller, s.ui);
    commands.notify = [](const std::string&, const std::string&) {};
    commands.workerThreads = threads;
    const double t0 = now();
    ExportReport r = commands.exportIffScala(0);
    const double t1 = now();
    if (!r.done()) {
        std::fprintf(stderr, "%s\n", r.text.c_str());
        return 1;
    }
    std::printf("iff_s %.4f\npictures %d\n", t1 - t0, r.pictures);
    return 0;
}

int iffColours(const std::string& path, int limit) {
    Session s;
    if (!s.open(path)) return 1;
    const int sets = s.state.list.lineCount() / 2;
    const int n = limit > 0 ? std::min(limit, sets) : sets;
    Image img;
    for (int style = 0; style < 4; ++style) {
        s.ui.setValue(ctl::BorderList, style);
        int few = 0;
        std::vector<size_t> counts;
        for (int k = 0; k < n; ++k) {
            img = Image(s.state.projectWidth, s.state.projectHeight);
            s.render(k, RenderTarget::OpaqueExport, img);
            IlbmPicture out;
            few += ilbmFromExactColours(img, out);
            std::unordered_set<uint32_t> colours;
            for (size_t i = 0; i < img.stride() * size_t(img.height()); i += 4)
                colours.insert(uint32_t(img.data()[i]) << 16 | uint32_t(img.data()[i + 1]) << 8 | img.data()[i + 2]);
            counts.push_back(colours.size());
        }
        std::sort(counts.begin(), counts.end());
        std::printf("colours_style_%d %d %d %zu %zu %zu\n", style, few, n, counts.empty() ? 0 : counts.front(),
                    counts.empty() ? 0 : counts[counts.size() / 2], counts.empty() ? 0 : counts.back());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> a(argv + 1, argv + argc);
    int rc = 2;
    if (a.size() == 4 && a[0] == "srt") rc = makeSrt(a[1], std::atoi(a[2].c_str()), std::atof(a[3].c_str()));
    else if ((a.size() == 2 || a.size() == 3) && a[0] == "feed-png") rc = feedPng(a[1], a.size() == 3 ? std::atoi(a[2].c_str()) : 0);
    else if (a.size() == 3 && a[0] == "feed-avi") rc = feedAvi(a[1], std::atoll(a[2].c_str()));
    else if (a.size() == 3 && a[0] == "feed-overlay") rc = feedOverlay(a[1], std::atoll(a[2].c_str()));
    else if (a.size() == 3 && a[0] == "avi-discard") rc = aviDiscard(a[1], a[2]);
    else if (a.size() == 3 && a[0] == "handlers") {
        rc = handlers(a[1], a[2]);
        printPeak();
    } else if (a.size() == 3 && a[0] == "project") {
        rc = project(a[1], a[2]);
        printPeak();
    } else if (a.size() == 3 && a[0] == "iff") {
        rc = iffExport(a[1], std::atoi(a[2].c_str()));
        printPeak();
    } else if ((a.size() == 2 || a.size() == 3) && a[0] == "iff-colours") {
        rc = iffColours(a[1], a.size() == 3 ? std::atoi(a[2].c_str()) : 0);
    } else std::fprintf(stderr, "usage: see the head of bench/perf/PerfTool.cpp\n");
    return rc;
}
