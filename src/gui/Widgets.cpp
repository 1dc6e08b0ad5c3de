#include "gui/Widgets.h"

#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>

#include <cstring>
#include <wx/clipbrd.h>
#include <wx/spinctrl.h>

#include "app/Layout.h"
#include "gui/WxText.h"
#include "project/SubtitleList.h"

// --- ImagePanel -------------------------------------------------------------

ImagePanel::ImagePanel(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxWindow(parent, id, pos, size, wxBORDER_NONE) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &ImagePanel::onPaint, this);
}

void scaleForDisplay(const Image& in, int width, int height, Image& out) {
    if (in.empty() || width <= 0 || height <= 0) return;
    wxImage img(in.width(), in.height(), false);
    unsigned char* rgb = img.GetData();
    for (int y = 0; y < in.height(); ++y) {
        const uint8_t* src = in.pixel(0, y);
        for (int x = 0; x < in.width(); ++x, src += 4, rgb += 3) rgb[0] = src[0], rgb[1] = src[1], rgb[2] = src[2];
    }
    img.Rescale(width, height, wxIMAGE_QUALITY_BOX_AVERAGE);
    if (out.width() != width || out.height() != height || out.empty()) out = Image(width, height);
    const unsigned char* s = img.GetData();
    for (int y = 0; y < height; ++y) {
        uint8_t* dst = out.pixel(0, y);
        for (int x = 0; x < width; ++x, s += 3, dst += 4) dst[0] = s[0], dst[1] = s[1], dst[2] = s[2], dst[3] = 255;
    }
}

void ImagePanel::setImage(const Image& image, bool fitToImage) {
    if (image.empty()) return;
    const int w = image.width(), h = image.height();
    const size_t stride = image.stride();
    if (fitToImage && GetSize() != wxSize(w, h)) SetSize(w, h);
    if (w != shownWidth_ || h != shownHeight_ || shown_.empty()) {
        shown_.assign(image.data(), image.data() + stride * size_t(h));
        shownWidth_ = w;
        shownHeight_ = h;
        bitmap_ = wxBitmap();
        pendingFirst_ = 0;
        pendingLast_ = h - 1;
        Refresh(false);
        return;
    }
    // A keystroke changes the strips band only: just the rows that differ
    // from the picture given last are taken and repainted.
    int first = -1, last = -1;
    for (int y = 0; y < h; ++y)
        if (std::memcmp(image.pixel(0, y), shown_.data() + size_t(y) * stride, stride) != 0) {
            first = y;
            break;
        }
    if (first < 0) return;
    for (int y = h - 1; y >= first; --y)
        if (std::memcmp(image.pixel(0, y), shown_.data() + size_t(y) * stride, stride) != 0) {
            last = y;
            break;
        }
    const int rows = last - first + 1;
    std::memcpy(shown_.data() + size_t(first) * stride, image.pixel(0, first), stride * size_t(rows));
    pendingFirst_ = pendingFirst_ < 0 ? first : std::min(pendingFirst_, first);
    pendingLast_ = std::max(pendingLast_, last);
    RefreshRect(wxRect(0, first, w, rows), false);
}

void ImagePanel::convertPending() {
    if (pendingFirst_ < 0 || shown_.empty()) return;
    const int w = shownWidth_, first = pendingFirst_, rows = pendingLast_ - pendingFirst_ + 1;
    pendingFirst_ = pendingLast_ = -1;
    wxImage img(w, rows, false);
    unsigned char* rgb = img.GetData();
    const uint8_t* src = shown_.data() + size_t(first) * size_t(w) * 4;
    for (size_t i = 0, n = size_t(w) * size_t(rows); i < n; ++i, src += 4, rgb += 3) {
        rgb[0] = src[0];
        rgb[1] = src[1];
        rgb[2] = src[2];
    }
    if (!bitmap_.IsOk() || (first == 0 && rows == shownHeight_)) {
        bitmap_ = wxBitmap(img);
        return;
    }
    wxMemoryDC dc(bitmap_);
    dc.DrawBitmap(wxBitmap(img), 0, first);
}

