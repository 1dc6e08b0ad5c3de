#include "gui/SubtitleListView.h"

#include <algorithm>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/renderer.h>
#include <wx/settings.h>

#include "app/ControlIds.h"
#include "app/Event.h"
#include "app/Layout.h"
#include "gui/WxText.h"
#include "io/FontFace.h"
#include "project/SubtitleList.h"

namespace {

// Space above and below the text of a row, and before the text of a cell.
constexpr int kRowPadding = 6;
constexpr int kCellMargin = 2;

void fill(wxImage& img, int x0, int x1, int y0, int y1, const wxColour& c) {
    x0 = std::max(0, x0);
    x1 = std::min(img.GetWidth(), x1);
    y0 = std::max(0, y0);
    y1 = std::min(img.GetHeight(), y1);
    if (x0 >= x1) return;
    unsigned char* data = img.GetData();
    const unsigned char rgb[3] = {c.Red(), c.Green(), c.Blue()};
    for (int y = y0; y < y1; ++y) {
        unsigned char* p = data + (size_t(y) * size_t(img.GetWidth()) + size_t(x0)) * 3;
        for (int x = x0; x < x1; ++x, p += 3) p[0] = rgb[0], p[1] = rgb[1], p[2] = rgb[2];
    }
}

}  // namespace

SubtitleListView::SubtitleListView(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                                   const SubtitleList& list)
    : wxWindow(parent, id, pos, size, wxVSCROLL | wxWANTS_CHARS | wxBORDER_NONE), list_(list) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    int x = 0;
    for (const ListColumnSpec& c : subtitleListColumns()) edges_.push_back(x += c.width);
    client_ = GetClientSize();
    measure();
    Bind(wxEVT_PAINT, &SubtitleListView::onPaint, this);
    Bind(wxEVT_SIZE, &SubtitleListView::onSize, this);
    Bind(wxEVT_LEFT_DOWN, &SubtitleListView::onMouse, this);
    Bind(wxEVT_LEFT_DCLICK, &SubtitleListView::onMouse, this);
    Bind(wxEVT_RIGHT_DOWN, [this](wxMouseEvent& e) {
        SetFocus();
        if (onContextMenu) onContextMenu(rowAt(e.GetPosition()));
    });
    Bind(wxEVT_CONTEXT_MENU, [this](wxContextMenuEvent& e) {
        // The menu key: the menu of the selected row.
        if (e.GetPosition() == wxDefaultPosition && onContextMenu) onContextMenu(selected_);
    });
    Bind(wxEVT_MOUSEWHEEL, &SubtitleListView::onWheel, this);
    Bind(wxEVT_MOTION, [this](wxMouseEvent& e) {
        e.Skip();
        const Mark* m = markOf(rowAt(e.GetPosition()));
        if (!m) UnsetToolTip();
        else if (!GetToolTip() || GetToolTipText() != toWx(m->reasons)) SetToolTip(toWx(m->reasons));
    });
    Bind(wxEVT_KEY_DOWN, &SubtitleListView::onKey, this);
    Bind(wxEVT_SET_FOCUS, &SubtitleListView::onFocus, this);
    Bind(wxEVT_SYS_COLOUR_CHANGED, [this](wxSysColourChangedEvent& e) {
        measure();
        Refresh(false);
        e.Skip();
    });
    Bind(wxEVT_KILL_FOCUS, &SubtitleListView::onFocus, this);
    for (auto type : {wxEVT_SCROLLWIN_TOP, wxEVT_SCROLLWIN_BOTTOM, wxEVT_SCROLLWIN_LINEUP, wxEVT_SCROLLWIN_LINEDOWN,
                      wxEVT_SCROLLWIN_PAGEUP, wxEVT_SCROLLWIN_PAGEDOWN, wxEVT_SCROLLWIN_THUMBTRACK,
                      wxEVT_SCROLLWIN_THUMBRELEASE})
        Bind(type, &SubtitleListView::onScroll, this);
    modelChanged();
}

