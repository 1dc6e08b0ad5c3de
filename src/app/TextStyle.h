#pragma once
#include <string>

#include "app/EditorContext.h"

// The text's own look in the strips box: its colour, the font its glyphs
// are made from (the shipped sheets or an installed family) and crisp
// glyphs. Each action changes the working style; the caller marks the
// preset modified when it returns true.
namespace textstyle {

bool chooseTextColour(EditorContext& cx);
bool chooseFont(EditorContext& cx);
bool setCrisp(EditorContext& cx, bool crisp);

// Pushes the style's text colour, font and crispness to their controls.
void show(EditorContext& cx);

// The font button's caption for a family ("Font: sheets" for none).
std::string fontCaption(const std::string& family);

}  // namespace textstyle
