#pragma once
#include <wx/wx.h>

#include "base/Image.h"

class Controller;

// The dialogs of the editing tools (app/EditTools.h): the Tools menu, Shift,
// Change Frame Rate, Find and Replace, and Check. Every change goes through
// the tools' functions, each one undo step.
void openEditTool(wxWindow* parent, Controller& controller, int id);

// The preview with the safe areas drawn over it, in `copy`.
const Image& withSafeAreas(const Image& image, Image& copy);
