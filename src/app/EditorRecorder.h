#pragma once
#include <cstdint>
#include <optional>

#include "timing/Recorder.h"

class Controller;
class Ui;

// The editor's side of a timing run: the list it times, the main window's
// selection and preview, and what happens when the run ends.
class EditorRecorderHost : public RecorderHost {
public:
    EditorRecorderHost(Controller& controller, Ui& ui) : c_(controller), ui_(ui) {}

    SubtitleList& list() override;
    Rgb bgColor() const override;
    void setRecordingActive(bool active) override;
    void listChanged() override;
    void selectListRow(int row) override;
    int selectedListRow() const override;
    std::vector<OverlayPiece> showSet(int set) override;
    void runEnded(std::optional<int64_t> elapsedMs, int rate) override;
    void warn(const std::string& text) override;

private:
    Controller& c_;
    Ui& ui_;
};

namespace detail {
struct EditorRecorderHostHolder {
    EditorRecorderHostHolder(Controller& c, Ui& ui) : host(c, ui) {}
    EditorRecorderHost host;
};
}  // namespace detail

// A recorder over the editor (the host lives as long as the recorder).
class EditorRecorder : private detail::EditorRecorderHostHolder, public Recorder {
public:
    EditorRecorder(Controller& controller, Ui& ui, TimingView& view, FrameSource& source, Millis now = {})
        : EditorRecorderHostHolder(controller, ui), Recorder(host, view, source, std::move(now)) {}
};

// Closing the Record Timings dialog: when a recording was started, the
// project's User Timed Session becomes the milliseconds since that START
// rounded up to whole seconds, times `rate`; the list's frame counts are
// recalculated and the Record Timings toggle is released.
void closeRecordTimings(Controller& controller, Ui& ui, std::optional<int64_t> elapsedMs, int rate);
