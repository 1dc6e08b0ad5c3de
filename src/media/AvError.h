#pragma once
#include <string>

extern "C" {
#include <libavutil/error.h>
}

// FFmpeg's text for one of its error codes.
inline std::string avError(int code) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buffer, sizeof buffer);
    return buffer;
}
