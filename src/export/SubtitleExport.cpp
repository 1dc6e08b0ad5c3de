#include "export/SubtitleExport.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>

#include "export/Bdn.h"
#include "export/ExportNames.h"
#include "export/Language.h"
#include "export/OrderedPipeline.h"
#include "export/Pgs.h"
#include "export/SubtitleStreamWriter.h"
#include "export/SetSchedule.h"
#include "export/TextSubtitles.h"
#include "export/XmlText.h"
#include "io/Files.h"
#include "io/ImageCodecs.h"

using exportnames::OutputKind;

namespace {

OutputKind kindOf(SubtitleFormat f) {
    switch (f) {
        case SubtitleFormat::Bdn: return OutputKind::Bdn;
        case SubtitleFormat::Sup: return OutputKind::Sup;
        case SubtitleFormat::VobSub: return OutputKind::VobSub;
        case SubtitleFormat::Dvb: return OutputKind::Dvb;
        case SubtitleFormat::SubRip: return OutputKind::SubRip;
        case SubtitleFormat::WebVtt: return OutputKind::WebVtt;
        case SubtitleFormat::Stl: return OutputKind::Stl;
        case SubtitleFormat::Scc: return OutputKind::Scc;
        case SubtitleFormat::Ass: return OutputKind::Ass;
    }
    return OutputKind::SubRip;
}

bool makeFolder(const std::string& folder, ExportResult& r) {
    r.folder = folder;
    files::Result made = files::makeDirectories(folder);
    if (!made || !files::isDirectory(folder)) {
        r.error = "The folder " + folder + " could not be created" + (made.error.empty() ? "." : ": " + made.error);
        return false;
    }
    return true;
}

bool writeFile(const std::string& path, const std::string& bytes, ExportResult& r) {
    files::Result written = files::writeFileAtomic(path, bytes);
    if (!written) {
        r.error = "The file " + path + " could not be written: " + written.error;
        return false;
    }
    r.written.push_back(path);
    return true;
}

// The sets in the order they appear on screen.
std::vector<TrackSet> inTimeOrder(const TrackSets& sets) {
    std::vector<TrackSet> v = sets.sets;
    std::stable_sort(v.begin(), v.end(), [](const TrackSet& a, const TrackSet& b) { return a.onFrame < b.onFrame; });
    return v;
}

// True (and the result marked) once the user has asked to stop.
bool cancelled(const SubtitleExportJob& job, SubtitleExportResult& r) {
    if (!job.cancel || !job.cancel->load()) return false;
    r.cancelled = true;
    r.error = "The export was cancelled.";
    return true;
}

// Renders set s into `canvas`; `rows` gets the rows that can hold visible
// pixels (all of them when the render does not tell).
bool renderInto(const SubtitleExportJob& job, const TrackSet& s, Image& canvas, RowRange& rows) {
    rows = RowRange{0, job.height};
    const bool ok = job.renderRows ? job.renderRows(s.set, canvas, rows) : job.render && job.render(s.set, canvas);
    rows.y0 = std::clamp(rows.y0, 0, job.height);
    rows.y1 = std::clamp(rows.y1, rows.y0, job.height);
    return ok && canvas.width() == job.width && canvas.height() == job.height;
}

bool renderTrackSet(const SubtitleExportJob& job, const TrackSet& s, Image& canvas, RowRange& rows, ExportResult& r) {
    if (canvas.width() == job.width && canvas.height() == job.height && !canvas.empty())
        std::memset(canvas.data(), 0, canvas.stride() * size_t(job.height));
    else
        canvas = Image(job.width, job.height);
    if (canvas.empty()) {
        r.error = "Out of memory for a picture of " + std::to_string(job.width) + " x " + std::to_string(job.height) + ".";
        return false;
    }
    if (!renderInto(job, s, canvas, rows)) {
        r.error = "Subtitle set " + std::to_string(s.set + 1) + " could not be rendered.";
        return false;
    }
    return true;
}

// The pipeline hands over a fully transparent canvas of the size.
bool drawTrackSet(const SubtitleExportJob& job, const TrackSet& s, Image& canvas, RowRange& rows, std::string& error) {
    if (!renderInto(job, s, canvas, rows)) {
        error = "Subtitle set " + std::to_string(s.set + 1) + " could not be rendered.";
        return false;
    }
    return true;
}

// `rows` gets each item's drawn rows, for its work().
OrderedPipelineJob trackPipeline(const SubtitleExportJob& job, const std::vector<TrackSet>& sets,
                                 std::vector<RowRange>& rows) {
    rows.assign(sets.size(), RowRange{});
    OrderedPipelineJob p;
    p.count = int(sets.size());
    p.width = job.width;
    p.height = job.height;
    p.threads = job.workerThreads;
    p.drawClears = job.renderClears;
    p.draw = [&job, &sets, &rows](int i, Image& canvas, std::string& error) {
        return drawTrackSet(job, sets[size_t(i)], canvas, rows[size_t(i)], error);
    };
    // Only the rows a set drew are cleared before its canvas takes another.
    if (job.renderRows) p.drawnRows = [&rows](int i) { return rows[size_t(i)]; };
    p.stop = [&job] { return job.cancel && job.cancel->load(); };
    return p;
}

bool writeBdnPicture(const Image& crop, const std::string& path, bool indexed, std::string& why) {
    bool ok;
    if (indexed) {
        PalettePicture pal;
        ok = toPalettePicture(crop, 255, pal, why);
        if (ok) {
            imageio::IndexedImage img;
            img.width = pal.width;
            img.height = pal.height;
            img.indices = std::move(pal.indices);
            for (const Rgba& c : pal.palette) {
                img.palette.push_back(Rgb{c.r, c.g, c.b});
                img.alpha.push_back(c.a);
            }
            ok = imageio::writePng8(path, img, why, 6, files::Sync::AtRunEnd);
        }
    } else {
        ok = imageio::writePng32Fast(path, crop, why, files::Sync::AtRunEnd);
    }
    if (!ok) why = "The file " + path + " could not be written: " + why;
    return ok;
}

void exportBdn(const SubtitleExportJob& job, const std::string& folder, SubtitleExportResult& r) {
    const BdnFormat format = bdnFormat(job.width, job.height, job.fps);
    std::vector<BdnEvent> events;
    const std::vector<TrackSet> sets = inTimeOrder(job.sets);
    // Each set's picture is found and written on a worker; the events and
    // the list of files follow the time order.
    struct Picture {
        PixelBox box;
        std::string path;  // set once the file is written
    };
    std::vector<Picture> pictures(sets.size());
    // The description names its pictures in UTF-8 without control
    // characters: the pictures get such names, so that the names lead to them.
    const std::string pictureName = xmltext::clean(job.name);
    std::vector<RowRange> rows;
    OrderedPipelineJob p = trackPipeline(job, sets, rows);
    p.work = [&](int i, const Image& canvas, std::string& why) {
        Picture& pic = pictures[size_t(i)];
        pic.box = visibleBox(canvas, rows[size_t(i)].y0, rows[size_t(i)].y1);
        if (pic.box.empty()) return true;
        const std::string path = exportnames::pngPicturePath(folder, pictureName, sets[size_t(i)].set + 1);
        if (!writeBdnPicture(cropPicture(canvas, pic.box), path, job.indexedPng, why)) return false;
        pic.path = path;
        return true;
    };
    p.finish = [&](int i, const Image&, std::string&) {
        const Picture& pic = pictures[size_t(i)];
        const TrackSet& s = sets[size_t(i)];
        if (pic.box.empty()) {
            ++r.blank;
        } else {
            r.written.push_back(pic.path);
            events.push_back({s.onFrame, s.offFrame, files::filePart(pic.path), pic.box, s.forced});
            r.pictures = int(events.size());
        }
        if (job.progress) job.progress(i + 1, int(sets.size()));
        return true;
    };
    // A run that does not end with its XML takes its pictures away again
    // (those of workers still under way included): no half track is left,
    // and other files in the folder stay as they were.
    auto removePictures = [&] {
        for (const Picture& pic : pictures)
            if (!pic.path.empty()) files::removeFile(pic.path);
        r.written.clear();
        r.pictures = 0;
    };
    const OrderedPipelineResult run = runOrderedPipeline(p);
    if (!run.ok && !run.stopped) {
        r.error = run.error;
        removePictures();
        return;
    }
    if (cancelled(job, r)) {
        removePictures();
        return;
    }
    // A set still on when the next one starts gives way to it, as on the
    // screen of a SUP; one that starts with a later set is covered by it.
    std::vector<BdnEvent> covered;
    cutAtNextEvent(events, &covered);
    for (const BdnEvent& e : covered) {
        const std::string path = folder + e.file;
        files::removeFile(path);
        r.written.erase(std::remove(r.written.begin(), r.written.end(), path), r.written.end());
        ++r.covered;
    }
    r.pictures = int(events.size());
    // The pictures were written without a flush each: one for all of them,
    // before the description that names them.
    const files::Result synced = files::syncFolder(folder);
    if (!synced) {
        r.error = "The pictures were written, but " + folder + " could not be flushed to the disk: " + synced.error;
        removePictures();
        return;
    }
    if (!writeFile(folder + job.name + ".xml", bdnXml(job.name, language::threeLetter(job.language), format, job.fps, events), r)) {
        removePictures();
        return;
    }
    r.subtitles = int(events.size());
    r.ok = true;
}

// The stream is handed to its file in pieces of about this size.
constexpr size_t kStreamChunk = size_t(1) << 20;

void exportSup(const SubtitleExportJob& job, const std::string& folder, SubtitleExportResult& r) {
    PgsWriter pgs(job.width, job.height, job.fps);
    const std::vector<TrackSet> sets = inTimeOrder(job.sets);
    // The stream goes to its file as it grows, so memory stays flat however
    // long the track; the file takes its name only when it is whole.
    const std::string path = folder + job.name + ".sup";
    files::StreamedFile file;
    auto fileError = [&](const files::Result& failed) {
        r.error = "The file " + path + " could not be written: " + failed.error;
        return false;
    };
    if (files::Result opened = file.open(path); !opened) {
        fileError(opened);
        return;
    }
    // Workers find the visible pixels, the palette and the coded objects;
    // the display sets are appended in time order.
    std::vector<PgsSubtitle> prepared(sets.size());
    std::vector<RowRange> rows;
    OrderedPipelineJob p = trackPipeline(job, sets, rows);
    p.work = [&](int i, const Image& canvas, std::string& why) {
        if (pgs.prepare(canvas, prepared[size_t(i)], why, rows[size_t(i)])) return true;
        why = "Subtitle set " + std::to_string(sets[size_t(i)].set + 1) + " could not be encoded: " + why;
        return false;
    };
    p.finish = [&](int i, const Image&, std::string& why) {
        const TrackSet& s = sets[size_t(i)];
        // A picture with nothing visible adds no display set.
        const int before = pgs.displaySets();
        prepared[size_t(i)].forced = s.forced;
        pgs.append(prepared[size_t(i)], s.onFrame, s.offFrame);
        prepared[size_t(i)] = PgsSubtitle{};
        if (pgs.displaySets() == before) ++r.blank;
        else ++r.subtitles;
        if (job.progress) job.progress(i + 1, int(sets.size()));
        if (pgs.bytes().size() < kStreamChunk) return true;
        files::Result written = file.write(pgs.takeBytes());
        if (!written) why = "The file " + path + " could not be written: " + written.error;
        return bool(written);
    };
    const OrderedPipelineResult run = runOrderedPipeline(p);
    if (!run.ok && !run.stopped) {
        r.error = run.error;
        return;
    }
    if (cancelled(job, r)) return;
    pgs.finish();
    files::Result done = file.write(pgs.takeBytes());
    if (done) done = file.commit();
    if (!done) {
        fileError(done);
        return;
    }
    r.written.push_back(path);
    r.pictures = r.subtitles;
    r.ok = true;
}

// The 16 colours of a DVD track: every DVD subtitle picks three of them.
// The style is the same for every set, so the colours of a few sets spread
// over the track, each reduced to three, give the palette of all.
bool dvdPalette(const SubtitleExportJob& job, const std::vector<TrackSet>& sets, std::vector<Rgb>& palette,
                SubtitleExportResult& r) {
    std::map<uint32_t, long long> use;
    Image canvas;
    RowRange rows;
    const size_t samples = std::min<size_t>(sets.size(), 24);
    for (size_t i = 0; i < samples; ++i) {
        const TrackSet& s = sets[samples <= 1 ? 0 : i * (sets.size() - 1) / (samples - 1)];
        if (cancelled(job, r) || !renderTrackSet(job, s, canvas, rows, r)) return false;
        const PixelBox box = visibleBox(canvas, rows.y0, rows.y1);
        if (box.empty()) continue;
        PalettePicture pal;
        std::string why;
        if (!toPalettePicture(cropPicture(canvas, box), 3, pal, why)) {
            r.error = "Subtitle set " + std::to_string(s.set + 1) + " could not be reduced to DVD colours: " + why;
            return false;
        }
        for (uint8_t v : pal.indices) {
            const Rgba& c = pal.palette[v];
            if (c.a > 0) use[uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b] += 1;
        }
    }
    std::vector<std::pair<long long, uint32_t>> byUse;
    for (const auto& [colour, n] : use) byUse.push_back({n, colour});
    std::sort(byUse.begin(), byUse.end(), std::greater<>());
    palette.clear();
    for (size_t i = 0; i < byUse.size() && palette.size() < 16; ++i)
        palette.push_back(Rgb{uint8_t(byUse[i].second >> 16), uint8_t(byUse[i].second >> 8), uint8_t(byUse[i].second)});
    return true;
}

bool streamTrack(const SubtitleExportJob& job, SubtitleStreamKind kind, const std::string& path,
                 SubtitleExportResult& r) {
    std::vector<Rgb> palette;
    if (kind != SubtitleStreamKind::Dvb && !dvdPalette(job, inTimeOrder(job.sets), palette, r)) return false;
    std::unique_ptr<SubtitleStreamWriter> writer = job.makeStreamWriter ? job.makeStreamWriter(kind) : nullptr;
    if (!writer) {
        r.error = "This build cannot encode " + std::string(kind == SubtitleStreamKind::Dvb ? "DVB" : "DVD") +
                  " subtitles.";
        return false;
    }
    std::string why = writer->open(path, job.width, job.height, job.fps, palette, job.language);
    if (!why.empty()) {
        r.error = "The file " + path + " could not be written: " + why;
        return false;
    }
    const std::vector<TrackSet> sets = inTimeOrder(job.sets);
    int subtitles = 0;
    // The encoder keeps state: workers find the visible pixels and reduce
    // their colours, the encoder takes the subtitles in time order.
    std::vector<StreamSubtitle> prepared(sets.size());
    std::vector<RowRange> rows;
    OrderedPipelineJob p = trackPipeline(job, sets, rows);
    p.work = [&](int i, const Image& canvas, std::string& error) {
        if (prepareStreamSubtitle(canvas, kind, prepared[size_t(i)], error, rows[size_t(i)])) return true;
        error = "Subtitle set " + std::to_string(sets[size_t(i)].set + 1) + " could not be encoded: " + error;
        return false;
    };
    p.finish = [&](int i, const Image&, std::string& error) {
        const TrackSet& s = sets[size_t(i)];
        StreamSubtitle subtitle = std::move(prepared[size_t(i)]);
        subtitle.forced = s.forced;
        if (subtitle.box.empty()) {
            ++r.blank;
        } else {
            // A subtitle still on when the next one starts gives way to it.
            long long off = s.offFrame;
            if (size_t(i) + 1 < sets.size() && sets[size_t(i) + 1].onFrame < off && sets[size_t(i) + 1].onFrame > s.onFrame)
                off = sets[size_t(i) + 1].onFrame;
            const std::string failed = writer->addPrepared(subtitle, s.onFrame, off);
            if (!failed.empty()) {
                error = "Subtitle set " + std::to_string(s.set + 1) + " could not be encoded: " + failed;
                return false;
            }
            ++subtitles;
        }
        if (job.progress) job.progress(i + 1, int(sets.size()));
        return true;
    };
    // Leaving early drops the writer, which removes its unfinished files.
    const OrderedPipelineResult run = runOrderedPipeline(p);
    if (!run.ok && !run.stopped) {
        r.error = run.error;
        return false;
    }
    if (cancelled(job, r)) return false;
    why = writer->finish();
    if (!why.empty()) {
        r.error = "The file " + path + " could not be written: " + why;
        return false;
    }
    if (kind != SubtitleStreamKind::Dvb) r.written.push_back(path.substr(0, path.size() - 4) + ".idx");
    r.written.push_back(path);
    if (kind == SubtitleStreamKind::VobSubMatroska) r.written.push_back(path.substr(0, path.size() - 4) + ".mks");
    r.subtitles = subtitles;
    r.pictures = subtitles;
    return true;
}

// NAME, or NAME.fr when the language goes into the name.
std::string textTrackName(const SubtitleExportJob& job) {
    if (!job.languageInFileNames || job.language == language::kUndetermined) return job.name;
    return job.name + "." + language::twoLetter(job.language);
}

void exportText(const SubtitleExportJob& job, const std::string& folder, SubtitleExportResult& r) {
    const bool vtt = job.format == SubtitleFormat::WebVtt;
    const TextSubtitles t =
        writeTextSubtitles(job.sets, job.fps, vtt ? TextSubtitleFormat::WebVtt : TextSubtitleFormat::SubRip,
                           job.assLook.style.textColor);
    r.blank = t.blank;
    if (!writeFile(folder + textTrackName(job) + (vtt ? ".vtt" : ".srt"), t.bytes, r)) return;
    r.subtitles = t.cues;
    if (job.progress) job.progress(int(job.sets.sets.size()), int(job.sets.sets.size()));
    r.ok = true;
}

void exportAss(const SubtitleExportJob& job, const std::string& folder, SubtitleExportResult& r) {
    const AssSubtitles a = writeAssSubtitles(job.sets, job.width, job.height, job.fps, job.assLook, job.name, job.language);
    r.blank = a.blank;
    if (!writeFile(folder + textTrackName(job) + ".ass", a.bytes, r)) return;
    r.subtitles = a.events;
    if (job.progress) job.progress(int(job.sets.sets.size()), int(job.sets.sets.size()));
    r.ok = true;
}

}  // namespace

