// The subtitle formats of the exports, what each refuses, and the report of
// a track.
#include "export/Bdn.h"
#include "export/SubtitleExport.h"
#include "project/TimeCode.h"

const std::vector<SubtitleFormatInfo>& subtitleFormats() {
    static const std::vector<SubtitleFormatInfo> kFormats = {
        {SubtitleFormat::Bdn, "bdn", "BDN XML + PNG", true},
        {SubtitleFormat::Sup, "sup", "Blu-ray SUP (PGS)", true},
        {SubtitleFormat::VobSub, "vobsub", "DVD VobSub (.idx/.sub, .mks)", true},
        {SubtitleFormat::Dvb, "dvb", "DVB subtitles (MPEG-TS)", true},
        {SubtitleFormat::SubRip, "srt", "SubRip (.srt)", false},
        {SubtitleFormat::WebVtt, "vtt", "WebVTT (.vtt)", false},
        {SubtitleFormat::Stl, "stl", "EBU STL (.stl, teletext)", false},
        {SubtitleFormat::Scc, "scc", "Closed captions (.scc)", false},
        {SubtitleFormat::Ass, "ass", "Advanced SubStation Alpha (.ass)", false},
    };
    return kFormats;
}

const SubtitleFormatInfo* subtitleFormatByName(std::string_view cliName) {
    for (const SubtitleFormatInfo& f : subtitleFormats())
        if (cliName == f.cliName) return &f;
    return nullptr;
}

const SubtitleFormatInfo& subtitleFormatInfo(SubtitleFormat format) {
    for (const SubtitleFormatInfo& f : subtitleFormats())
        if (f.format == format) return f;
    return subtitleFormats().front();
}

std::string subtitleExportRefusal(SubtitleFormat format, int width, int height, float fps) {
    if (!(fps > 0)) return "The project has no frame rate, so its timing cannot be exported.";
    if (!subtitleFormatInfo(format).pictures) return {};
    if (!Image::validSize(width, height))
        return "The picture size " + std::to_string(width) + " x " + std::to_string(height) + " is not valid.";
    if (format == SubtitleFormat::Bdn) {
        const BdnFormat f = bdnFormat(width, height, fps);
        if (!f.ok) return f.error;
    }
    // A DVD subtitle covers a DVD picture: 720 x 576 (PAL) or 720 x 480 (NTSC).
    if (format == SubtitleFormat::VobSub && (width > 720 || height > 576))
        return "A DVD subtitle picture can be at most 720 x 576 pixels; this project is " + std::to_string(width) +
               " x " + std::to_string(height) +
               " pixels. Please choose a profile of 720 x 576 or 720 x 480 pixels, or export Blu-ray SUP or DVB "
               "subtitles for this size.";
    if ((format == SubtitleFormat::Sup || format == SubtitleFormat::VobSub || format == SubtitleFormat::Dvb) &&
        (width > 4096 || height > 4096))
        return "Subtitle pictures of this track can be at most 4096 x 4096 pixels.";
    return {};
}

std::string subtitleTimeLimitRefusal(SubtitleFormat format, const TrackSets& sets, float fps) {
    // The time stamps of a SUP file are 32-bit counts of a 90 kHz clock and
    // wrap after 13:15:21; those of an MPEG transport stream have 33 bits and
    // wrap after 26:30:43 (less the muxer's delay). A set shown later would
    // come back at the start: the run is refused instead.
    const char* what = nullptr;
    const char* limitText = nullptr;
    long long limitSeconds = 0;
    if (format == SubtitleFormat::Sup) {
        what = "a SUP file", limitText = "13:15:00:00", limitSeconds = 13 * 3600 + 15 * 60;
    } else if (format == SubtitleFormat::Dvb) {
        what = "a DVB transport stream", limitText = "26:30:00:00", limitSeconds = 26 * 3600 + 30 * 60;
    } else {
        return {};
    }
    for (const TrackSet& s : sets.sets) {
        if (frameTo90k(s.offFrame, fps) <= limitSeconds * 90000) continue;
        if (blankLine(s.lineA) && blankLine(s.lineB)) continue;  // shows nothing: left out anyway
        return "Set " + std::to_string(s.set + 1) + " (" + formatTimeCode(s.on) + " to " + formatTimeCode(s.off) +
               ") ends after " + limitText + ", the latest time " + what +
               " can hold; its times would wrap round to the start. Nothing was written.";
    }
    return {};
}

std::string subtitleExportMessage(const SubtitleExportResult& r) {
    std::string text = std::to_string(r.subtitles) + (r.subtitles == 1 ? " subtitle" : " subtitles") + " written.";
    // One line per reason; the sets named where the list is known.
    auto note = [&](int n, const std::vector<int>& which, const char* why) {
        if (n <= 0) return;
        if (int(which.size()) == n) {
            std::vector<LeftOutSet> sets;
            for (int k : which) sets.push_back({k, why});
            text += "\n" + leftOutSummary(sets) + ".";
        } else {
            text += "\n" + std::to_string(n) + (n == 1 ? " set" : " sets") + " left out (" + why + ").";
        }
    };
    note(r.untimed, r.untimedSets, "no ON or OFF time code");
    note(r.reversed, r.reversedSets, "OFF not after ON");
    note(r.blank, {}, "nothing to show");
    note(r.covered, {}, "a later set starts at the same time and covers it");
    note(r.notForced, {}, "not forced: the track holds the forced sets only");
    return text;
}
