#pragma once
#include <wx/wx.h>

class Controller;

// Spelling in the line fields: misspelt words underlined as the text
// changes, and on a right click the field's menu offers suggestions for
// each of them and "Add to my words" (app/EditTools.h).
void installFieldSpelling(wxWindow* frame, Controller& controller);