SubtitleExportResult exportSubtitleTrack(const SubtitleExportJob& job) {
    if (job.forcedOnly) {
        // The other sets keep their numbers (pictures, messages): only the
        // timed sets that are not forced go.
        SubtitleExportJob forced = job;
        forced.forcedOnly = false;
        std::vector<TrackSet>& sets = forced.sets.sets;
        sets.erase(std::remove_if(sets.begin(), sets.end(), [](const TrackSet& s) { return !s.forced; }), sets.end());
        SubtitleExportResult r = exportSubtitleTrack(forced);
        r.notForced = int(job.sets.sets.size() - sets.size());
        return r;
    }
    SubtitleExportResult r;
    r.untimed = job.sets.untimed;
    r.reversed = job.sets.reversed;
    r.untimedSets = job.sets.untimedSets;
    r.reversedSets = job.sets.reversedSets;
    std::string refusal = language::refusal(job.language);
    if (refusal.empty()) refusal = subtitleExportRefusal(job.format, job.width, job.height, job.fps);
    if (!refusal.empty()) {
        r.error = refusal;
        return r;
    }
    const std::string late = subtitleTimeLimitRefusal(job.format, job.sets, job.fps);
    if (!late.empty()) {
        r.error = late;
        return r;
    }
    const std::string folder = exportnames::outputFolder(job.projectDir, kindOf(job.format));
    if (!makeFolder(folder, r)) return r;
    switch (job.format) {
        case SubtitleFormat::Bdn: exportBdn(job, folder, r); break;
        case SubtitleFormat::Sup: exportSup(job, folder, r); break;
        case SubtitleFormat::SubRip:
        case SubtitleFormat::WebVtt: exportText(job, folder, r); break;
        case SubtitleFormat::Ass: exportAss(job, folder, r); break;
        case SubtitleFormat::VobSub:
            r.ok = streamTrack(job, job.matroska ? SubtitleStreamKind::VobSubMatroska : SubtitleStreamKind::VobSub,
                               folder + job.name + ".sub", r);
            break;
        case SubtitleFormat::Dvb:
            r.ok = streamTrack(job, SubtitleStreamKind::Dvb, folder + job.name + ".ts", r);
            break;
        case SubtitleFormat::Stl:
        case SubtitleFormat::Scc:
            // Written from the project (placement and style), see exportTrack.
            r.error = "This track is written by the export of the project, not from its sets alone.";
            break;
    }
    return r;
}
