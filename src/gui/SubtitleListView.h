#pragma once
#include <unordered_map>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <wx/bitmap.h>
#include <wx/image.h>
#include <wx/window.h>

class SubtitleList;

// The subtitle list: a virtual view of the model that draws itself. Rows are
// read from the model when they are painted, so a list of any length costs
// nothing to show, and cell text is set from glyph pictures made once per
// character, so repainting rows lays out no text: a spin step or a new
// selection repaints its rows in a fraction of a millisecond.
//
// Looks and behaves as a single-selection report list with a column header,
// row and column rules, per-row shades and a selection that stays visible
// without the focus.
class SubtitleListView : public wxWindow {
public:
    SubtitleListView(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                     const SubtitleList& list);

    // The user picked a row: a click or double click on it (also on the row
    // already selected) or a move with the arrow, page, Home and End keys.
    std::function<void(long row)> onRowPicked;
    // The selected row left the list (it became shorter); the list has no
    // selection now.
    std::function<void()> onSelectionDropped;
    // A pick with Shift (Event::kExtend) or Ctrl (Event::kToggle) held, by
    // click or arrow key: the program works out the selection and marks it.
    std::function<void(long row, int flags)> onRowsPicked;
    // A key of the list's own commands (app/ControlIds.h key menu ids).
    std::function<void(int menuId)> onKeyCommand;
    // A right click (row: the row under the pointer, -1: none).
    std::function<void(long row)> onContextMenu;

    // Rows added, removed or edited anywhere: repaints the visible rows.
    void modelChanged();
    // Only rows first .. last changed: repaints those of them in view.
    void rowsChanged(long first, long last);

    // Selects a row (-1: none) as the program's choice: no callback.
    void select(long row);
    long selection() const { return selected_; }
    // Marks rows beside the selected row `current` (a selection of many).
    void mark(const std::vector<int>& rows, long current);
    long GetItemCount() const { return count_; }
    // Rows that fit the window whole.
    int GetCountPerPage() const;
    void EnsureVisible(long row);
    bool ScrollLines(int lines) override;
    long topRow() const { return top_; }
    // The row under a point of the window; -1 on the header or below the rows.
    long rowAt(const wxPoint& p) const;

    // The check's findings: the rows of each marked set coloured by their
    // worst finding (2 times, 1 looks, 0 spelling), the reasons as the
    // rows' tool tip; kept until the list changes.
    struct Mark {
        int level = 0;
        std::string reasons;
    };
    void setMarks(std::map<int, Mark> marks);

    bool SetFont(const wxFont& font) override;
    bool AcceptsFocus() const override { return true; }

private:
    struct Glyph {
        bool made = false;
        int advance = 0;              // 1/64 pixel
        int left = 0, top = 0;        // of the coverage box, from the pen and the line top
        int width = 0, height = 0;
        std::vector<uint8_t> coverage;
    };

    void measure();
    const Glyph& glyph(char32_t c);
    int textWidth64(std::string_view text);
    void drawText(wxImage& img, int x, int y, int maxWidth, int clipRight, std::string_view text, const wxColour& c);
    // Mixes `c` into an RGB pixel by coverage 0..255.
    static void blend(unsigned char* p, const wxColour& c, int coverage);
    void paintRow(wxImage& img, int y, long row);
    void makeHeader(int width);
    int bodyTop() const { return headerHeight_; }
    void scrollTo(long top);
    void updateScrollbar();
    void setScrollbarNow();
    void refreshRows(long first, long last);
    void pick(long row);

    void onPaint(wxPaintEvent&);
    void onSize(wxSizeEvent&);
    void onMouse(wxMouseEvent&);
    void onWheel(wxMouseEvent&);
    void onKey(wxKeyEvent&);
    void onScroll(wxScrollWinEvent&);
    void onFocus(wxFocusEvent&);

    const SubtitleList& list_;
    // The toolkit works out the client size anew on every question, at some
    // cost: it is kept from the last size event.
    wxSize client_;
    long count_ = 0;
    long top_ = 0;
    long selected_ = -1;
    std::vector<char> marked_;  // per row: part of a selection of many
    long markedFirst_ = 0, markedLast_ = -1;  // the rows marked_ may hold
    bool marked(long row) const { return row >= 0 && size_t(row) < marked_.size() && marked_[size_t(row)]; }
    void clearMarks();
    int charHeight_ = 13;
    int pitch_ = 19;  // row height, its rule included
    int headerHeight_ = 18;
    std::vector<int> edges_;  // right edge of every column
    std::unordered_map<char32_t, Glyph> glyphs_;
    int ellipsis64_ = 0;
    wxBitmap header_;
    // The toolkit's colours, asked once (the toolkit looks them up in its
    // style each time) and again when the theme changes.
    struct {
        wxColour window, selection, selectionText, rule, rowText, rowBack;
    } colours_;
    int wheelRotation_ = 0;
    bool scrollbarStale_ = false;
    std::map<int, Mark> marks_;
    uint64_t marksRevision_ = 0;
    const Mark* markOf(long row) const;
};
