#pragma once
#include <string>
#include <vector>

// The main window's controls: kind, caption, place, size and start state.
// The window adapter builds them from this table; the layout logic moves the
// anchored ones when the window changes size.

enum class ControlKind { Button, Toggle, CheckBox, Label, Frame, LineField, ContextField, Choice, Slider, Spin, Image, List };
enum class Anchor { None, RightColumn, LowerBlock };
enum class UiFontId { Default, Bold, Info, BigBold, Small, Medium, TimeCaption, System };

struct ControlSpec {
    int id;
    ControlKind kind;
    std::string caption;
    int x, y, w, h;  // right column: x relative to the column origin; lower block: y relative to the block origin
    Anchor anchor;
    UiFontId font = UiFontId::Default;
    int min = 0, max = 0, value = 0;  // sliders and spin fields
    bool enabled = true;
    std::string tooltip;
};

// Every control in creation order.
const std::vector<ControlSpec>& mainWindowControls();
const ControlSpec* findControl(int id);

// The columns of the subtitle list: title and width.
struct ListColumnSpec {
    const char* title;
    int width;
};
const std::vector<ListColumnSpec>& subtitleListColumns();

const std::vector<std::string>& borderStyleNames();

// The languages the project's language list offers: ISO 639-1 code and the
// item's text; the first, code "", is "not told".
struct LanguageChoice {
    const char* code;
    const char* label;
};
const std::vector<LanguageChoice>& projectLanguageChoices();

// Start-up geometry of a project size.
inline int windowWidthFor(int projectWidth) { return projectWidth + 255; }
inline int windowHeightFor(int projectHeight) { return projectHeight + 210; }
inline int columnOriginFor(int windowWidth) { return windowWidth - 250; }
inline int lowerBlockOriginFor(int projectHeight) { return projectHeight + 5; }
