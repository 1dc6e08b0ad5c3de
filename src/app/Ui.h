#pragma once
#include <optional>
#include <string>
#include <vector>
#include <utility>

#include "base/Notice.h"
#include "base/Rgb.h"

class Image;

// A set the check found something in: how bad (2 times, 1 looks, 0 spelling)
// and every reason, one a line.
struct ListMark {
    int set = 0;
    int level = 0;
    std::string reasons;
};

// The port through which all logic talks to the user interface. Controls are
// addressed by their fixed ids (app/ControlIds.h). All text crossing this
// port is UTF-8, like the model: texts, file names and paths alike.
//
// The wxWidgets adapter implements it for the real window, tests use a fake
// that records calls and answers dialogs from a script, and the command-line
// tool uses a headless implementation.
class Ui {
public:
    virtual ~Ui() = default;

    // --- controls -------------------------------------------------------
    // The program's state flows one way, to the controls: nothing here reads
    // a control back. What the user changes arrives with the events
    // (app/Event.h).
    virtual void setText(int id, const std::string& text) = 0;
    // Slider position, spin value, check state (0/1) or drop-down selection.
    virtual void setValue(int id, int value) = 0;
    virtual void setRange(int id, int min, int max) = 0;
    virtual void setEnabled(int id, bool enabled) = 0;
    virtual void setVisible(int id, bool visible) = 0;
    virtual void setBackground(int id, Rgb colour) = 0;
    virtual void setFocus(int id) = 0;
    // Puts the caret of a text field after its last character.
    virtual void setCaretToEnd(int id) = 0;

    // Drop-down lists (profiles, presets, font sizes, border styles).
    virtual void clearItems(int id) = 0;
    virtual void appendItem(int id, const std::string& text) = 0;
    // Replaces every item at once; a toolkit can do that in one step.
    virtual void setItems(int id, const std::vector<std::string>& items) {
        clearItems(id);
        for (const std::string& t : items) appendItem(id, t);
    }
    virtual void setItemText(int id, int index, const std::string& text) = 0;

    // The subtitle list is a view of the model: the adapter reads rows from
    // the model itself; these calls say what changed.
    virtual void listChanged() = 0;                 // rows added, removed or edited
    // Only rows first .. last (inclusive) were edited; the row count is the same.
    virtual void rowsChanged(int first, int last) {
        (void)first, (void)last;
        listChanged();
    }
    virtual void selectListRow(int row) = 0;        // -1 clears the selection
    // Marks rows beside the selected row `current` (a selection of many
    // sets); an empty list of rows leaves only `current` selected.
    virtual void markListRows(const std::vector<int>& rows, int current) {
        (void)rows;
        selectListRow(current);
    }
    // Scrolls the list so that the row is in view (the selection stays).
    virtual void showListRow(int row) { (void)row; }
    // Colours the rows of the marked sets by their worst finding, with the
    // reasons as their tool tip, until the list next changes.
    virtual void markListSets(const std::vector<ListMark>& marks) { (void)marks; }

    // Image controls: the canvas and the two colour swatches.
    virtual void showImage(int id, const Image& image) = 0;
    // The canvas shows its pictures at num/den of their size, smoothly
    // scaled (1/1: as they are).
    virtual void setCanvasScale(int num, int den) = 0;

    // --- main window ----------------------------------------------------
    virtual void setTitle(const std::string& title) = 0;
    virtual std::pair<int, int> desktopSize() = 0;
    virtual void setWindowSize(int width, int height) = 0;
    virtual void moveWindow(int x, int y) = 0;
    virtual void moveControl(int id, int x, int y) = 0;
    virtual std::pair<int, int> controlPosition(int id) = 0;
    // Ends the program: frees the windows and exits with code 0.
    virtual void shutdown() = 0;
    // Let pending window events run (repaints during long work).
    virtual void processPendingEvents() = 0;
    // Take pending window events off the queue without handling them.
    virtual void drainPendingEvents() = 0;

    // --- dialogs --------------------------------------------------------
    virtual void messageBox(const std::string& title, const std::string& text) = 0;
    // The message box as a notice for the lower floors.
    Notice notice() {
        return [this](const std::string& title, const std::string& text) { messageBox(title, text); };
    }
    virtual bool askYesNo(const std::string& title, const std::string& text) = 0;
    // Yes / No / Cancel; closing the box is Cancel.
    enum class Answer { Yes, No, Cancel };
    virtual Answer askYesNoCancel(const std::string& title, const std::string& text) = 0;
    // Empty result: cancelled. The filter uses "Label|pattern|Label|pattern".
    virtual std::string openFileDialog(const std::string& title, const std::string& defaultPath,
                                       const std::string& filter) = 0;
    virtual std::string saveFileDialog(const std::string& title, const std::string& defaultFile,
                                       const std::string& filter) = 0;
    virtual std::optional<Rgb> chooseColour(Rgb initial) = 0;
    // The font chooser: one of `families` (with a search field), or "" for
    // the shipped font sheets; nothing when cancelled.
    virtual std::optional<std::string> chooseFont(const std::vector<std::string>& families,
                                                  const std::string& current) {
        (void)families;
        (void)current;
        return std::nullopt;
    }
    // A menu at the pointer: the index of the chosen item, -1 when none was
    // chosen. Items with an empty title are separators.
    struct MenuItem {
        std::string title;
        bool enabled = true;
    };
    virtual int popupMenu(const std::vector<MenuItem>& items) {
        (void)items;
        return -1;
    }
    // The desktop's clipboard, as UTF-8 text.
    virtual void setClipboardText(const std::string& text) { clipboard_ = text; }
    virtual std::optional<std::string> clipboardText() { return clipboard_; }
    virtual std::optional<std::string> inputBox(const std::string& title, const std::string& prompt,
                                                const std::string& defaultText) = 0;

private:
    std::optional<std::string> clipboard_;  // a clipboard of its own where there is no desktop
};
