#pragma once
#include <cstddef>
#include <memory>
#include <string>

#include "base/Image.h"

// Decoded font sheet pictures, so that a profile or preset change and Open
// do not decode the same PNG files again. A file is decoded again when its
// modification time, size or identity changed. The most recently used
// sheets are kept (16: four sizes of four border styles). Safe to call from
// several threads.
namespace fontsheetcache {

// The decoded picture of the sheet at `path`, or nullptr with `error` set.
// Failures are not kept: the next call tries the file again.
std::shared_ptr<const Image> decodeSheet(const std::string& path, std::string& error);

// Sheets decoded from files since the start (or the last clear): tells a
// decode apart from a cached answer.
size_t decodeCount();
void clear();

}  // namespace fontsheetcache
