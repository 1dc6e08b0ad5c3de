#pragma once
#include <memory>
#include <string>
#include <vector>

#include "base/Rgb.h"
#include "export/SubtitleTrack.h"

class Image;

// Bitmap subtitle tracks encoded by the linked video library: DVD subtitles
// as .idx + .sub or inside a Matroska file, and DVB subtitles in an MPEG
// transport stream.
enum class SubtitleStreamKind {
    VobSub,           // NAME.sub + NAME.idx
    VobSubMatroska,   // the same, and the same packets in NAME.mks
    Dvb,              // NAME.ts
};

// A subtitle reduced to the colours its track allows: the rectangle of its
// visible pixels and their palette picture. An empty box shows nothing.
struct StreamSubtitle {
    PixelBox box;
    PalettePicture picture;
    bool forced = false;  // DVD: shown even while subtitles are off
};

// The first, stateless step of SubtitleStreamWriter::add(): finds the
// visible pixels and reduces them to three colours (DVD) or fifteen (DVB)
// beside transparent, looking in `rows` only. Several threads may call it at
// once.
bool prepareStreamSubtitle(const Image& picture, SubtitleStreamKind kind, StreamSubtitle& out, std::string& error,
                           RowRange rows = {});

class SubtitleStreamWriter {
public:
    virtual ~SubtitleStreamWriter() = default;
    // `path` is the main file: NAME.sub (NAME.idx and NAME.mks are written
    // beside it) or NAME.ts. `palette` (at most 16 colours) is the DVD
    // palette of the whole track; every DVD subtitle takes up to three of
    // its colours, each with an opacity of its own. `language` (ISO 639,
    // "und" when not told) goes into the index and the container's track.
    // Returns an error text, empty on success.
    virtual std::string open(const std::string& path, int width, int height, float fps,
                             const std::vector<Rgb>& palette, const std::string& language) = 0;
    // One subtitle: the full-frame transparent render, shown from onFrame
    // until offFrame. Subtitles come in time order.
    virtual std::string add(const Image& picture, long long onFrame, long long offFrame) = 0;
    // add() for a subtitle made by prepareStreamSubtitle for this kind.
    virtual std::string addPrepared(const StreamSubtitle& subtitle, long long onFrame, long long offFrame) = 0;
    // Completes the files; on failure nothing is left behind.
    virtual std::string finish() = 0;
};

std::unique_ptr<SubtitleStreamWriter> createSubtitleStreamWriter(SubtitleStreamKind kind);
