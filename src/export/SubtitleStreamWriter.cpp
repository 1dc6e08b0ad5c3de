#include "export/SubtitleStreamWriter.h"

bool prepareStreamSubtitle(const Image& picture, SubtitleStreamKind kind, StreamSubtitle& out, std::string& error,
                           RowRange rows) {
    out = StreamSubtitle{};
    out.box = visibleBox(picture, rows.y0, rows.y1);
    if (out.box.empty()) return true;
    // DVD: transparent and three colours; DVB: a 4-bit palette.
    return toPalettePicture(cropPicture(picture, out.box), kind == SubtitleStreamKind::Dvb ? 15 : 3, out.picture,
                            error);
}
