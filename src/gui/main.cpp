#include <iostream>
#include <memory>

#include <wx/wx.h>

#include <wx/filename.h>
#include <wx/snglinst.h>
#include <wx/timer.h>
#include <wx/stdpaths.h>

#include "app/AppState.h"
#include "app/ControlIds.h"
#include "app/ExportCommands.h"
#include "app/StartupOptions.h"
#include "base/Version.h"
#include "io/Files.h"
#include "gui/EditToolDialogs.h"
#include "gui/FieldSpelling.h"
#include "gui/ExportDialog.h"
#include "gui/InstanceLink.h"
#include "gui/MainFrame.h"
#include "gui/RecordTimingsDialog.h"
#include "gui/TestSettle.h"
#include "gui/Theme.h"

namespace {
// The options read before the toolkit starts.
StartupOptions startupOptions;
}  // namespace

// Start-up of the windowed program.
class KalveroApp : public wxApp {
public:
    bool OnInit() override {
        SetAppName("kalvero");
        applyCompactTheme();
        installTestSettleHook();
        // One copy at a time.
        checker_ = std::make_unique<wxSingleInstanceChecker>("DUKAL");
        if (checker_->IsAnotherRunning()) {
            // The running copy takes the project named here and comes to
            // the front; only when it cannot be reached is the start refused.
            if (InstanceLink::handOver(commandLineProject())) return quietExit();
            wxMessageBox("is already running!", "INFO", wxOK);
            return quietExit();
        }
        wxInitAllImageHandlers();

        frame_ = new MainFrame(state_);
        Controller& c = frame_->controller();
        c.openRecordTimings = [f = frame_] { runRecordTimings(f, f->controller(), *f); };
        if (!startupOptions.programDir.empty())
            state_.programDir = files::withTrailingSeparator(startupOptions.programDir);
        std::string exe = std::string(wxStandardPaths::Get().GetExecutablePath().utf8_str());
        if (!c.prepare(exe, files::currentDirectory())) return quietExit();
        frame_->buildControls();
        c.windowBuilt();
        c.openExportDialog = [this] {
            ExportDialog dialog(frame_, frame_->controller(), *frame_, frame_->uiFont(UiFontId::Default),
                                frame_->uiFont(UiFontId::Info));
            dialog.run();
        };
        c.openEditTool = [this](int id) { openEditTool(frame_, frame_->controller(), id); };
        installFieldSpelling(frame_, c);
        c.captureScreen = [this] {
            ExportCommands commands(frame_->controller(), *frame_);
            commands.show(commands.captureScreen());
        };
        frame_->Show();
        std::vector<std::string> args;
        for (int i = 1; i < argc; ++i) args.push_back(std::string(argv[i].utf8_str()));
        c.commandLineOpen(args);
        retry_.SetOwner(this);
        Bind(wxEVT_TIMER, [this](wxTimerEvent&) { handed(pendingHand_); }, retry_.GetId());
        link_.listen([this](const std::string& path) { handed(path); });
        return true;
    }

    int OnRun() override {
        if (exitNow_) return 0;
        wxApp::OnRun();
        return 0;
    }

    int OnExit() override {
        checker_.reset();
        return 0;
    }

private:
    // The project of a single argument as an absolute path (the running copy
    // has a working folder of its own); empty when none was named.
    std::string commandLineProject() const {
        if (argc != 2 || argv[1].empty()) return {};
        wxFileName name(argv[1]);
        name.MakeAbsolute();
        return std::string(name.GetFullPath().utf8_str());
    }

    // A second start handed over `path`: the window comes to the front and
    // opens it as Open does. While a dialog of the program is open the
    // request waits for it to close.
    void handed(const std::string& path) {
        if (!frame_) return;
        if (!frame_->IsEnabled()) {
            pendingHand_ = path;
            if (!retry_.IsRunning()) retry_.StartOnce(300);
            return;
        }
        frame_->Iconize(false);
        frame_->Show();
        frame_->Raise();
        if (path.empty()) return;
        Event e = Event::menu(ctl::OpenHandedMenuId);
        e.text = path;
        frame_->controller().dispatch(e);
    }

    bool quietExit() {
        exitNow_ = true;
        if (frame_) frame_->Destroy();
        frame_ = nullptr;
        return true;
    }

    AppState state_;
    MainFrame* frame_ = nullptr;
    std::unique_ptr<wxSingleInstanceChecker> checker_;
    InstanceLink link_;
    wxTimer retry_;
    std::string pendingHand_;
    bool exitNow_ = false;
};

wxIMPLEMENT_APP_NO_MAIN(KalveroApp);

// --help and --version answer without a display; the toolkit gets the rest.
int main(int argc, char** argv) {
    startupOptions = parseStartupOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!startupOptions.error.empty()) {
        std::cerr << "kalvero: " << startupOptions.error << "\n" << startupUsage();
        return 2;
    }
    if (startupOptions.help) {
        std::cout << startupUsage();
        return 0;
    }
    if (startupOptions.version) {
        std::cout << "kalvero " << kKalveroVersion << "\n";
        return 0;
    }
    std::vector<char*> wxArgv = {argv[0]};
    for (int i = argc - int(startupOptions.rest.size()); i < argc; ++i) wxArgv.push_back(argv[i]);
    wxArgv.push_back(nullptr);
    int wxArgc = int(wxArgv.size()) - 1;
    return wxEntry(wxArgc, wxArgv.data());
}