void ImagePanel::onPaint(wxPaintEvent&) {
    convertPending();
    // Only the invalidated part is drawn (the paint DC clips to it).
    wxAutoBufferedPaintDC dc(this);
    const wxSize size = GetClientSize();
    int bw = 0, bh = 0;
    if (bitmap_.IsOk()) {
        dc.DrawBitmap(bitmap_, 0, 0);
        bw = bitmap_.GetWidth();
        bh = bitmap_.GetHeight();
    }
    dc.SetBrush(*wxBLACK_BRUSH);
    dc.SetPen(*wxTRANSPARENT_PEN);
    if (size.x > bw) dc.DrawRectangle(bw, 0, size.x - bw, size.y);
    if (size.y > bh && bw > 0) dc.DrawRectangle(0, bh, std::min(bw, size.x), size.y - bh);
}

// --- CompactSpin -------------------------------------------------------------

namespace {
wxString clipboardText() {
    wxString text;
    wxClipboardLocker lock;
    if (!lock) return text;
    if (wxTheClipboard->IsSupported(wxDF_UNICODETEXT)) {
        wxTextDataObject data;
        if (wxTheClipboard->GetData(data)) text = data.GetText();
    }
    return text;
}
}  // namespace

CompactSpin::CompactSpin(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, int min, int max)
    : wxWindow(parent, id, pos, size, wxBORDER_SIMPLE | wxWANTS_CHARS), min_(min), max_(max) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CompactSpin::onPaint, this);
    Bind(wxEVT_LEFT_DOWN, &CompactSpin::onMouse, this);
    Bind(wxEVT_LEFT_DCLICK, &CompactSpin::onMouse, this);
    Bind(wxEVT_MOUSEWHEEL, &CompactSpin::onWheel, this);
    Bind(wxEVT_KEY_DOWN, &CompactSpin::onKey, this);
    Bind(wxEVT_CHAR, &CompactSpin::onChar, this);
    Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& e) {
        if (editing_) commit();
        e.Skip();
    });
}

bool CompactSpin::SetBackgroundColour(const wxColour& colour) {
    if (colour == fill_) return false;
    fill_ = colour;
    Refresh(false);
    return true;
}

void CompactSpin::send(const wxString& text) {
    wxCommandEvent e(wxEVT_TEXT, GetId());
    e.SetEventObject(this);
    e.SetString(text);
    ProcessWindowEvent(e);
}

void CompactSpin::commit() {
    if (!editing_) return;
    if (typed_.empty()) {
        stopEditing();
        return;
    }
    send(typed_);
    // Refused text stays in the field, red, until it is mended or dropped.
    if (fill_ == *wxWHITE) stopEditing();
}

void CompactSpin::stopEditing() {
    editing_ = false;
    typed_.clear();
    fill_ = *wxWHITE;
    Refresh(false);
}

void CompactSpin::SetValue(int v) {
    // Only a change is painted: selecting a row sets all eight time fields.
    const int clamped = std::clamp(v, min_, std::max(min_, max_));
    if (clamped == value_) return;
    value_ = clamped;
    Refresh(false);
}

void CompactSpin::SetRange(int min, int max) {
    if (min == min_ && max == max_) return;
    min_ = min;
    max_ = max;
    value_ = std::clamp(value_, min_, std::max(min_, max_));
    Refresh(false);
}

void CompactSpin::step(int delta) {
    if (!IsEnabled()) return;
    int v = std::clamp(value_ + delta, min_, std::max(min_, max_));
    if (v == value_) return;
    value_ = v;
    Refresh(false);
    wxCommandEvent e(wxEVT_SPINCTRL, GetId());
    e.SetEventObject(this);
    e.SetInt(value_);
    ProcessWindowEvent(e);
}