bool SubtitleListView::SetFont(const wxFont& font) {
    if (!wxWindow::SetFont(font)) return false;
    measure();
    updateScrollbar();
    Refresh(false);
    return true;
}

void SubtitleListView::measure() {
    glyphs_.clear();
    int h = 0;
    GetTextExtent("H", nullptr, &h);
    charHeight_ = std::max(1, h);
    pitch_ = charHeight_ + kRowPadding;
    headerHeight_ = wxRendererNative::Get().GetHeaderButtonHeight(this);
    header_ = wxBitmap();
    colours_.window = wxSystemSettings::GetColour(wxSYS_COLOUR_LISTBOX);
    colours_.selection = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
    colours_.selectionText = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHTTEXT);
    // The toolkit's grey of lines that mark out, as the list's rules.
    colours_.rule = wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT);
    colours_.rowText = wxSystemSettings::GetColour(wxSYS_COLOUR_LISTBOXTEXT);
    colours_.rowBack = wxSystemSettings::GetColour(wxSYS_COLOUR_LISTBOX);
    ellipsis64_ = textWidth64("...");
}

void SubtitleListView::paintRow(wxImage& img, int y, long row) {
    const int width = img.GetWidth();
    const wxColour& window = colours_.window;
    const SubtitleLine* line = list_.row(int(row));
    if (!line) {
        fill(img, 0, width, y, y + pitch_, window);
        return;
    }
    const bool selected = row == selected_ || marked(row);
    wxColour back, text = colours_.rowText;
    if (selected) {
        back = colours_.selection;
        text = colours_.selectionText;
    } else if (const Mark* m = markOf(row)) {
        back = m->level >= 2 ? wxColour(255, 185, 185) : m->level == 1 ? wxColour(255, 224, 150) : wxColour(200, 220, 255);
    } else {
        // A row's own shade is a grey on a light theme's list; on a dark
        // theme the list's own colours, the shade kept as a lighter grey.
        const int grey = list_.shade(int(row));
        const bool dark = colours_.rowBack.GetLuminance() < 0.5;
        if (grey > 0 && !dark)
            back = wxColour(grey, grey, grey);
        else if (grey > 0)
            back = wxColour(255 - grey + 40, 255 - grey + 40, 255 - grey + 40);
        else
            back = colours_.rowBack;
    }
    const int columnsEnd = edges_.empty() ? 0 : edges_.back();
    const int content = pitch_ - 1;
    fill(img, 0, columnsEnd, y, y + content, back);
    fill(img, columnsEnd, width, y, y + content, window);
    const wxColour& rule = colours_.rule;
    fill(img, 0, width, y + content, y + pitch_, rule);
    // A forced set says so after its counts, on both its rows.
    const SubtitleLine* lineA = list_.row(int(row & ~1L));
    const std::string offOn = lineA && lineA->forced ? line->offOn + " F" : std::string();
    const std::string timing = line->timing.text();
    const std::string* cells[] = {&line->id, &line->text, &timing, offOn.empty() ? &line->offOn : &offOn, &line->y};
    const int textY = y + (content - charHeight_) / 2;
    int left = 0;
    for (size_t c = 0; c < edges_.size() && c < 5; ++c) {
        const int right = edges_[c];
        drawText(img, left + kCellMargin, textY, right - left - 2 * kCellMargin, right - 2, *cells[c], text);
        fill(img, right - 2, right - 1, y, y + content, rule);
        left = right;
    }
    // The keyboard's place: a dotted frame inside the selected row.
    if (row == selected_ && HasFocus() && columnsEnd > 2 && content > 2) {
        unsigned char* data = img.GetData();
        auto dot = [&](int px, int py) {
            if (((px + py) & 1) == 0 && px < width && py >= 0 && py < img.GetHeight())
                blend(data + (size_t(py) * size_t(width) + size_t(px)) * 3, text, 160);
        };
        for (int x = 1; x < columnsEnd - 1; ++x) dot(x, y + 1), dot(x, y + content - 2);
        for (int yy = y + 2; yy < y + content - 2; ++yy) dot(1, yy), dot(columnsEnd - 2, yy);
    }
}

