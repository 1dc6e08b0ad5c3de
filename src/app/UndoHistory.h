#pragma once
#include <cstddef>
#include <deque>
#include <optional>
#include <string>

#include "project/SubtitleList.h"
#include "render/StripsConfig.h"

// What one undo step gives back: the list, the look and which project it was.
// The list's rows are shared with the list they were taken from until one of
// them changes, so keeping a state costs little.
struct EditorSnapshot {
    SubtitleList list;
    StripsConfig style;
    int presetIndex = 0, profileIndex = 0;
    int selectedRow = -1;
    std::string language;  // the project's language
    std::string projectName, projectDir, projectPath;
};

// The steps that Undo and Redo walk. Each step is the state before one
// change, named for the buttons ("Undo Remove All"). Steps are kept until
// their rows would take more than the budget; the oldest go first.
class UndoHistory {
public:
    static constexpr size_t kDefaultBudget = size_t(256) << 20;
    explicit UndoHistory(size_t budgetBytes = kDefaultBudget) : budget_(budgetBytes) {}

    // Whether a change under `mergeKey` continues the step before it (typing
    // in one field, spin steps of one set): then no new step is kept. An
    // empty key never continues a step.
    bool continues(const std::string& mergeKey) const { return !mergeKey.empty() && mergeKey == lastKey_; }
    // Keeps `before` as the state before the change `name`; the steps that
    // Redo could have walked are gone.
    void push(std::string name, EditorSnapshot before, std::string mergeKey = {});
    // The next change starts a step of its own.
    void breakChain() { lastKey_.clear(); }

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    const std::string& undoName() const;
    const std::string& redoName() const;
    // The state to go back to; `current` is kept for Redo. nullopt when
    // there is nothing to undo.
    std::optional<EditorSnapshot> undo(EditorSnapshot current);
    std::optional<EditorSnapshot> redo(EditorSnapshot current);
    void clear();

    size_t steps() const { return undo_.size(); }
    size_t bytes() const { return bytes_; }

private:
    struct Step {
        std::string name;
        EditorSnapshot state;
        size_t bytes = 0;
    };
    static size_t sizeOf(const EditorSnapshot& s);
    // Moves the newest step of `from` out (its state is returned) and keeps
    // `current` as the newest step of `to`.
    std::optional<EditorSnapshot> step(std::deque<Step>& from, std::deque<Step>& to, EditorSnapshot current);
    void trim();

    size_t budget_;
    size_t bytes_ = 0;
    std::deque<Step> undo_, redo_;
    std::string lastKey_;
};
