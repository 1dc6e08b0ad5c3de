#include "app/Layout.h"

#include "app/ControlIds.h"

// Rows of the table leave their trailing fields at the defaults.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif

using K = ControlKind;
using A = Anchor;
using F = UiFontId;

namespace {
const char* const kEarlier = "An earlier line of the list, for reference (nearest at the bottom)";
const char* const kLater = "A later line of the list, for reference (nearest at the top)";
}  // namespace

const std::vector<ControlSpec>& mainWindowControls() {
    static const std::vector<ControlSpec> controls = {
        // Right column.
        {ctl::New, K::Button, "New", 0, 10, 40, 20, A::RightColumn},
        {ctl::Open, K::Button, "Open", 40, 10, 45, 20, A::RightColumn},
        {ctl::Save, K::Button, "Save", 85, 10, 45, 20, A::RightColumn, F::Default, 0, 0, 0, false},
        {ctl::ImportSrt, K::Button, "Import SRT", 130, 10, 70, 20, A::RightColumn},
        {ctl::Quit, K::Button, "Quit", 200, 10, 40, 20, A::RightColumn},
        {ctl::ExportFiles, K::Button, "Export Files...", 0, 30, 85, 20, A::RightColumn, F::Default, 0, 0, 0, false},
        {ctl::CaptureScreen, K::Button, "Capture Screen...", 85, 30, 95, 20, A::RightColumn, F::Default, 0, 0, 0, false},
        {ctl::About, K::Button, "About...", 180, 30, 60, 20, A::RightColumn},
        {ctl::BgImage, K::Toggle, "BG Image...", 0, 50, 80, 20, A::RightColumn},
        {ctl::BgColor, K::Button, "BG Color", 80, 50, 60, 20, A::RightColumn},
        {ctl::BgSwatch, K::Image, "", 140, 50, 50, 20, A::RightColumn},
        {ctl::ProfileList, K::Choice, "", 0, 70, 240, 20, A::RightColumn, F::Small},
        {ctl::StripsFrame, K::Frame, "Kalvero Strips Config:", 0, 100, 240, 355, A::RightColumn, F::Bold},
        {ctl::PresetList, K::Choice, "", 10, 120, 140, 20, A::RightColumn, F::Small},
        {ctl::SavePreset, K::Button, "Save Preset", 150, 120, 80, 20, A::RightColumn, F::Default, 0, 0, 0, false},
        {ctl::BorderList, K::Choice, "", 10, 150, 140, 20, A::RightColumn, F::Small},
        {ctl::StripsColor, K::Button, "Strips Color", 150, 150, 80, 20, A::RightColumn},
        {ctl::StripsSwatch, K::Image, "", 150, 170, 80, 20, A::RightColumn},
        {ctl::TextColor, K::Button, "Text Color", 150, 193, 80, 20, A::RightColumn, F::Default, 0, 0, 0, true,
         "The colour of the caption text; borders keep their grey"},
        {ctl::FontButton, K::Button, "Font: sheets", 150, 214, 80, 20, A::RightColumn, F::Small, 0, 0, 0, true,
         "Draw the captions from an installed font (any script) instead of the shipped font sheets"},
        {ctl::Crisp, K::CheckBox, "Crisp", 150, 235, 80, 20, A::RightColumn, F::Default, 0, 0, 0, true,
         "Glyphs without anti-aliasing: every pixel is text, border or nothing"},
        {ctl::DrawNoStrips, K::CheckBox, "Draw No Strips", 10, 175, 100, 20, A::RightColumn},
        {ctl::CutStripsToText, K::CheckBox, "Cut Strips to Text", 10, 195, 110, 20, A::RightColumn},
        {ctl::StripsToAllText, K::CheckBox, "Strips to All Text", 10, 215, 110, 20, A::RightColumn},
        {ctl::CenterText, K::CheckBox, "Center Text", 10, 235, 80, 20, A::RightColumn},
        {ctl::BlendCaption, K::Label, "Blend:", 10, 265, 30, 16, A::RightColumn},
        {ctl::BlendSlider, K::Slider, "", 40, 265, 150, 20, A::RightColumn, F::Default, 0, 254, 255},
        {ctl::BlendValue, K::Label, "255", 200, 268, 20, 16, A::RightColumn},
        {ctl::FontSizeCaption, K::Label, "Font Size (height in pixels):", 10, 297, 130, 16, A::RightColumn},
        {ctl::FontSizeList, K::Choice, "", 150, 295, 80, 20, A::RightColumn},
        {ctl::WordSpacingCaption, K::Label, "Word Spacing:", 10, 323, 70, 16, A::RightColumn},
        {ctl::WordSpacingSlider, K::Slider, "", 80, 323, 130, 20, A::RightColumn, F::Default, 0, 11, 4},
        {ctl::WordSpacingValue, K::Label, "-3", 215, 323, 20, 16, A::RightColumn},
        {ctl::StripsSpacingCaption, K::Label, "Strips Spacing:", 10, 349, 71, 16, A::RightColumn},
        {ctl::StripsSpacingSlider, K::Slider, "", 81, 349, 130, 20, A::RightColumn, F::Default, 43, 75, 43},
        {ctl::StripsSpacingValue, K::Label, "0", 216, 349, 20, 16, A::RightColumn},
        {ctl::CropCaption, K::Label, "Crop Strips:", 10, 375, 71, 16, A::RightColumn},
        {ctl::CropSlider, K::Slider, "", 81, 375, 130, 20, A::RightColumn, F::Default, 0, 100, 4},
        {ctl::CropValue, K::Label, "0", 216, 375, 20, 16, A::RightColumn},
        {ctl::StripsYCaption, K::Label, "Strips Y Pos:", 10, 401, 71, 16, A::RightColumn},
        {ctl::StripsYSlider, K::Slider, "", 81, 401, 130, 20, A::RightColumn, F::Default, 0, 200, 4},
        {ctl::StripsYValue, K::Label, "0", 216, 401, 20, 16, A::RightColumn},
        {ctl::ResetAllY, K::Button, "Reset All in List", 149, 426, 85, 20, A::RightColumn},
        {ctl::SaveAs, K::Button, "Save As...", 0, 460, 80, 20, A::RightColumn, F::Default, 0, 0, 0, false,
         "Save the project under another name (Ctrl+Shift+S). Save (Ctrl+S) writes it in place."},
        {ctl::Recent, K::Button, "Recent...", 80, 460, 80, 20, A::RightColumn, F::Default, 0, 0, 0, true,
         "Open one of the projects opened or saved last"},
        {ctl::ImportStl, K::Button, "Import STL...", 160, 460, 80, 20, A::RightColumn, F::Default, 0, 0, 0, true,
         "Import an EBU subtitle list (.stl, teletext or open subtitles) as a new project, as Import SRT does"},
        {ctl::ImportText, K::Button, "Import Text...", 0, 504, 120, 20, A::RightColumn, F::Default, 0, 0, 0, true,
         "Add the blocks of a plain text file (separated by blank lines) as sets without times, ready for Record Timings"},
        {ctl::LanguageList, K::Choice, "", 122, 504, 118, 20, A::RightColumn, F::Small, 0, 0, 0, true,
         "The language of the subtitles, kept with the project: every export's track carries it "
         "(kalvero-cli: --lang overrides it)"},
        {ctl::Undo, K::Button, "Undo", 0, 482, 120, 20, A::RightColumn, F::Default, 0, 0, 0, false,
         "Take back the last change (Ctrl+Z)"},
        {ctl::Redo, K::Button, "Redo", 120, 482, 120, 20, A::RightColumn, F::Default, 0, 0, 0, false,
         "Make the change taken back again (Ctrl+Y or Ctrl+Shift+Z)"},

        // Lower block.
        {ctl::Context31, K::ContextField, "", 14, 0, 196, 20, A::LowerBlock, F::Default, 0, 0, 0, true, kEarlier},
        {ctl::Context30, K::ContextField, "", 14, 20, 196, 20, A::LowerBlock, F::Default, 0, 0, 0, true, kEarlier},
        {ctl::Context29, K::ContextField, "", 14, 40, 196, 20, A::LowerBlock, F::Default, 0, 0, 0, true, kEarlier},
        {ctl::Context28, K::ContextField, "", 14, 60, 196, 20, A::LowerBlock, F::Default, 0, 0, 0, true, kEarlier},
        {ctl::LineALabel, K::Label, "A", 3, 82, 11, 16, A::LowerBlock, F::Bold},
        {ctl::LineA, K::LineField, "", 14, 80, 196, 20, A::LowerBlock, F::Default, 0, 0, 0, true,
         "Line A: the upper line of the set. Return moves on to line B."},
        {ctl::LineBLabel, K::Label, "B", 3, 102, 11, 16, A::LowerBlock, F::Bold},
        {ctl::LineB, K::LineField, "", 14, 100, 196, 20, A::LowerBlock, F::Default, 0, 0, 0, true,
         "Line B: the lower line of the set. Return moves on to the next set."},
        {ctl::Context35, K::ContextField, "", 14, 120, 196, 20, A::LowerBlock, F::Default, 0, 0, 0, true, kLater},
        {ctl::Context34, K::ContextField, "", 14, 140, 196, 20, A::LowerBlock, F::Default, 0, 0, 0, true, kLater},
        {ctl::Context33, K::ContextField, "", 14, 160, 196, 20, A::LowerBlock, F::Default, 0, 0, 0, true, kLater},
        {ctl::Context32, K::ContextField, "", 14, 180, 196, 20, A::LowerBlock, F::Default, 0, 0, 0, true, kLater},
        {ctl::SubtitleListView, K::List, "", 212, 0, 508, 180, A::LowerBlock},
        {ctl::TimingFrame, K::Frame, "Adjust Timing/Strips Y Pos", 722, -3, 170, 183, A::LowerBlock, F::Bold},
        {ctl::OnCaption, K::Label, "ON   HH : MM : SS : FF", 726, 22, 164, 20, A::LowerBlock, F::TimeCaption},
        {ctl::OnHours, K::Spin, "", 726, 42, 40, 25, A::LowerBlock, F::System, 0, 99, 0, false},
        {ctl::OnMinutes, K::Spin, "", 766, 42, 40, 25, A::LowerBlock, F::System, 0, 59, 0, false},
        {ctl::OnSeconds, K::Spin, "", 806, 42, 40, 25, A::LowerBlock, F::System, 0, 59, 0, false},
        {ctl::OnFrames, K::Spin, "", 846, 42, 40, 25, A::LowerBlock, F::System, 0, 24, 0, false},
        {ctl::OffCaption, K::Label, "OFF HH : MM : SS : FF", 726, 82, 164, 20, A::LowerBlock, F::TimeCaption},
        {ctl::OffHours, K::Spin, "", 726, 102, 40, 25, A::LowerBlock, F::System, 0, 99, 0, false},
        {ctl::OffMinutes, K::Spin, "", 766, 102, 40, 25, A::LowerBlock, F::System, 0, 59, 0, false},
        {ctl::OffSeconds, K::Spin, "", 806, 102, 40, 25, A::LowerBlock, F::System, 0, 59, 0, false},
        {ctl::OffFrames, K::Spin, "", 846, 102, 40, 25, A::LowerBlock, F::System, 0, 24, 0, false},
        {ctl::OverrideYCaption, K::Label, "Override Strips Y Position:", 726, 133, 150, 20, A::LowerBlock},
        {ctl::OverrideYSlider, K::Slider, "", 726, 153, 130, 20, A::LowerBlock, F::Default, 0, 200, 4, false},
        {ctl::OverrideYValue, K::Label, "0", 861, 153, 20, 16, A::LowerBlock},
        {ctl::RemoveSingle, K::Button, "Remove Single", 212, 180, 90, 20, A::LowerBlock, F::Default, 0, 0, 0, false},
        {ctl::RemoveAll, K::Button, "Remove All", 302, 180, 70, 20, A::LowerBlock, F::Default, 0, 0, 0, false},
        {ctl::InsertSingle, K::Button, "Insert Single", 372, 180, 78, 20, A::LowerBlock, F::Default, 0, 0, 0, false,
         "Insert a new entry at current location. Current item will be shifted down!"},
        {ctl::GoToBottom, K::Button, "Go To Bottom/Add More", 450, 180, 120, 20, A::LowerBlock},
        {ctl::InsertSet, K::Button, "Insert Set", 570, 180, 60, 20, A::LowerBlock, F::Default, 0, 0, 0, false,
         "Insert an empty set before the selected one (Ctrl+Insert); every other set keeps its text and times."},
        {ctl::RecordTimings, K::Toggle, "Record Timings", 630, 180, 90, 20, A::LowerBlock, F::Default, 0, 0, 0, false},
        {ctl::ToolsMenu, K::Button, "Tools...", 722, 183, 85, 20, A::LowerBlock, F::Default, 0, 0, 0, true,
         "Shift (Ctrl+Shift+T), Change Frame Rate, Split, Merge, Import Text, Find (Ctrl+F), Replace (Ctrl+H), Check"},
        {ctl::SafeAreas, K::Toggle, "Safe Areas", 807, 183, 85, 20, A::LowerBlock, F::Default, 0, 0, 0, true,
         "Show the action safe area (93%) and the title safe area (90%) over the preview"},

        // The canvas, at the top-left corner at the project size.
        {ctl::Canvas, K::Image, "", 0, 0, 0, 0, A::None},
    };
    return controls;
}