void SubtitleListView::makeHeader(int width) {
    header_ = wxBitmap(std::max(1, width), std::max(1, headerHeight_), 24);
    wxMemoryDC dc(header_);
    dc.SetBackground(wxBrush(GetBackgroundColour()));
    dc.Clear();
    dc.SetFont(GetFont());
    wxRendererNative& renderer = wxRendererNative::Get();
    int left = 0;
    const auto& columns = subtitleListColumns();
    for (size_t c = 0; c < columns.size(); ++c) {
        wxHeaderButtonParams params;
        params.m_labelText = toWx(columns[c].title);
        params.m_labelFont = GetFont();
        params.m_labelAlignment = wxALIGN_LEFT;
        renderer.DrawHeaderButton(this, dc, wxRect(left, 0, edges_[c] - left, headerHeight_), 0,
                                  wxHDR_SORT_ICON_NONE, &params);
        left = edges_[c];
    }
    if (left < width)
        renderer.DrawHeaderButton(this, dc, wxRect(left, 0, width - left, headerHeight_), 0, wxHDR_SORT_ICON_NONE);
}

void SubtitleListView::onPaint(wxPaintEvent&) {
    setScrollbarNow();
    wxPaintDC dc(this);
    const wxSize client = client_;
    if (client.x <= 0 || client.y <= 0) return;
    const wxRect box = GetUpdateRegion().GetBox();
    if (box.GetTop() < bodyTop()) {
        if (!header_.IsOk() || header_.GetWidth() != client.x) makeHeader(client.x);
        dc.DrawBitmap(header_, 0, 0);
    }
    const int y0 = std::max(box.GetTop(), bodyTop()), y1 = std::min(box.GetBottom() + 1, client.y);
    if (y0 >= y1) return;
    // Whole rows only, composed in one picture and drawn at once.
    const int first = (y0 - bodyTop()) / pitch_, last = (y1 - 1 - bodyTop()) / pitch_;
    wxImage img(client.x, (last - first + 1) * pitch_, false);
    for (int v = first; v <= last; ++v) paintRow(img, (v - first) * pitch_, top_ + v);
    dc.DrawBitmap(wxBitmap(img), 0, bodyTop() + first * pitch_);
}

int SubtitleListView::GetCountPerPage() const {
    return std::max(1, (client_.y - bodyTop()) / pitch_);
}

long SubtitleListView::rowAt(const wxPoint& p) const {
    const wxSize client = client_;
    if (p.x < 0 || p.x >= client.x || p.y < bodyTop() || p.y >= client.y) return -1;
    const long row = top_ + (p.y - bodyTop()) / pitch_;
    return row < count_ ? row : -1;
}

// The toolkit's scrollbar takes its time to set, and Open changes the list
// twice (emptied, then filled): it is set once, when the list is painted.
void SubtitleListView::updateScrollbar() {
    if (scrollbarStale_) return;
    scrollbarStale_ = true;
    RefreshRect(wxRect(0, 0, 1, 1), false);  // a paint to come
}

void SubtitleListView::setScrollbarNow() {
    if (!scrollbarStale_) return;
    scrollbarStale_ = false;
    SetScrollbar(wxVERTICAL, int(top_), GetCountPerPage(), int(count_));
}

void SubtitleListView::scrollTo(long top) {
    top = std::clamp(top, 0L, std::max(0L, count_ - GetCountPerPage()));
    if (top == top_) return;
    top_ = top;
    if (!scrollbarStale_) SetScrollPos(wxVERTICAL, int(top_));
    const wxSize client = client_;
    RefreshRect(wxRect(0, bodyTop(), client.x, std::max(0, client.y - bodyTop())), false);
}

bool SubtitleListView::ScrollLines(int lines) {
    const long before = top_;
    scrollTo(top_ + lines);
    return top_ != before;
}

void SubtitleListView::EnsureVisible(long row) {
    if (row < 0 || row >= count_) return;
    const int page = GetCountPerPage();
    if (row < top_)
        scrollTo(row);
    else if (row >= top_ + page)
        scrollTo(row - page + 1);
}

