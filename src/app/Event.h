#pragma once

// One event of the main window, as the dispatch reads it.
enum class EventKind { Control, Menu, Close };
enum class SubKind { None, Changed };

struct Event {
    EventKind kind = EventKind::Control;
    int id = 0;                 // control id (control events)
    SubKind sub = SubKind::None;
    int menuId = 0;             // menu events

    static Event control(int id, SubKind sub = SubKind::None) { return Event{EventKind::Control, id, sub, 0}; }
    static Event changed(int id) { return Event{EventKind::Control, id, SubKind::Changed, 0}; }
    static Event menu(int menuId) { return Event{EventKind::Menu, 0, SubKind::None, menuId}; }
    static Event close() { return Event{EventKind::Close, 0, SubKind::None, 0}; }
};