const ControlSpec* findControl(int id) {
    for (const ControlSpec& c : mainWindowControls())
        if (c.id == id) return &c;
    return nullptr;
}

const std::vector<LanguageChoice>& projectLanguageChoices() {
    static const std::vector<LanguageChoice> choices = {
        {"", "Language: not told"}, {"en", "en English"},    {"fr", "fr French"},     {"de", "de German"},
        {"es", "es Spanish"},       {"it", "it Italian"},    {"pt", "pt Portuguese"}, {"nl", "nl Dutch"},
        {"sv", "sv Swedish"},       {"da", "da Danish"},     {"no", "no Norwegian"},  {"fi", "fi Finnish"},
        {"is", "is Icelandic"},     {"pl", "pl Polish"},     {"cs", "cs Czech"},      {"sk", "sk Slovak"},
        {"hu", "hu Hungarian"},     {"ro", "ro Romanian"},   {"hr", "hr Croatian"},   {"sl", "sl Slovenian"},
        {"sr", "sr Serbian"},       {"bg", "bg Bulgarian"},  {"ru", "ru Russian"},    {"uk", "uk Ukrainian"},
        {"el", "el Greek"},         {"tr", "tr Turkish"},    {"et", "et Estonian"},   {"lv", "lv Latvian"},
        {"lt", "lt Lithuanian"},    {"ca", "ca Catalan"},    {"eu", "eu Basque"},     {"gl", "gl Galician"},
        {"ga", "ga Irish"},         {"cy", "cy Welsh"},      {"he", "he Hebrew"},     {"ar", "ar Arabic"},
        {"fa", "fa Persian"},       {"hi", "hi Hindi"},      {"th", "th Thai"},       {"vi", "vi Vietnamese"},
        {"id", "id Indonesian"},    {"zh", "zh Chinese"},    {"ja", "ja Japanese"},   {"ko", "ko Korean"},
    };
    return choices;
}

const std::vector<ListColumnSpec>& subtitleListColumns() {
    static const std::vector<ListColumnSpec> columns = {
        {"ID", 40}, {"{Subtitles}", 210}, {"Timing HH:MM:SS:FF", 140}, {"OFF+ON", 65}, {"Y", 33}};
    return columns;
}

const std::vector<std::string>& borderStyleNames() {
    static const std::vector<std::string> names = {"None", "Black 1 px", "Gray 1 px", "Gray Right/Shadow 2 px"};
    return names;
}
