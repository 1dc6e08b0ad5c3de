#pragma once
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/RecentProjects.h"

#include "app/DataDirs.h"
#include "export/AviWriter.h"
#include "export/BurnIn.h"
#include "project/SubtitleList.h"
#include "project/TimeCode.h"
#include "base/Rgb.h"
#include "render/StripsConfig.h"
#include "settings/Settings.h"

enum EditState : int { NewSet = 0, EditSet = 1, EditLineB = 2, EditLastSet = 3 };

// What a subtitle list holds, in a few words (see ProjectCommands).
struct ListDigest {
    size_t rows = 0, bytes = 0;
    uint64_t hash = 0;
    friend bool operator==(const ListDigest&, const ListDigest&) = default;
};

// A slider's or spin field's value, kept inside its range as the control keeps it.
struct RangedValue {
    int value = 0, min = 0, max = 0;
    void set(int v) { value = std::clamp(v, min, std::max(min, max)); }
    void setRange(int lo, int hi) {
        min = lo;
        max = hi;
        set(value);
    }
};

// What the editor's controls hold. The program sets it and pushes it to the
// window; the user's changes arrive with the events. Nothing is read back
// from the window.
struct EditorView {
    std::string lineA, lineB;
    int selectedRow = -1;          // row of the subtitle list, -1: none
    // Sets picked beside it with Shift or Ctrl (sorted); empty when only the
    // selected row's set is picked. The anchor is where a Shift pick extends from.
    std::vector<int> markedSets;
    int anchorSet = -1;
    RangedValue on[4], off[4];     // hours, minutes, seconds, frames
    RangedValue stripsY;           // "Strips Y Pos": the Y sets share
    RangedValue overrideY;         // the selected set's own Y
    RangedValue stripsSpacing;
    std::vector<std::string> fontSizes;  // items of the font size list
    bool bgImage = false;          // the background picture toggle
    bool safeAreas = false;        // the safe-area frames over the preview
};

// The one record of program-wide state.
struct AppState {
    // Constants of this program.
    std::string settingsFileName = "Kalvero.ini";
    std::string titlePrefix = "Dunmere's Kalvero (DUKAL) ";
    std::string versionText = "v1.0 - 06 Mar 2017 ";
    std::string projectExt = ".KVL8";
    std::string aboutText;

    // Folder of the shipped settings file and of includes/, with a trailing separator.
    std::string programDir;
    // The user's settings folder and the folder of the user's includes/;
    // empty when everything is kept in programDir.
    std::string userConfigDir, userDataDir;
    // The projects opened or saved last and the folder the dialogs start in.
    RecentProjects recent;
    // The program folder was looked up (not given), so it holds the shipped
    // settings, which are never written.
    bool programDirShipped = false;
    DataDirs dataDirs() const { return {programDir, userConfigDir, userDataDir, programDirShipped}; }
    // The folder of the journals of unsaved work; empty: no journal is kept.
    std::string recoveryDir;

    // Project.
    std::string projectName = "Untitled";
    std::string projectDir;
    std::string projectPath;
    int projectWidth = 0, projectHeight = 0;
    float fps = 0.0f;
    int timedLength = 0;
    int lastLoadedY = 0;  // Y of the first row of the last loaded project
    SubtitleList list;
    // What the list held when it was last loaded or saved (texts, time codes
    // and Y of every row): a list that differs holds unsaved work.
    ListDigest savedList;
    uint64_t savedListRevision = 0;  // the list's revision then
    StripsConfig savedStyle;         // the look then
    // The language of the project's subtitles (ISO 639; "": not told), kept
    // with the project; every export's track carries it.
    std::string projectLanguage;
    std::string savedLanguage;       // the language when last loaded or saved

    // Settings.
    std::vector<Profile> profiles;
    std::vector<Preset> presets;
    int profileIndex = 0, acceptedProfileIndex = 0, presetIndex = 0;
    int reactionMs = 0;  // reaction offset of the timing recorder

    // Window.
    int windowWidth = 0, windowHeight = 0;
    // The preview is shown at num/den of the project size when the window
    // would not fit the desktop at 1:1 (display only: every picture the
    // program makes stays at the project size).
    int previewScaleNum = 1, previewScaleDen = 1;
    int displayWidth() const { return projectWidth * previewScaleNum / previewScaleDen; }
    int displayHeight() const { return projectHeight * previewScaleNum / previewScaleDen; }
    int columnOriginX = 0, lowerBlockOriginY = 0;

    // Style.
    StripsConfig style;
    int fontSheetsDirty = 1;
    Rgb progressBarColor{136, 136, 255};
    Rgb progressBackColor{0, 0, 0};

    // Line editor.
    EditorView view;
    int editState = NewSet;
    int activeLine = 0;
    int currentSet = 0;
    int shadePhase = 0;
    int lastShade = 230;

    // Running work.
    int recordingActive = 0;
    int captureActive = 0;
    int pictureCounter = 1;
    // The compression of the last timed movie, offered again for the next
    // one until the program ends.
    CodecChoice aviCompression;
    // The last burn-in's movie, new file and H.264 settings, offered again.
    BurnSettings burnSettings;
    // The programme start the timed exports add to their time codes, as last
    // typed in the export dialog.
    TimeCode programmeStart;

    // Current profile, or nullptr when the index is outside the list.
    const Profile* profile() const {
        return profileIndex >= 0 && profileIndex < int(profiles.size()) ? &profiles[size_t(profileIndex)] : nullptr;
    }
    const Preset* preset() const {
        return presetIndex >= 0 && presetIndex < int(presets.size()) ? &presets[size_t(presetIndex)] : nullptr;
    }
};
