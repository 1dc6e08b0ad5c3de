#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class Controller;

// One thing the user can do to the project or the window. Buttons, keys and
// the subtitle list's menu name the command they stand for; the controller
// runs it, and keeps what it changed as one undo step.
struct Command {
    std::string name;   // "edit/undo": the name bindings and the documentation use
    std::string title;  // what a menu shows: "Undo"
    std::string help;   // one sentence: what it does
    // The name of the undo step it makes ("Remove All"); empty for a command
    // that changes nothing Undo gives back.
    std::string change;
    // Whether it applies now (the list's menu shows it greyed when not);
    // empty: always.
    std::function<bool(const Controller&)> applies;
    std::function<void(Controller&)> run;
};

// Every command, in the order the documentation lists them.
const std::vector<Command>& commandTable();
const Command* findCommand(std::string_view name);
// The command a button or a key of the main window stands for; nullptr for
// controls that carry a value (fields, sliders, lists) and for other keys.
const Command* commandOfControl(int controlId);
const Command* commandOfKey(int menuId);
// The subtitle list's right-click menu: command names, "" between groups.
const std::vector<std::string>& listMenu();
