#include "export/BurnIn.h"

#include <cstring>

namespace {
const char* const kPresets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast", "medium",
                                "slow",      "slower",    "veryslow", nullptr};
}

const char* const* burnPresets() {
    return kPresets;
}

bool validBurnPreset(const std::string& name) {
    for (const char* const* p = kPresets; *p; ++p)
        if (name == *p) return true;
    return false;
}
