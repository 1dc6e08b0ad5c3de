#include "app/TextStyle.h"

#include "app/ControlIds.h"
#include "app/Ui.h"
#include "io/FontFace.h"

namespace textstyle {

bool chooseTextColour(EditorContext& cx) {
    std::optional<Rgb> picked = cx.ui.chooseColour(cx.s.style.textColor);
    if (!picked) return false;
    cx.s.style.textColor = *picked;
    show(cx);
    cx.refreshPreview();
    return true;
}

bool chooseFont(EditorContext& cx) {
    std::optional<std::string> picked = cx.ui.chooseFont(fontlist::families(), cx.s.style.fontFamily);
    if (!picked || *picked == cx.s.style.fontFamily) return false;
    cx.s.style.fontFamily = *picked;
    cx.refreshPreview();  // a font that cannot be used is told there and taken back
    show(cx);
    return true;
}

bool setCrisp(EditorContext& cx, bool crisp) {
    if (cx.s.style.crisp == crisp) return false;
    cx.s.style.crisp = crisp;
    cx.refreshPreview();
    show(cx);
    return true;
}

std::string fontCaption(const std::string& family) {
    return family.empty() ? "Font: sheets" : family;
}

void show(EditorContext& cx) {
    cx.ui.setBackground(ctl::TextColor, cx.s.style.textColor);
    cx.setControlText(ctl::FontButton, fontCaption(cx.s.style.fontFamily));
    cx.setControlValue(ctl::Crisp, cx.s.style.crisp ? 1 : 0);
}

}  // namespace textstyle
