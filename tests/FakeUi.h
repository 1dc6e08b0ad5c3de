#pragma once
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/MemoryUi.h"

// A Ui for tests: records every dialog it is asked to show and answers from
// a script. Unscripted questions answer No (Cancel where offered), unscripted
// dialogs are cancelled.
class FakeUi : public MemoryUi {
public:
    struct Message {
        std::string title, text;
        bool question = false;
    };

    std::vector<Message> messages;
    std::deque<bool> yesNoAnswers;
    std::deque<Answer> yesNoCancelAnswers;  // unscripted: Cancel
    std::deque<std::string> fileAnswers;
    std::deque<std::optional<Rgb>> colourAnswers;
    std::vector<Rgb> colourInitials;  // the colour each colour dialog opened on
    std::deque<std::optional<std::string>> inputAnswers;
    std::vector<std::string> dialogTitles;  // file and input dialogs, in order
    std::vector<std::string> openFilters;   // the filter of each open-file dialog
    // Menus shown, and the title of the item to choose in each (unscripted: none).
    std::vector<std::vector<MenuItem>> menus;
    std::deque<std::string> menuAnswers;
    std::vector<int> markedRows;  // the rows of the last selection of many

    int popupMenu(const std::vector<MenuItem>& items) override {
        menus.push_back(items);
        if (menuAnswers.empty()) return -1;
        const std::string want = menuAnswers.front();
        menuAnswers.pop_front();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].title == want) return int(i);
        return -1;
    }
    void markListRows(const std::vector<int>& rows, int current) override {
        markedRows = rows;
        MemoryUi::selectListRow(current);
    }

    void messageBox(const std::string& title, const std::string& text) override {
        messages.push_back({title, text, false});
    }
    bool askYesNo(const std::string& title, const std::string& text) override {
        messages.push_back({title, text, true});
        if (yesNoAnswers.empty()) return false;
        bool a = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return a;
    }
    Answer askYesNoCancel(const std::string& title, const std::string& text) override {
        messages.push_back({title, text, true});
        if (yesNoCancelAnswers.empty()) return Answer::Cancel;
        Answer a = yesNoCancelAnswers.front();
        yesNoCancelAnswers.pop_front();
        return a;
    }
    std::string openFileDialog(const std::string& title, const std::string&, const std::string& filter) override {
        openFilters.push_back(filter);
        return nextFile(title);
    }
    std::string saveFileDialog(const std::string& title, const std::string&, const std::string&) override {
        return nextFile(title);
    }
    std::optional<Rgb> chooseColour(Rgb initial) override {
        dialogTitles.push_back("colour");
        colourInitials.push_back(initial);
        if (colourAnswers.empty()) return std::nullopt;
        auto a = colourAnswers.front();
        colourAnswers.pop_front();
        return a;
    }
    std::optional<std::string> inputBox(const std::string& title, const std::string&, const std::string&) override {
        dialogTitles.push_back(title);
        if (inputAnswers.empty()) return std::nullopt;
        auto a = inputAnswers.front();
        inputAnswers.pop_front();
        return a;
    }

    int countMessages(const std::string& title) const {
        int n = 0;
        for (const auto& m : messages) n += m.title == title;
        return n;
    }

private:
    std::string nextFile(const std::string& title) {
        dialogTitles.push_back(title);
        if (fileAnswers.empty()) return {};
        std::string a = fileAnswers.front();
        fileAnswers.pop_front();
        return a;
    }
};
