#pragma once
#include <optional>
#include <vector>

#include "export/AviWriter.h"

class wxWindow;

// "Video Compression": the codec of a timed movie, with the key-frame
// setting and, where the codec has them, the quality or a data rate.
// `last` is preselected. Nothing when the user cancels.
std::optional<CodecChoice> chooseAviCompression(wxWindow* parent, const std::vector<AviCodecInfo>& codecs,
                                                const CodecChoice& last);
