#pragma once
#include <map>
#include <string>
#include <vector>

#include "app/Event.h"
#include "app/Ui.h"

// A Ui that keeps every control's state in memory: the base of the headless
// command-line front end and of the tests' fake. Dialogs are left to the
// subclasses.
class MemoryUi : public Ui {
public:
    struct Control {
        std::string text;
        int value = 0;
        int min = 0, max = 100;
        bool ranged = false;  // sliders and spin fields keep their value inside the range
        bool enabled = true;
        bool visible = true;
        Rgb background{255, 255, 255};
        int x = 0, y = 0;
        std::vector<std::string> items;
    };

    // Gives every control of the main window its start-up range, value,
    // caption and enabled state, as the window adapter does.
    void buildMainWindow();

    // Besides the port: what each control holds, for inspection.
    void setText(int id, const std::string& t) override { controls_[id].text = t; }
    std::string text(int id) { return controls_[id].text; }
    void setValue(int id, int v) override;
    int value(int id) { return controls_[id].value; }
    void setRange(int id, int min, int max) override;
    std::pair<int, int> range(int id) { return {controls_[id].min, controls_[id].max}; }
    void setEnabled(int id, bool e) override { controls_[id].enabled = e; }
    bool enabled(int id) { return controls_[id].enabled; }
    void setVisible(int id, bool v) override { controls_[id].visible = v; }
    void setBackground(int id, Rgb c) override { controls_[id].background = c; }
    void setFocus(int id) override { focus_ = id; }
    void setCaretToEnd(int id) override { caretAtEnd_ = id; }

    void clearItems(int id) override { controls_[id].items.clear(); }
    void appendItem(int id, const std::string& t) override { controls_[id].items.push_back(t); }
    void setItemText(int id, int index, const std::string& t) override;
    std::string itemText(int id, int index);
    int itemCount(int id) { return int(controls_[id].items.size()); }

    void listChanged() override { ++listChanges_; }
    void rowsChanged(int, int) override { ++listChanges_; }
    void selectListRow(int row) override { selectedRow_ = row; }
    int selectedListRow() { return selectedRow_; }
    void showImage(int id, const Image&) override { ++imagesShown_[id]; }
    void setCanvasScale(int num, int den) override { canvasScale_ = {num, den}; }

    void setTitle(const std::string& t) override { title_ = t; }
    std::pair<int, int> desktopSize() override { return desktop_; }
    void setWindowSize(int w, int h) override { windowSize_ = {w, h}; }
    void moveWindow(int x, int y) override { windowPos_ = {x, y}; }
    void moveControl(int id, int x, int y) override { controls_[id].x = x, controls_[id].y = y; }
    std::pair<int, int> controlPosition(int id) override { return {controls_[id].x, controls_[id].y}; }
    void shutdown() override { shutdownRequested_ = true; }
    // Without a person to ask, the answer that loses nothing.
    Answer askYesNoCancel(const std::string&, const std::string&) override { return Answer::Cancel; }
    void processPendingEvents() override {}
    void drainPendingEvents() override {}

    // The event the window sends when the user has changed a control: with
    // the control's value, its text or its chosen item's text, and for the
    // subtitle list the selected row.
    Event eventFor(int id, SubKind sub = SubKind::None);

    // Inspection.
    const Control& control(int id) { return controls_[id]; }
    int focus() const { return focus_; }
    int caretAtEnd() const { return caretAtEnd_; }
    const std::string& title() const { return title_; }
    std::pair<int, int> windowSize() const { return windowSize_; }
    std::pair<int, int> windowPosition() const { return windowPos_; }
    int listChanges() const { return listChanges_; }
    bool shutdownRequested() const { return shutdownRequested_; }
    int imagesShown(int id) { return imagesShown_[id]; }
    std::pair<int, int> canvasScale() const { return canvasScale_; }
    void setDesktopSize(int w, int h) { desktop_ = {w, h}; }

protected:
    std::map<int, Control> controls_;
    int focus_ = -1, caretAtEnd_ = -1;
    int selectedRow_ = -1;
    int listChanges_ = 0;
    bool shutdownRequested_ = false;
    std::map<int, int> imagesShown_;
    std::string title_;
    std::pair<int, int> desktop_{2560, 1600};
    std::pair<int, int> windowSize_{0, 0}, windowPos_{0, 0};
    std::pair<int, int> canvasScale_{1, 1};
};
