#include "project/SubtitleList.h"

#include <algorithm>
#include <atomic>

#include "base/Text.h"
#include "project/SubtitleSet.h"

std::string rowId(int i) {
    // At least four digits; a longer index keeps all of its digits, so that
    // ids stay unique in lists of more than 10,000 rows.
    std::string digits = text::padded(i - (i % 2), 4);
    return (i % 2 == 0 ? "A" : "B") + digits;
}

SubtitleList::SubtitleList() {
    appendEmptySet();
}

std::vector<SubtitleLine>& SubtitleList::own() {
    if (rows_.use_count() > 1) rows_ = std::make_shared<std::vector<SubtitleLine>>(*rows_);
    return *rows_;
}

void SubtitleList::changed() {
    static std::atomic<uint64_t> last{0};
    revision_ = ++last;
}

SubtitleLine SubtitleList::line(int i) const {
    if (i < 0 || i >= lineCount()) return {};
    return (*rows_)[size_t(i)];
}

std::string SubtitleList::column(int i, Column c) const {
    const SubtitleLine* r = row(i);
    if (!r) return {};
    switch (c) {
        case Column::Id: return r->id;
        case Column::Text: return r->text;
        case Column::Timing: return r->timing.text();
        case Column::OffOn: return r->offOn;
        case Column::Y: return r->y;
    }
    return {};
}

SubtitleEntry SubtitleList::entry(int k) const {
    const SubtitleSet set = subtitleSetOf(*this, k);
    SubtitleEntry e;
    e.lineA = set.lineA;
    e.lineB = set.lineB;
    e.on = set.on.value_or(TimeCode{});
    e.off = set.off.value_or(TimeCode{});
    e.offFrames = set.offFrames();
    e.onFrames = set.onFrames();
    e.y = set.yOrZero();
    return e;
}

int SubtitleList::countWords() const {
    int words = 0;
    for (const SubtitleLine& r : *rows_) {
        bool inWord = false;
        for (char c : r.text) {
            if (c == ' ') {
                inWord = false;
            } else if (!inWord) {
                inWord = true;
                ++words;
            }
        }
    }
    return words;
}

void SubtitleList::clearList() {
    changed();
    // A fresh vector: a copy kept elsewhere keeps the old rows.
    rows_ = std::make_shared<std::vector<SubtitleLine>>();
    shades_.clear();
}

void SubtitleList::appendLine(SubtitleLine line) {
    changed();
    own().push_back(std::move(line));
    shades_.push_back(0);
}

void SubtitleList::appendEmptySet() {
    int n = lineCount();
    appendLine(SubtitleLine{rowId(n), "", {}, "", ""});
    appendLine(SubtitleLine{rowId(n + 1), "", {}, "", ""});
}

void SubtitleList::removeLastLine() {
    if (rows_->empty()) return;
    changed();
    own().pop_back();
    shades_.pop_back();
}

void SubtitleList::insertEmptySet(int k, const std::string& y) {
    const int at = std::clamp(2 * k, 0, lineCount() - lineCount() % 2);
    changed();
    std::vector<SubtitleLine>& rows = own();
    rows.insert(rows.begin() + at, {SubtitleLine{"", "", {}, "", y}, SubtitleLine{"", "", {}, "", y}});
    shades_.insert(shades_.begin() + at, {0, 0});
    renumberIds();
}

void SubtitleList::removeSets(const std::vector<int>& sets) {
    std::vector<char> gone(size_t(entryCount()), 0);
    bool any = false;
    for (int k : sets)
        if (k >= 0 && k < entryCount()) gone[size_t(k)] = 1, any = true;
    if (!any) return;
    changed();
    std::vector<SubtitleLine>& rows = own();
    size_t kept = 0;
    for (size_t r = 0; r < rows.size(); ++r) {
        if (r / 2 < gone.size() && gone[r / 2]) continue;
        if (kept != r) {
            rows[kept] = std::move(rows[r]);
            shades_[kept] = shades_[r];
        }
        ++kept;
    }
    rows.resize(kept);
    shades_.resize(kept);
    renumberIds();
}

void SubtitleList::insertSets(int k, const std::vector<SubtitleLine>& inserted) {
    if (inserted.empty()) return;
    const int at = std::clamp(2 * k, 0, lineCount() - lineCount() % 2);
    changed();
    std::vector<SubtitleLine>& rows = own();
    rows.insert(rows.begin() + at, inserted.begin(), inserted.end());
    shades_.insert(shades_.begin() + at, inserted.size(), 0);
    // A set is always two rows.
    if (inserted.size() % 2) {
        rows.insert(rows.begin() + at + int(inserted.size()), SubtitleLine{});
        shades_.insert(shades_.begin() + at + int(inserted.size()), 0);
    }
    renumberIds();
}

bool SubtitleList::moveSets(int first, int count, int by) {
    if (count <= 0 || first < 0 || first + count > entryCount() || first + by < 0 ||
        first + count + by > entryCount())
        return false;
    if (by == 0) return true;
    changed();
    std::vector<SubtitleLine>& rows = own();
    auto b = rows.begin();
    if (by < 0)
        std::rotate(b + 2 * (first + by), b + 2 * first, b + 2 * (first + count));
    else
        std::rotate(b + 2 * first, b + 2 * (first + count), b + 2 * (first + count + by));
    renumberIds();
    return true;
}

void SubtitleList::setLineColumn(int i, Column c, std::string value) {
    if (i < 0 || i >= lineCount()) return;
    SubtitleLine& r = own()[size_t(i)];
    changed();
    switch (c) {
        case Column::Id: r.id = std::move(value); break;
        case Column::Text: r.text = std::move(value); break;
        case Column::Timing: r.timing = RowTiming::fromText(value); break;
        case Column::OffOn: r.offOn = std::move(value); break;
        case Column::Y: r.y = std::move(value); break;
    }
}

void SubtitleList::setTiming(int i, RowTiming timing) {
    if (i < 0 || i >= lineCount()) return;
    changed();
    own()[size_t(i)].timing = std::move(timing);
}

void SubtitleList::setSetTiming(int k, const RowTiming& timing) {
    setTiming(2 * k, timing);
    setTiming(2 * k + 1, timing);
}

void SubtitleList::setRowShade(int i, int grey) {
    if (i < 0 || i >= lineCount()) return;
    shades_[size_t(i)] = grey;
}

void SubtitleList::setForced(int set, bool forced) {
    if (set < 0 || 2 * set >= lineCount() || (*rows_)[size_t(2 * set)].forced == forced) return;
    changed();
    own()[size_t(2 * set)].forced = forced;
}

void SubtitleList::renumberIds() {
    // Ids already in order change nothing (and leave shared rows shared).
    int first = 0;
    while (first < lineCount() && (*rows_)[size_t(first)].id == rowId(first)) ++first;
    if (first == lineCount()) return;
    changed();
    std::vector<SubtitleLine>& rows = own();
    for (int i = first; i < lineCount(); ++i) rows[size_t(i)].id = rowId(i);
}