void SubtitleListView::refreshRows(long first, long last) {
    first = std::max(first, top_);
    last = std::min(last, top_ + GetCountPerPage());
    if (first > last) return;
    RefreshRect(wxRect(0, bodyTop() + int(first - top_) * pitch_, client_.x, int(last - first + 1) * pitch_),
                false);
}

void SubtitleListView::setMarks(std::map<int, Mark> marks) {
    marks_ = std::move(marks);
    marksRevision_ = list_.revision();
    Refresh(false);
}

const SubtitleListView::Mark* SubtitleListView::markOf(long row) const {
    if (row < 0 || marks_.empty() || marksRevision_ != list_.revision()) return nullptr;
    auto it = marks_.find(int(row / 2));
    return it == marks_.end() ? nullptr : &it->second;
}

void SubtitleListView::clearMarks() {
    if (markedFirst_ <= markedLast_) refreshRows(markedFirst_, markedLast_);
    marked_.clear();
    markedFirst_ = 0, markedLast_ = -1;
}

void SubtitleListView::mark(const std::vector<int>& rows, long current) {
    clearMarks();
    if (list_.lineCount() != count_) modelChanged();
    long first = count_, last = -1;
    for (int r : rows) {
        if (r < 0 || r >= count_) continue;
        if (marked_.empty()) marked_.assign(size_t(count_), 0);
        marked_[size_t(r)] = 1;
        first = std::min(first, long(r));
        last = std::max(last, long(r));
    }
    if (last >= 0) markedFirst_ = first, markedLast_ = last;
    if (markedFirst_ <= markedLast_) refreshRows(markedFirst_, markedLast_);
    const long before = selected_;
    selected_ = current >= 0 && current < count_ ? current : -1;
    if (before >= 0) refreshRows(before, before);
    if (selected_ >= 0) {
        refreshRows(selected_, selected_);
        EnsureVisible(selected_);
    }
}

void SubtitleListView::modelChanged() {
    if (!marked_.empty()) clearMarks();
    const long n = list_.lineCount();
    const bool dropped = selected_ >= n;
    if (dropped) selected_ = -1;
    if (n != count_) {
        count_ = n;
        updateScrollbar();
        top_ = std::clamp(top_, 0L, std::max(0L, count_ - GetCountPerPage()));
    }
    refreshRows(top_, top_ + GetCountPerPage());
    if (dropped && onSelectionDropped) onSelectionDropped();
}

void SubtitleListView::rowsChanged(long first, long last) {
    if (list_.lineCount() != count_) {
        modelChanged();
        return;
    }
    refreshRows(std::max(0L, first), std::min(count_ - 1, last));
}

void SubtitleListView::select(long row) {
    // A row the program just added may be selected before the list heard of it.
    if (list_.lineCount() != count_) modelChanged();
    if (row < 0 || row >= count_) row = -1;
    if (!marked_.empty()) clearMarks();
    if (row == selected_) return;
    if (selected_ >= 0) refreshRows(selected_, selected_);
    selected_ = row;
    if (row >= 0) refreshRows(row, row);
}

void SubtitleListView::pick(long row) {
    if (row < 0 || row >= count_) return;
    select(row);
    EnsureVisible(row);
    if (onRowPicked) onRowPicked(row);
}

void SubtitleListView::onSize(wxSizeEvent& e) {
    client_ = GetClientSize();
    updateScrollbar();
    scrollTo(top_);
    Refresh(false);
    e.Skip();
}

void SubtitleListView::onMouse(wxMouseEvent& e) {
    SetFocus();
    const long row = rowAt(e.GetPosition());
    if (row < 0) return;
    const int flags = e.ShiftDown() ? Event::kExtend : e.ControlDown() ? Event::kToggle : 0;
    if (flags && onRowsPicked)
        onRowsPicked(row, flags);
    else
        pick(row);
}

