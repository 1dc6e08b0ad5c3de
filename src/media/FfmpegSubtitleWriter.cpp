#include "export/SubtitleStreamWriter.h"

namespace {
class Unavailable : public SubtitleStreamWriter {
public:
    std::string open(const std::string&, int, int, float) override { return "not available in this build"; }
    std::string add(const Image&, long long, long long) override { return "not available in this build"; }
    std::string finish() override { return "not available in this build"; }
};
}  // namespace

std::unique_ptr<SubtitleStreamWriter> createSubtitleStreamWriter(SubtitleStreamKind) {
    return std::make_unique<Unavailable>();
}
