// The main window under load, in a real window (run it under Xvfb):
//
//   kalvero_gui_bench FILE.srt WORK_FOLDER [ROUNDS]
//
// imports the SubRip file, saves the project into WORK_FOLDER, opens it
// again, then times what a user does to a long list: typing a character
// into line A (render plus the canvas on screen), Return, selecting a row,
// a time spin step, the Strips Y slider, Remove Single, Insert Single, and
// scrolling the list a page at a time. Every figure includes the repaint
// of the window. Prints "name median_ms max_ms median_cpu_ms" lines (the
// last: CPU time of this process, steadier than the wall time on a busy
// machine) and "peak_kb N". KALVERO_GUI_BENCH_FOCUS=NAME runs the figure
// NAME 30 times as often (for a profiler).
//
//   kalvero_gui_bench --startup
//
// shows the window with the settings file's start-up profile, waits for its
// first paint and prints "startup_ms N": from the start of the process
// (as the kernel recorded it) to the painted window.
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <wx/slider.h>
#include <wx/wx.h>

#include "app/ControlIds.h"
#include "io/Files.h"
#include "gui/MainFrame.h"
#include "gui/Theme.h"
#include "gui/SubtitleListView.h"
#include "gui/Widgets.h"
#include "render/Compositor.h"

namespace {

// Milliseconds since the process started, from /proc (10 ms steps).
double msSinceProcessStart() {
    std::FILE* f = std::fopen("/proc/self/stat", "r");
    if (!f) return -1;
    char buf[2048];
    const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    buf[n] = 0;
    const char* p = std::strrchr(buf, ')');  // the command name may hold spaces
    if (!p) return -1;
    unsigned long long start = 0;
    // Fields after the name: state is field 3, starttime field 22.
    int field = 2;
    for (const char* q = p + 1; *q && field < 22; ++q)
        if (*q == ' ') {
            ++field;
            if (field == 22) start = std::strtoull(q + 1, nullptr, 10);
        }
    double uptime = 0;
    if (std::FILE* u = std::fopen("/proc/uptime", "r")) {
        if (std::fscanf(u, "%lf", &uptime) != 1) uptime = 0;
        std::fclose(u);
    }
    return (uptime - double(start) / double(sysconf(_SC_CLK_TCK))) * 1000;
}

// CPU time this process has used, in milliseconds: steadier than the wall
// time on a busy machine (the X server's share is not in it).
double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double nowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The window with its dialogs answered by the benchmark.
class BenchFrame : public MainFrame {
public:
    using MainFrame::MainFrame;
    std::string openAnswer, saveAnswer;
    int messages = 0;

    void messageBox(const std::string&, const std::string&) override { ++messages; }
    bool askYesNo(const std::string&, const std::string&) override { return true; }
    std::string openFileDialog(const std::string&, const std::string&, const std::string&) override {
        return openAnswer;
    }
    std::string saveFileDialog(const std::string&, const std::string&, const std::string&) override {
        return saveAnswer;
    }
};

struct Figure {
    std::string name;
    std::vector<double> ms;
    std::vector<double> cpu;
};

class BenchApp : public wxApp {
public:
    bool OnInit() override {
        if (argc == 2 && std::string(argv[1].utf8_str()) == "--startup") {
            applyCompactTheme();
            frame_ = new BenchFrame(state_);
            Controller& c = frame_->controller();
            if (!c.prepare(files::executablePath(), files::currentDirectory())) return false;
            frame_->buildControls();
            c.windowBuilt();
            frame_->Show();
            CallAfter([this] {
                settle();
                std::printf("startup_ms %.0f\n", msSinceProcessStart());
                std::fflush(stdout);
                std::_Exit(0);
            });
            return true;
        }
        if (argc < 3) {
            std::fprintf(stderr, "usage: kalvero_gui_bench FILE.srt WORK_FOLDER [ROUNDS]\n");
            return false;
        }
        srt_ = std::string(argv[1].utf8_str());
        work_ = files::withTrailingSeparator(std::string(argv[2].utf8_str()));
        if (argc > 3) rounds_ = std::max(3, std::atoi(argv[3].utf8_str()));
        applyCompactTheme();
        frame_ = new BenchFrame(state_);
        Controller& c = frame_->controller();
        if (!c.prepare(files::executablePath(), files::currentDirectory())) return false;
        frame_->buildControls();
        c.windowBuilt();
        frame_->Show();
        CallAfter([this] { run(); });
        return true;
    }

private:
    // Lets the window handle what is pending and paint.
    void settle() {
        Yield(true);
        frame_->Update();
    }