void SubtitleListView::onWheel(wxMouseEvent& e) {
    if (e.GetWheelAxis() != wxMOUSE_WHEEL_VERTICAL || e.GetWheelDelta() <= 0) return;
    wheelRotation_ += e.GetWheelRotation();
    const int notches = wheelRotation_ / e.GetWheelDelta();
    wheelRotation_ -= notches * e.GetWheelDelta();
    if (notches != 0) ScrollLines(-notches * std::max(1, e.GetLinesPerAction()));
}

void SubtitleListView::onKey(wxKeyEvent& e) {
    const int mods = e.GetModifiers();
    const int code = e.GetKeyCode();
    int command = 0;
    if (mods == wxMOD_CONTROL) {
        switch (code) {
            case 'A': command = ctl::SelectAllKeyMenuId; break;
            case 'C': case WXK_INSERT: command = ctl::CopyKeyMenuId; break;
            case 'X': command = ctl::CutKeyMenuId; break;
            case 'V': command = ctl::PasteKeyMenuId; break;
            default: break;
        }
    } else if (mods == wxMOD_ALT) {
        if (code == WXK_UP || code == WXK_NUMPAD_UP) command = ctl::MoveUpKeyMenuId;
        if (code == WXK_DOWN || code == WXK_NUMPAD_DOWN) command = ctl::MoveDownKeyMenuId;
    } else if (mods == wxMOD_NONE && (code == WXK_DELETE || code == WXK_NUMPAD_DELETE)) {
        command = ctl::DeleteKeyMenuId;
    } else if (mods == wxMOD_SHIFT) {
        if (code == WXK_DELETE) command = ctl::CutKeyMenuId;
        if (code == WXK_INSERT) command = ctl::PasteKeyMenuId;
    }
    if (command) {
        if (onKeyCommand) onKeyCommand(command);
        return;
    }
    if (code == WXK_MENU || (mods == wxMOD_SHIFT && code == WXK_F10)) {
        if (onContextMenu) onContextMenu(selected_);
        return;
    }
    const long page = std::max(1, GetCountPerPage() - 1);
    const long from = selected_ >= 0 ? selected_ : top_;
    long to;
    switch (e.GetKeyCode()) {
        case WXK_UP: to = selected_ >= 0 ? from - 1 : from; break;
        case WXK_DOWN: to = selected_ >= 0 ? from + 1 : from; break;
        case WXK_PAGEUP: to = from - page; break;
        case WXK_PAGEDOWN: to = from + page; break;
        case WXK_HOME: to = 0; break;
        case WXK_END: to = count_ - 1; break;
        case WXK_TAB:
            Navigate(e.ShiftDown() ? wxNavigationKeyEvent::IsBackward : wxNavigationKeyEvent::IsForward);
            return;
        default: e.Skip(); return;
    }
    if (count_ == 0) return;
    to = std::clamp(to, 0L, count_ - 1);
    if (e.ShiftDown() && onRowsPicked) {
        EnsureVisible(to);
        onRowsPicked(to, Event::kExtend);
        return;
    }
    if (to != selected_ || !marked_.empty()) pick(to);
}

void SubtitleListView::onScroll(wxScrollWinEvent& e) {
    if (e.GetOrientation() != wxVERTICAL) return;
    const long page = GetCountPerPage();
    const auto type = e.GetEventType();
    long top = top_;
    if (type == wxEVT_SCROLLWIN_TOP)
        top = 0;
    else if (type == wxEVT_SCROLLWIN_BOTTOM)
        top = count_;
    else if (type == wxEVT_SCROLLWIN_LINEUP)
        top = top_ - 1;
    else if (type == wxEVT_SCROLLWIN_LINEDOWN)
        top = top_ + 1;
    else if (type == wxEVT_SCROLLWIN_PAGEUP)
        top = top_ - page;
    else if (type == wxEVT_SCROLLWIN_PAGEDOWN)
        top = top_ + page;
    else
        top = e.GetPosition();
    scrollTo(top);
}

void SubtitleListView::onFocus(wxFocusEvent& e) {
    // The selected row shows its focus frame only while the list has the focus.
    if (selected_ >= 0) refreshRows(selected_, selected_);
    e.Skip();
}
