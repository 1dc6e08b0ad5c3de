#pragma once
#include <functional>
#include <vector>

#include <wx/wx.h>

#include "base/Image.h"

// A smoothly scaled copy of a picture for display (box average when
// shrinking), into `out`.
void scaleForDisplay(const Image& in, int width, int height, Image& out);

// Shows an Image at 1:1 (the canvas and the colour swatches).
class ImagePanel : public wxWindow {
public:
    ImagePanel(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);
    // Copies the picture; resizes the control to it when `fitToImage`.
    // Only rows that differ from the picture shown are converted and painted.
    void setImage(const Image& image, bool fitToImage);
    // What the control shows.
    const wxBitmap& bitmap() {
        convertPending();
        return bitmap_;
    }

private:
    void onPaint(wxPaintEvent&);
    // Brings the rows given since the last paint into bitmap_.
    void convertPending();
    wxBitmap bitmap_;
    // The picture as last given; rows pendingFirst_ .. pendingLast_ of it
    // are not yet in bitmap_ (converted when painted, so pictures given
    // several times before a paint are converted once).
    std::vector<uint8_t> shown_;
    int shownWidth_ = 0, shownHeight_ = 0;
    int pendingFirst_ = -1, pendingLast_ = -1;
};

// A small numeric field with up and down arrows. Clicks on the arrows and
// the wheel step its own value (wxEVT_SPINCTRL on each change). Keys typed or
// text pasted (Ctrl+V) into it are shown as typed and sent, on Return or when
// the field loses the focus, as wxEVT_TEXT with the text; Up/Down and Page
// Up/Down send "+1"/"-1" and "+1s"/"-1s". The receiver refuses text by giving
// the field a background other than white: it then keeps the text shown
// until it is corrected or Escape drops it.
class CompactSpin : public wxWindow {
public:
    CompactSpin(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, int min, int max);
    void SetValue(int v);
    int GetValue() const { return value_; }
    void SetRange(int min, int max);
    int GetMin() const { return min_; }
    int GetMax() const { return max_; }
    bool SetBackgroundColour(const wxColour& colour) override;
    // The text being typed (empty when the field shows its value).
    const wxString& typedText() const { return typed_; }
    bool editing() const { return editing_; }

private:
    void step(int delta);
    void send(const wxString& text);
    void commit();
    void stopEditing();
    void onPaint(wxPaintEvent&);
    void onMouse(wxMouseEvent&);
    void onWheel(wxMouseEvent&);
    void onKey(wxKeyEvent&);
    void onChar(wxKeyEvent&);
    int value_ = 0, min_ = 0, max_ = 99;
    bool editing_ = false;
    wxString typed_;
    wxColour fill_ = *wxWHITE;
};