    template <class F>
    double timed(F&& f) {
        const double t0 = nowMs();
        f();
        settle();
        return nowMs() - t0;
    }

    template <class F>
    void measure(const std::string& name, int n, F&& f) {
        // KALVERO_GUI_BENCH_FOCUS=NAME repeats one figure 30 times as often,
        // so that a profiler run sees mostly it.
        if (const char* focus = std::getenv("KALVERO_GUI_BENCH_FOCUS"); focus && name == focus) n *= 30;
        Figure fig{name, {}, {}};
        for (int i = 0; i < n; ++i) {
            const double c0 = cpuMs();
            fig.ms.push_back(timed([&] { f(i); }));
            fig.cpu.push_back(cpuMs() - c0);
        }
        figures_.push_back(fig);
    }

    wxWindow* ctrl(int id) { return frame_->FindWindow(id + 1000); }
    void send(const Event& e) { frame_->controller().dispatch(e); }
    void clickRow(int row) {
        frame_->selectListRow(row);
        send(frame_->eventFor(ctl::SubtitleListView));
    }

    void run() {
        Controller& c = frame_->controller();
        settle();
        // The full-HD profile and preset, as a user picks them.
        // (entries 7 of the shipped settings file).
        for (int id : {ctl::PresetList, ctl::ProfileList}) {
            frame_->setValue(id, 7);
            send(frame_->eventFor(id, SubKind::Changed));
        }
        settle();
        std::fprintf(stderr, "project %dx%d\n", state_.projectWidth, state_.projectHeight);
        // Import, save, open.
        frame_->openAnswer = srt_;
        measure("import_srt", 1, [&](int) { send(Event::control(ctl::ImportSrt)); });
        const int rows = state_.list.lineCount();
        files::makeDirectories(work_);
        frame_->saveAnswer = work_ + "bench.KVL8";
        state_.projectName = "bench";
        measure("save_project", 1, [&](int) { send(Event::control(ctl::Save)); });
        frame_->openAnswer = state_.projectDir + "bench.KVL8";
        if (!files::exists(frame_->openAnswer)) std::fprintf(stderr, "not saved: %s\n", frame_->openAnswer.c_str());
        measure("open_project", 5, [&](int) { send(Event::control(ctl::Open)); });

        const int mid = (rows / 2) & ~1;
        measure("select_row", rounds_, [&](int i) { clickRow((mid + 2 * i * 97) % (rows - 2)); });

        // Typing into line A of a set in the middle.
        clickRow(mid);
        settle();
        auto* lineA = static_cast<wxTextCtrl*>(ctrl(ctl::LineA));
        measure("keystroke_line_a", rounds_, [&](int i) { lineA->AppendText(wxString(wxUniChar('a' + i % 26))); });
        // Its two halves: the render alone and the canvas shown.
        measure("refresh_preview", rounds_, [&](int) { c.refreshPreview(); });
        measure("show_canvas", rounds_, [&](int i) {
            // A different picture each time, as after a keystroke.
            uint8_t* p = c.canvas.pixel(100 + i, 100);
            p[0] ^= 0xff;
            frame_->showImage(ctl::Canvas, c.canvas);
        });
        measure("render_only", rounds_, [&](int) {
            renderSubtitleSet(RenderTarget::Preview, state_.style, c.renderer().fontSheet(), c.canvas,
                              "Where were you on the night of the", "fourteenth of August, Mr. Kowalski?");
        });

        // Return on line A of a set being edited moves to line B.
        measure("return_key", rounds_, [&](int i) {
            clickRow((mid + 2 * i) % (rows - 2));
            state_.activeLine = 1;
            send(Event::menu(ctl::ReturnKeyMenuId));
        });

        // Time spin fields: a step recalculates its set and the next timed one.
        clickRow(mid);
        settle();
        auto* spin = static_cast<CompactSpin*>(ctrl(ctl::OffFrames));
        measure("spin_step", rounds_, [&](int i) {
            spin->SetValue((spin->GetValue() + 1 + i) % 24);
            send(frame_->eventFor(ctl::OffFrames));
        });

        // Profile changes between full HD and PAL (different font sizes),
        // with the window laid out again and repainted.
        auto profileChange = [&](int i) {
            frame_->setValue(ctl::ProfileList, i % 2 ? 7 : 1);
            send(frame_->eventFor(ctl::ProfileList, SubKind::Changed));
        };
        profileChange(0);
        profileChange(1);
        measure("profile_change", rounds_, profileChange);
        profileChange(1);
        clickRow(mid);
        settle();

        auto* slider = static_cast<wxSlider*>(ctrl(ctl::StripsYSlider));
        measure("strips_y_slider", rounds_, [&](int i) {
            slider->SetValue(std::clamp(slider->GetValue() + (i % 2 ? -1 : 1), slider->GetMin(), slider->GetMax()));
            send(frame_->eventFor(ctl::StripsYSlider));
        });

        measure("insert_single", rounds_, [&](int i) {
            clickRow(mid + 2 * i);
            send(Event::control(ctl::InsertSingle));
        });
        measure("remove_single", rounds_, [&](int i) {
            clickRow(mid + 2 * i);
            send(Event::control(ctl::RemoveSingle));
        });

        // Scrolling the list a page at a time, from the top down.
        auto* list = static_cast<SubtitleListView*>(ctrl(ctl::SubtitleListView));
        list->EnsureVisible(0);
        settle();
        measure("list_scroll_page", rounds_ * 3, [&](int) { list->ScrollLines(std::max(1, list->GetCountPerPage())); });
        measure("list_jump_end", 3, [&](int i) { list->EnsureVisible(i % 2 ? 0 : list->GetItemCount() - 1); });

        // What the window shows must be the picture, pixel for pixel.
        c.refreshPreview();
        settle();
        {
            const Image& shown = c.canvas;  // no background picture loaded
            wxImage onScreen = static_cast<ImagePanel*>(ctrl(ctl::Canvas))->bitmap().ConvertToImage();
            long differ = 0;
            for (int y = 0; y < shown.height() && y < onScreen.GetHeight(); ++y)
                for (int x = 0; x < shown.width() && x < onScreen.GetWidth(); ++x) {
                    const uint8_t* p = shown.pixel(x, y);
                    differ += p[0] != onScreen.GetRed(x, y) || p[1] != onScreen.GetGreen(x, y) ||
                              p[2] != onScreen.GetBlue(x, y);
                }
            std::printf("canvas_pixels_differing %ld\n", differ);
        }
        for (Figure& f : figures_) {
            std::vector<double> v = f.ms, m = f.cpu;
            std::sort(v.begin(), v.end());
            std::sort(m.begin(), m.end());
            std::printf("%s %.2f %.2f %.2f\n", f.name.c_str(), v[v.size() / 2], v.back(), m[m.size() / 2]);
        }
        std::printf("rows %d\n", rows);
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        std::printf("peak_kb %ld\n", u.ru_maxrss);
        std::fflush(stdout);
        std::_Exit(0);
    }

    AppState state_;
    BenchFrame* frame_ = nullptr;
    std::string srt_, work_;
    int rounds_ = 15;
    std::vector<Figure> figures_;
};

}  // namespace

wxIMPLEMENT_APP(BenchApp);