void CompactSpin::onPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    wxSize sz = GetClientSize();
    bool on = IsEnabled();
    dc.SetBackground(wxBrush(on ? fill_ : wxColour(235, 235, 235)));
    dc.Clear();
    int arrowW = 12;
    dc.SetFont(GetFont());
    dc.SetTextForeground(on ? *wxBLACK : wxColour(150, 150, 150));
    wxString t = editing_ ? typed_ + "|" : wxString::Format("%d", value_);
    wxSize ts = dc.GetTextExtent(t);
    dc.DrawText(t, std::max(2, sz.x - arrowW - ts.x - 3), (sz.y - ts.y) / 2);
    int ax = sz.x - arrowW;
    dc.SetPen(wxPen(wxColour(160, 160, 160)));
    dc.SetBrush(wxBrush(wxColour(225, 225, 225)));
    dc.DrawRectangle(ax, 0, arrowW, sz.y / 2);
    dc.DrawRectangle(ax, sz.y / 2, arrowW, sz.y - sz.y / 2);
    dc.SetBrush(wxBrush(on ? *wxBLACK : wxColour(150, 150, 150)));
    dc.SetPen(*wxTRANSPARENT_PEN);
    int cx = ax + arrowW / 2, q = sz.y / 4;
    wxPoint up[3] = {{cx - 3, q + 2}, {cx + 4, q + 2}, {cx, q - 2}};
    wxPoint down[3] = {{cx - 3, sz.y - q - 2}, {cx + 4, sz.y - q - 2}, {cx, sz.y - q + 2}};
    dc.DrawPolygon(3, up);
    dc.DrawPolygon(3, down);
}

void CompactSpin::onMouse(wxMouseEvent& e) {
    SetFocus();
    wxSize sz = GetClientSize();
    if (e.GetX() >= sz.x - 12) step(e.GetY() < sz.y / 2 ? 1 : -1);
}

void CompactSpin::onWheel(wxMouseEvent& e) {
    step(e.GetWheelRotation() > 0 ? 1 : -1);
}

void CompactSpin::onKey(wxKeyEvent& e) {
    if (!IsEnabled()) return e.Skip();
    const int mods = e.GetModifiers();
    if ((mods == wxMOD_CONTROL && e.GetKeyCode() == 'V') || (mods == wxMOD_SHIFT && e.GetKeyCode() == WXK_INSERT)) {
        wxString pasted = clipboardText();
        pasted.Trim().Trim(false);
        if (pasted.empty()) return;
        editing_ = true;
        typed_ = pasted.Left(32);
        Refresh(false);
        commit();
        return;
    }
    // Steps go through the receiver too: it knows the frame rate and carries
    // frames into seconds and seconds into minutes.
    switch (e.GetKeyCode()) {
        case WXK_UP: stopEditing(); send("+1"); break;
        case WXK_DOWN: stopEditing(); send("-1"); break;
        case WXK_PAGEUP: stopEditing(); send("+1s"); break;
        case WXK_PAGEDOWN: stopEditing(); send("-1s"); break;
        case WXK_ESCAPE:
            if (editing_) stopEditing();
            else e.Skip();
            break;
        case WXK_RETURN:
        case WXK_NUMPAD_ENTER:
            if (editing_) commit();
            else e.Skip();
            break;
        case WXK_BACK:
            if (editing_ && !typed_.empty()) {
                typed_.RemoveLast();
                fill_ = *wxWHITE;
                Refresh(false);
            }
            break;
        default: e.Skip();
    }
}

void CompactSpin::onChar(wxKeyEvent& e) {
    const wxChar c = wxChar(e.GetUnicodeKey());
    if (!IsEnabled() || (e.GetModifiers() & (wxMOD_CONTROL | wxMOD_ALT)) || !wxStrchr(wxT("0123456789:+-sSfF"), c) ||
        c == 0)
        return e.Skip();
    if (!editing_) typed_.clear();
    editing_ = true;
    if (typed_.size() < 32) typed_ += c;
    fill_ = *wxWHITE;
    Refresh(false);
}
