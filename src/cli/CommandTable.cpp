// The declarations of kalvero-cli's options and the table of its commands.
// An option is declared once below and named by every command that takes it;
// render's style options come from the preset fields (settings/StyleParams).
#include "cli/CommandTable.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "cli/CliSupport.h"
#include "cli/EditCommands.h"
#include "cli/ExportCommand.h"
#include "cli/ImportCommands.h"
#include "cli/RenderCommand.h"
#include "cli/SnapCommand.h"
#include "settings/StyleParams.h"

namespace cli {

namespace {

using K = OptionKind;

// --- Before the command ------------------------------------------------------
constexpr OptionDecl kProgramDir{"--program-dir", K::Text, "DIR",
                                 "read Kalvero.ini and the font sheets of includes/ from DIR only (without it: the "
                                 "user's settings file when there is one, and the shipped data)",
                                 0, 0, "", Offer::Folders};
constexpr OptionDecl kVerbose{"--verbose", K::Flag, "",
                              "show FFmpeg's own messages (per shot change, warnings, encoder banners)"};
constexpr OptionDecl kHelp{"--help", K::Flag, "", "print the usage (of one command, after its name) and exit",
                           0, 0, "", Offer::Nothing, "", "", "-h"};
constexpr OptionDecl kVersion{"--version", K::Flag, "", "print the version and exit"};

// --- Files written -----------------------------------------------------------
constexpr OptionDecl kOutProject{"-o", K::Text, "OUT.KVL8", "the project file to write", 0, 0, "", Offer::Files,
                                 "@(KVL8|kvl8)"};
constexpr OptionDecl kOutPng{"-o", K::Text, "OUT.png", "the picture to write", 0, 0, "", Offer::Files, "@(png|PNG)"};
constexpr OptionDecl kOutMovie{"-o", K::Text, "OUT.mp4|OUT.mkv", "the movie to write, MP4 or Matroska by its ending",
                               0, 0, "", Offer::Files, "@(mp4|mkv|MP4|MKV)"};
constexpr OptionDecl kForce{"--force", K::Flag, "",
                            "replace read-only output files and start exports of more than 100000 pictures (a FIFO, "
                            "device or folder under an output name is never replaced)"};

// --- Profile and preset ------------------------------------------------------
constexpr OptionDecl kProfile{"--profile", K::Text, "N|NAME",
                              "the profile: its number or name in `kalvero-cli profiles` (default: the start-up one)"};
constexpr OptionDecl kPreset{"--preset", K::Text, "N|NAME",
                             "the preset: its number or name in `kalvero-cli presets` (default: the start-up one)"};
constexpr OptionDecl kProfileNumber{"--profile", K::Number, "N",
                                    "the profile's number in `kalvero-cli profiles`", 0, 1 << 20};
constexpr OptionDecl kPresetNumber{"--preset", K::Number, "N", "the preset's number in `kalvero-cli presets`", 0,
                                   1 << 20};

// --- render ------------------------------------------------------------------
constexpr OptionDecl kSet{"--set", K::Number, "K", "the set of the project to draw, from 1", 1, 1 << 30};
constexpr OptionDecl kTarget{"--target", K::Choice, "",
                             "what the picture is: preview (as the window shows it), alpha (transparent, as the PNG "
                             "export; the default), color (over the background colour, as the AVI frames), opaque "
                             "(over black, as the IFF pictures)",
                             0, 0, "preview alpha color opaque", Offer::Words, "", "colour"};
constexpr OptionDecl kLineA{"--line-a", K::Text, "TEXT", "line A of a typed set (UTF-8)"};
constexpr OptionDecl kLineB{"--line-b", K::Text, "TEXT", "line B of a typed set (UTF-8)"};
constexpr OptionDecl kY{"--y", K::Number, "Y", "the strips' Y of the set", 0, 1 << 16};
constexpr OptionDecl kFontSize{"--font-size", K::Number, "N", "the font size, which needs its font sheets",
                               kMinFontSize, kMaxFontSize};
constexpr OptionDecl kMode{"--mode", K::Choice, "",
                           "the strips: full width, cut to the text, all text, or none drawn", 0, 0,
                           "full cut all none", Offer::Words};
constexpr OptionDecl kCenter{"--center", K::Flag, "", "centre the text on the picture"};
constexpr OptionDecl kNoCenter{"--no-center", K::Flag, "", "do not centre the text"};
constexpr OptionDecl kBackground{"--background", K::Text, "FILE",
                                 "a picture behind the set (--target preview only)", 0, 0, "", Offer::Files,
                                 "@(png|jpg|jpeg|tif|tiff|tga|bmp|PNG|JPG|JPEG|TIF|TIFF|TGA|BMP)"};
constexpr OptionDecl kFont{"--font", K::Text, "FAMILY",
                           "draw the captions from an installed font (a family of `kalvero-cli fonts`, with style "
                           "words such as \"DejaVu Sans:bold\", or a font file) instead of the shipped sheets",
                           0, 0, "", Offer::Fonts};
constexpr OptionDecl kCrisp{"--crisp", K::Flag, "", "draw the font without anti-aliasing"};
constexpr OptionDecl kTextColor{"--text-color", K::Text, "#RRGGBB",
                                "the colour of the text (the preset's, white by default); the borders keep their grey"};

// --- export ------------------------------------------------------------------
constexpr OptionDecl kStart{"--start", K::Text, "HH:MM:SS:FF",
                            "the programme start, added to every time code of the file (10:00:00:00 for most "
                            "masters)"};
constexpr OptionDecl kScala{"--scala", K::Number, "0-3",
                            "the Scala player: 0 InfoChannel IC500 (default), 1 MM400, 2 MM300, 3 MM200", 0, 3};
constexpr OptionDecl kAviCodec{"--codec", K::Text, "NAME",
                               "the movie's codec (rawvideo by default; an unknown name lists those of this build)", 0,
                               0, "rawvideo utvideo ffv1 huffyuv ffvhuff png mjpeg mpeg4 libx264rgb libx264",
                               Offer::Words};
constexpr OptionDecl kQuality{"--quality", K::Number, "1-100", "the quality of a lossy codec (default 75)", 1, 100};
constexpr OptionDecl kOverlayCodec{"--codec", K::Text, "prores|qtrle|png|vp9|utvideo",
                                   "the overlay movie's codec (prores by default)", 0, 0,
                                   "prores qtrle png vp9 utvideo", Offer::Words};
constexpr OptionDecl kIndexed{"--indexed", K::Flag, "", "write 8-bit palette pictures"};
constexpr OptionDecl kForcedOnly{"--forced-only", K::Flag, "",
                                 "write only the sets marked forced (Ctrl+Shift+F in the window)"};
constexpr OptionDecl kLang{"--lang", K::Text, "CODE",
                           "the tracks' language, ISO 639 (fr, fre), in place of the project's own (und when neither)"};
constexpr OptionDecl kLangInName{"--lang-in-name", K::Flag, "",
                                 "name the files NAME.CODE.srt and so on (needs --lang or a project's language)"};
constexpr OptionDecl kTeletext{"--teletext", K::Flag, "", "a teletext subtitle list (the default)"};
constexpr OptionDecl kOpen{"--open", K::Flag, "", "an open subtitle list"};
constexpr OptionDecl kLanguage{"--language", K::Text, "CODE",
                               "the list's two-letter language code, such as en, de or fr"};

// --- burn, capture, snap -----------------------------------------------------
constexpr OptionDecl kCrf{"--crf", K::Number, "0-51", "the encoder's constant rate factor (default 18)", 0, 51};
constexpr OptionDecl kBurnPreset{"--preset", K::Text, "NAME", "the encoder's speed preset (default medium)"};
constexpr OptionDecl kRow{"--row", K::Number, "R", "the list row whose set is captured (default 0)", 0, 1 << 30};
constexpr OptionDecl kWithin{"--within", K::Number, "N", "frames from a shot change that move onto it (default 6)",
                             0, 1000};
constexpr OptionDecl kGap{"--gap", K::Number, "N", "frames an OFF keeps before a shot change (default 2)", 0, 1000};

// --- Editing tools -----------------------------------------------------------
constexpr OptionDecl kFrames{"--frames", K::Number, "N", "frames to move by (negative: earlier)", -100000000,
                             100000000};
constexpr OptionDecl kTo{"--to", K::Text, "HH:MM:SS:FF", "the time code the first shifted set starts at"};
constexpr OptionDecl kSets{"--sets", K::Text, "K-L", "only sets K to L, counted from 1"};
constexpr OptionDecl kKeep{"--keep", K::Choice, "", "keep each time (nearest frame) or each frame number", 0, 0,
                           "time frames", Offer::Words};
constexpr OptionDecl kFind{"--find", K::Text, "TEXT", "the text to look for"};
constexpr OptionDecl kWith{"--with", K::Text, "TEXT", "its replacement"};
constexpr OptionDecl kRegex{"--regex", K::Flag, "", "the text is a regular expression (ECMAScript)"};
constexpr OptionDecl kWholeWord{"--whole-word", K::Flag, "", "match whole words only"};
constexpr OptionDecl kIgnoreCase{"--ignore-case", K::Flag, "", "match ignoring case"};
constexpr OptionDecl kMaxCps{"--max-cps", K::Number, "N", "characters per second above which a set is too fast "
                                                          "(default 17)", 1, 1000};
constexpr OptionDecl kMinFrames{"--min-frames", K::Number, "N", "frames below which a set is too short (default 20)",
                                0, 1000000};
constexpr OptionDecl kSafeArea{"--safe-area", K::Number, "PERCENT",
                               "the share of the picture width a line may take (default 90)", 10, 100};
constexpr OptionDecl kCheckLang{"--lang", K::Text, "CODE",
                                "check the spelling with this Hunspell dictionary (en_US or en-US)", 0, 0, "",
                                Offer::Dictionaries};

// render's number options that override a preset field: the field's range and
// help, "N" for the value.
const std::vector<OptionDecl>& styleOptions() {
    static const std::vector<OptionDecl> options = [] {
        std::vector<OptionDecl> list;
        for (const PresetParam& p : presetParams())
            if (p.kind == ParamKind::Number && *p.option) list.push_back({p.option, K::Number, "N", p.help, p.min, p.max});
        return list;
    }();
    return options;
}

std::vector<OptionUse> uses(std::initializer_list<const OptionDecl*> options) {
    std::vector<OptionUse> list;
    for (const OptionDecl* o : options) list.push_back({o, false});
    return list;
}

// Marks `o` required.
OptionUse needed(const OptionDecl& o) { return {&o, true}; }

std::vector<CommandDecl> buildTable() {
    const std::vector<OptionUse> imports = {needed(kOutProject), {&kProfile}, {&kPreset}, {&kForce}};
    const std::vector<OptionUse> numberedImports = {needed(kOutProject), {&kProfileNumber}, {&kPresetNumber},
                                                    {&kForce}};
    std::vector<OptionUse> render = {needed(kOutPng), {&kSet}, {&kTarget}, {&kProfile}, {&kPreset}, {&kLineA},
                                     {&kLineB}, {&kY}, {&kFontSize}};
    for (const OptionDecl& o : styleOptions()) render.push_back({&o});
    for (const OptionDecl* o : {&kMode, &kCenter, &kNoCenter, &kBackground, &kFont, &kCrisp, &kTextColor, &kForce})
        render.push_back({o});
    const char* project = "@(KVL8|kvl8)";
    return {
        {"profiles", "", "", "-", "list the profiles of the settings file", {}, cmdProfiles},
        {"presets", "", "", "-", "list the presets of the settings file", {}, cmdPresets},
        {"fonts", "", "", "-", "list the families of the installed fonts", {}, cmdFonts},
        {"import-srt", "", "FILE.srt", "@(srt|SRT)", "make a project from a SubRip file", imports, cmdImportSrt},
        {"import-stl", "", "FILE.stl", "@(stl|STL)", "make a project from an EBU subtitle list", imports,
         cmdImportStl},
        {"import-scc", "", "FILE.scc", "@(scc|SCC)", "make a project from a caption file", imports, cmdImportScc},
        {"recalc", "", "IN.KVL8", project, "recalculate a project's OFF+ON frame counts",
         {needed(kOutProject), {&kForce}}, cmdRecalc},
        {"info", "", "IN.KVL8", project, "print a project's size, rate, profile, preset and counts", {}, cmdInfo},
        {"render", "", "[IN.KVL8]", project, "draw one set, of a project or typed, into a 32-bit PNG", render,
         cmdRender},
        {"export", "png", "IN.KVL8", project, "one transparent PNG per set, an XML timeline and a timing table",
         uses({&kStart, &kFont, &kCrisp, &kTextColor, &kForce}), cmdExport},
        {"export", "iff", "IN.KVL8", project, "16-colour IFF pictures, a poster and a Scala script",
         uses({&kScala, &kFont, &kCrisp, &kTextColor, &kForce}), cmdExport},
        {"export", "avi", "IN.KVL8", project, "the timed movie",
         uses({&kAviCodec, &kQuality, &kFont, &kCrisp, &kTextColor, &kForce}), cmdExport},
        {"export", "overlay", "IN.KVL8", project, "a movie with an alpha channel for video editors",
         uses({&kOverlayCodec, &kFont, &kCrisp, &kTextColor, &kForce}), cmdExport},
        {"export", "bdn", "IN.KVL8", project, "BDN XML with PNG pictures",
         uses({&kIndexed, &kLang, &kForcedOnly, &kStart, &kFont, &kCrisp, &kTextColor, &kForce}), cmdExport},
        {"export", "sup|vobsub|dvb", "IN.KVL8", project, "a Blu-ray, DVD or DVB subtitle track",
         uses({&kLang, &kForcedOnly, &kStart, &kFont, &kCrisp, &kTextColor, &kForce}), cmdExport},
        {"export", "srt|vtt|ass", "IN.KVL8", project, "a SubRip, WebVTT or Advanced SubStation Alpha file",
         uses({&kLang, &kLangInName, &kForcedOnly, &kStart, &kForce}), cmdExport},
        {"export", "scc", "IN.KVL8", project, "a caption file", uses({&kStart, &kForce}), cmdExport},
        {"export", "stl", "IN.KVL8", project, "an EBU subtitle list",
         uses({&kTeletext, &kOpen, &kStart, &kLanguage, &kLang, &kForce}), cmdExport},
        {"burn", "", "MOVIE IN.KVL8", "", "the movie with the subtitles drawn into its pictures",
         {needed(kOutMovie), {&kCrf}, {&kBurnPreset}, {&kForce}}, cmdBurn},
        {"capture", "", "IN.KVL8", project, "the set of one list row as a transparent PNG", uses({&kRow, &kForce}),
         cmdCapture},
        {"snap", "", "MOVIE IN.KVL8", "", "move times near a shot change of the movie onto it",
         {needed(kOutProject), {&kWithin}, {&kGap}, {&kForce}}, cmdSnap},
        {"shift", "", "IN.KVL8", project, "move the sets by frames or to a time code (--frames or --to)",
         {needed(kOutProject), {&kFrames}, {&kTo}, {&kSets}, {&kForce}}, cmdShift},
        {"convert-rate", "", "IN.KVL8", project, "give the project another profile and its frame rate",
         {needed(kOutProject), needed(kProfileNumber), needed(kKeep), {&kForce}}, cmdConvertRate},
        {"import-text", "", "FILE.txt", "", "untimed sets from the blocks of a plain text file", numberedImports,
         cmdImportText},
        {"merge-srt", "", "TOP.srt BOTTOM.srt", "@(srt|SRT)", "line A from one SubRip file, line B from another",
         numberedImports, cmdMergeSrt},
        {"replace", "", "IN.KVL8", project, "replace text over line A, the line break and line B",
         {needed(kOutProject), needed(kFind), needed(kWith), {&kRegex}, {&kWholeWord}, {&kIgnoreCase}, {&kForce}},
         cmdReplace},
        {"check", "", "IN.KVL8", project, "list timing, layout, glyph and spelling findings (exit 3 when any)",
         uses({&kMaxCps, &kMinFrames, &kSafeArea, &kCheckLang}), cmdCheck},
    };
}

}  // namespace

const std::vector<const OptionDecl*>& globalOptions() {
    static const std::vector<const OptionDecl*> list = {&kProgramDir, &kVerbose, &kHelp, &kVersion};
    return list;
}

const OptionDecl& programDirOption() { return kProgramDir; }
const OptionDecl& verboseOption() { return kVerbose; }

const std::vector<CommandDecl>& commandTable() {
    static const std::vector<CommandDecl> table = buildTable();
    return table;
}

std::vector<const CommandDecl*> entriesOf(const std::string& name) {
    std::vector<const CommandDecl*> list;
    for (const CommandDecl& c : commandTable())
        if (name == c.name) list.push_back(&c);
    return list;
}

std::vector<OptionUse> optionsOf(const std::string& name) {
    std::vector<OptionUse> list;
    for (const CommandDecl* c : entriesOf(name))
        for (const OptionUse& u : c->options)
            if (std::none_of(list.begin(), list.end(),
                             [&](const OptionUse& x) { return std::strcmp(x.option->name, u.option->name) == 0; }))
                list.push_back(u);
    return list;
}

std::vector<std::string> wordsOf(const OptionDecl& o) {
    std::vector<std::string> words;
    std::istringstream in(o.words);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::string valueText(const OptionDecl& o) {
    if (o.kind != OptionKind::Choice) return o.value;
    std::string text;
    for (const std::string& w : wordsOf(o)) text += (text.empty() ? "" : "|") + w;
    return text;
}

}  // namespace cli
