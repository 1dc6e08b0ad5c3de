#pragma once
#include <string>

#include "app/ControlIds.h"

// One event of the main window, as the dispatch reads it.
enum class EventKind { Control, Menu, Close };
enum class SubKind { None, Changed };

// An event carries what the control holds after the user's action, so the
// program never reads a control back to learn it.
struct Event {
    EventKind kind = EventKind::Control;
    int id = 0;                 // control id (control events)
    SubKind sub = SubKind::None;
    int menuId = 0;             // menu events
    // Slider position, spin value, check state (0/1), the chosen item of a
    // drop-down list or the selected row of the subtitle list (-1: none).
    int value = 0;
    // A line field's text, or the text of the chosen drop-down item.
    std::string text;
    // A pick in the subtitle list made with Shift (extend) or Ctrl (toggle).
    int flags = 0;
    static constexpr int kExtend = 1, kToggle = 2;
    // Ctrl+I: the selection of the field, characters value .. selectionEnd.
    int selectionEnd = 0;

    static Event control(int id, int value = 0, std::string text = {}) {
        return Event{EventKind::Control, id, SubKind::None, 0, value, std::move(text)};
    }
    static Event changed(int id, int value = 0, std::string text = {}) {
        return Event{EventKind::Control, id, SubKind::Changed, 0, value, std::move(text)};
    }
    static Event menu(int menuId, int value = 0) {
        return Event{EventKind::Menu, 0, SubKind::None, menuId, value, {}};
    }
    static Event listPick(int row, int flags) {
        Event e = control(ctl::SubtitleListView, row);
        e.flags = flags;
        return e;
    }
    // Ctrl+I in line field `field` holding `text`, characters from .. to selected.
    static Event italics(int field, std::string text, int from, int to) {
        Event e = menu(ctl::ItalicsKeyMenuId, from);
        e.id = field;
        e.text = std::move(text);
        e.selectionEnd = to;
        return e;
    }
    static Event close() { return Event{EventKind::Close, 0, SubKind::None, 0, 0, {}}; }
};
