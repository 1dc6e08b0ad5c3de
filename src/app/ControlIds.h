#pragma once

// Fixed ids of the main window's controls. The dispatch table tests them in a
// fixed order, and every piece of logic addresses controls through them.
namespace ctl {
enum : int {
    MainWindow = 0,
    LineA = 1,
    LineB = 2,
    SubtitleListView = 3,
    RemoveSingle = 4,
    RemoveAll = 5,
    Open = 6,
    Save = 7,
    ExportFiles = 8,
    New = 9,
    BgImage = 10,
    StripsFrame = 11,
    BlendSlider = 12,
    BlendCaption = 13,
    PresetList = 14,
    SavePreset = 15,
    StripsYSlider = 16,
    DrawNoStrips = 17,
    StripsSwatch = 18,
    StripsColor = 19,
    BorderList = 20,
    ProfileList = 21,
    RecordTimings = 22,
    BgColor = 23,
    BgSwatch = 24,
    About = 25,
    ImportSrt = 26,
    CutStripsToText = 27,
    Context28 = 28,
    Context29 = 29,
    Context30 = 30,
    Context31 = 31,
    Context32 = 32,
    Context33 = 33,
    Context34 = 34,
    Context35 = 35,
    Canvas = 36,
    FontSizeList = 37,
    FontSizeCaption = 38,
    StripsToAllText = 39,
    BlendValue = 40,
    WordSpacingCaption = 41,
    WordSpacingSlider = 42,
    WordSpacingValue = 43,
    InsertSingle = 44,
    StripsSpacingSlider = 45,
    StripsSpacingCaption = 46,
    StripsSpacingValue = 47,
    CenterText = 48,
    GoToBottom = 49,
    Quit = 50,
    CropCaption = 51,
    CropValue = 52,
    CropSlider = 53,
    StripsYCaption = 54,
    StripsYValue = 55,
    TimingFrame = 56,
    OnHours = 57,
    OnMinutes = 58,
    OnSeconds = 59,
    OnFrames = 60,
    OnCaption = 61,
    OffCaption = 62,
    OffHours = 63,
    OffMinutes = 64,
    OffSeconds = 65,
    OffFrames = 66,
    OverrideYCaption = 67,
    OverrideYSlider = 68,
    OverrideYValue = 69,
    ResetAllY = 70,
    CaptureScreen = 71,
    SaveAs = 72,
    InsertSet = 73,
    Undo = 74,
    Redo = 75,
    Recent = 76,
    LineALabel = 77,
    LineBLabel = 78,
    ImportStl = 79,
    TextColor = 80,
    FontButton = 81,
    Crisp = 82,
    LanguageList = 83,  // the project's language

    // The editing tools (app/EditTools.h): a button whose menu lists them,
    // and the safe-area frames over the preview.
    ToolsMenu = 200,
    SafeAreas = 201,
    ShiftSets = 202,
    ChangeRate = 203,
    SplitSet = 204,
    MergeSets = 205,
    ImportText = 206,
    FindText = 207,
    ReplaceText = 208,
    CheckProject = 209,
};

// The editing tools the Tools menu and their keys open.
inline constexpr bool isEditTool(int id) { return id >= ShiftSets && id <= CheckProject; }

// The eight read-only context fields around the line fields.
inline constexpr int ContextFields[8] = {Context28, Context29, Context30, Context31,
                                         Context32, Context33, Context34, Context35};

// Menu id of the Return shortcut of the main window.
constexpr int ReturnKeyMenuId = 1166;
// Menu ids of the main window's other keys.
enum : int {
    SaveKeyMenuId = 1167,       // Ctrl+S
    SaveAsKeyMenuId = 1168,     // Ctrl+Shift+S
    OpenKeyMenuId = 1169,       // Ctrl+O
    NewKeyMenuId = 1170,        // Ctrl+N
    UndoKeyMenuId = 1171,       // Ctrl+Z
    RedoKeyMenuId = 1172,       // Ctrl+Y, Ctrl+Shift+Z
    InsertSetKeyMenuId = 1173,  // Ctrl+Insert
    JournalTickMenuId = 1174,   // the two-second tick of the journal of unsaved work
    FindKeyMenuId = 1200,       // Ctrl+F
    ReplaceKeyMenuId = 1201,    // Ctrl+H
    ShiftKeyMenuId = 1202,      // Ctrl+Shift+T
    ForcedKeyMenuId = 1203,     // Ctrl+Shift+F
    // Keys of the subtitle list.
    CutKeyMenuId = 1175,        // Ctrl+X
    CopyKeyMenuId = 1176,       // Ctrl+C
    PasteKeyMenuId = 1177,      // Ctrl+V
    SelectAllKeyMenuId = 1178,  // Ctrl+A
    DeleteKeyMenuId = 1179,     // Delete
    MoveUpKeyMenuId = 1180,     // Alt+Up
    MoveDownKeyMenuId = 1181,   // Alt+Down
    // A right click on the list (the event's value: the row under the pointer, -1: none).
    ListMenuMenuId = 1182,
    OpenHandedMenuId = 1183,    // a second start handed over the project in the event's text
    SortByTimeMenuId = 1184,    // "Sort by Time" of the export dialog
    // Ctrl+I in a line field (the event's id): its text and selection made
    // italic or upright (see Event::italics).
    ItalicsKeyMenuId = 1185,
};
}  // namespace ctl
