#pragma once
#include <map>

#include <wx/wx.h>

#include "app/Controller.h"
#include "app/Layout.h"
#include "app/Ui.h"

class SubtitleListView;

// The main window: builds the controls of the layout table, turns wx events
// into the program's events and implements the Ui port over its controls.
class MainFrame : public wxFrame, public Ui {
public:
    MainFrame(AppState& state);

    Controller& controller() { return controller_; }
    // Builds every control (hidden window); the controller then lays them out.
    void buildControls();
    wxWindow* makeControl(const ControlSpec& c);
    wxFont uiFont(UiFontId id) const;
    // The event a control raises when the user changes it, with what the
    // control now holds (the benchmark sends these too).
    Event eventFor(int id, SubKind sub = SubKind::None);

    // Ui
    void setText(int id, const std::string& text) override;
    void setValue(int id, int value) override;
    int value(int id);
    void setRange(int id, int min, int max) override;
    void setEnabled(int id, bool enabled) override;
    void setVisible(int id, bool visible) override;
    void setBackground(int id, Rgb colour) override;
    void setFocus(int id) override;
    void setCaretToEnd(int id) override;
    void clearItems(int id) override;
    void appendItem(int id, const std::string& text) override;
    void setItems(int id, const std::vector<std::string>& items) override;
    void setItemText(int id, int index, const std::string& text) override;
    void listChanged() override;
    void markListSets(const std::vector<ListMark>& marks) override;
    void rowsChanged(int first, int last) override;
    void selectListRow(int row) override;
    void showListRow(int row) override;
    void markListRows(const std::vector<int>& rows, int current) override;
    int popupMenu(const std::vector<MenuItem>& items) override;
    void setClipboardText(const std::string& text) override;
    std::optional<std::string> clipboardText() override;
    int selectedListRow();
    void showImage(int id, const Image& image) override;
    void setCanvasScale(int num, int den) override;
    void setTitle(const std::string& title) override;
    std::pair<int, int> desktopSize() override;
    void setWindowSize(int width, int height) override;
    void moveWindow(int x, int y) override;
    void moveControl(int id, int x, int y) override;
    std::pair<int, int> controlPosition(int id) override;
    void shutdown() override;
    void processPendingEvents() override;
    void drainPendingEvents() override;
    void messageBox(const std::string& title, const std::string& text) override;
    bool askYesNo(const std::string& title, const std::string& text) override;
    Answer askYesNoCancel(const std::string& title, const std::string& text) override;
    std::string openFileDialog(const std::string& title, const std::string& defaultPath,
                               const std::string& filter) override;
    std::string saveFileDialog(const std::string& title, const std::string& defaultFile,
                               const std::string& filter) override;
    std::optional<Rgb> chooseColour(Rgb initial) override;
    std::optional<std::string> chooseFont(const std::vector<std::string>& families,
                                          const std::string& current) override;
    std::optional<std::string> inputBox(const std::string& title, const std::string& prompt,
                                        const std::string& defaultText) override;

private:
    wxWindow* control(int id) const;
    void send(const Event& e);
    wxWindow* dialogParent();

    AppState& state_;
    Controller controller_;
    wxPanel* panel_ = nullptr;
    SubtitleListView* list_ = nullptr;
    std::map<int, wxWindow*> controls_;
    int suppress_ = 0;       // > 0 while the program itself changes controls
    int canvasNum_ = 1, canvasDen_ = 1;
    Image scaledCanvas_;
    Image safeAreaCanvas_;  // the preview with the safe areas drawn over it
    bool shuttingDown_ = false;
    // The control that takes the keyboard when the window is first activated.
    bool activated_ = false;
    int pendingFocus_ = -1;
    wxTimer journalTimer_;  // the two-second tick of the journal of unsaved work
};
