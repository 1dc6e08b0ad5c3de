#include "app/UndoHistory.h"

size_t UndoHistory::sizeOf(const EditorSnapshot& s) {
    // What the rows would take if they were not shared: a budget for the
    // worst case, counted once when the step is kept.
    size_t bytes = sizeof(EditorSnapshot);
    for (int i = 0; i < s.list.lineCount(); ++i) {
        const SubtitleLine* r = s.list.row(i);
        bytes += sizeof(SubtitleLine) + sizeof(int);
        for (const std::string* f : {&r->id, &r->text, &r->timing.verbatim, &r->offOn, &r->y})
            if (f->capacity() > 15) bytes += f->capacity() + 1;
    }
    return bytes;
}

void UndoHistory::push(std::string name, EditorSnapshot before, std::string mergeKey) {
    for (const Step& s : redo_) bytes_ -= s.bytes;
    redo_.clear();
    Step step{std::move(name), std::move(before), 0};
    step.bytes = sizeOf(step.state);
    bytes_ += step.bytes;
    undo_.push_back(std::move(step));
    lastKey_ = std::move(mergeKey);
    trim();
}

void UndoHistory::trim() {
    // The newest step stays whatever it costs: a change can always be undone once.
    while (bytes_ > budget_ && undo_.size() + redo_.size() > 1) {
        std::deque<Step>& from = undo_.size() > 1 || redo_.empty() ? undo_ : redo_;
        bytes_ -= from.front().bytes;
        from.pop_front();
    }
}

const std::string& UndoHistory::undoName() const {
    static const std::string none;
    return undo_.empty() ? none : undo_.back().name;
}

const std::string& UndoHistory::redoName() const {
    static const std::string none;
    return redo_.empty() ? none : redo_.back().name;
}

std::optional<EditorSnapshot> UndoHistory::step(std::deque<Step>& from, std::deque<Step>& to,
                                               EditorSnapshot current) {
    lastKey_.clear();
    if (from.empty()) return std::nullopt;
    Step taken = std::move(from.back());
    from.pop_back();
    bytes_ -= taken.bytes;
    Step back{taken.name, std::move(current), 0};
    back.bytes = sizeOf(back.state);
    bytes_ += back.bytes;
    to.push_back(std::move(back));
    trim();
    return std::move(taken.state);
}

std::optional<EditorSnapshot> UndoHistory::undo(EditorSnapshot current) { return step(undo_, redo_, std::move(current)); }
std::optional<EditorSnapshot> UndoHistory::redo(EditorSnapshot current) { return step(redo_, undo_, std::move(current)); }

void UndoHistory::clear() {
    undo_.clear();
    redo_.clear();
    bytes_ = 0;
    lastKey_.clear();
}
