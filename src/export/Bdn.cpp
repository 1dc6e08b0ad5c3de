#include "export/Bdn.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/Cp1252.h"
#include "base/Text.h"

BdnFormat bdnFormat(int width, int height, float fps) {
    BdnFormat f;
    struct Rate {
        double value;
        const char* name;
    };
    static const Rate kRates[] = {{23.976, "23.976"}, {24, "24"}, {25, "25"}, {29.97, "29.97"}, {50, "50"}, {59.94, "59.94"}};
    for (const Rate& r : kRates)
        if (std::fabs(double(fps) - r.value) < 0.005) f.frameRate = r.name;
    const bool interlacedRate = f.frameRate == "25" || f.frameRate == "29.97";
    if (width == 720 && height == 480) f.videoFormat = "480i";
    else if (width == 720 && height == 576) f.videoFormat = "576i";
    else if (width == 1280 && height == 720) f.videoFormat = "720p";
    else if (width == 1920 && height == 1080) f.videoFormat = interlacedRate ? "1080i" : "1080p";
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.3f", double(fps));
    if (f.videoFormat.empty()) {
        f.error = "A BDN description knows no video format of " + std::to_string(width) + " x " +
                  std::to_string(height) + " pixels. Please choose a profile of 720 x 480, 720 x 576, 1280 x 720 or "
                  "1920 x 1080 pixels.";
    } else if (f.frameRate.empty()) {
        f.error = std::string("A BDN description knows no frame rate of ") + rate +
                  " frames per second. Please choose a profile of 23.976, 24, 25, 29.97, 50 or 59.94 frames per "
                  "second.";
    } else {
        f.ok = true;
    }
    return f;
}

std::string bdnTimeCode(long long frame, float fps) {
    long long rate = roundedFps(fps);
    if (rate <= 0) rate = 25;
    if (frame < 0) frame = 0;
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld:%02lld", frame / (rate * 3600), (frame / (rate * 60)) % 60,
                  (frame / rate) % 60, frame % rate);
    return text;
}

namespace {

// Names come from the file system: UTF-8 stays, single-byte text is converted.
std::string attribute(const std::string& name) {
    std::string s = cp1252::looksLikeUtf8(name) ? name : cp1252::toUtf8(name);
    s = text::replaceAll(s, "&", "&amp;");
    s = text::replaceAll(s, "<", "&lt;");
    s = text::replaceAll(s, ">", "&gt;");
    s = text::replaceAll(s, "\"", "&quot;");
    return s;
}

}  // namespace

std::string bdnXml(const std::string& title, const std::string& languageCode, const BdnFormat& format, float fps,
                   const std::vector<BdnEvent>& events) {
    std::string x;
    x += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    x += "<BDN Version=\"0.93\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
         "xsi:noNamespaceSchemaLocation=\"BD-03-006-0093b BDN File Format.xsd\">\n";
    x += "  <Description>\n";
    x += "    <Name Title=\"" + attribute(title) + "\" Content=\"\"/>\n";
    x += "    <Language Code=\"" + attribute(languageCode) + "\"/>\n";
    x += "    <Format VideoFormat=\"" + format.videoFormat + "\" FrameRate=\"" + format.frameRate +
         "\" DropFrame=\"False\"/>\n";
    long long firstIn = events.empty() ? 0 : events.front().inFrame, lastOut = 0;
    for (const BdnEvent& e : events) {
        firstIn = std::min(firstIn, e.inFrame);
        lastOut = std::max(lastOut, e.outFrame);
    }
    const std::string first = bdnTimeCode(firstIn, fps), last = bdnTimeCode(lastOut, fps);
    x += "    <Events Type=\"Graphic\" FirstEventInTC=\"" + first + "\" LastEventOutTC=\"" + last +
         "\" NumberofEvents=\"" + std::to_string(events.size()) + "\"/>\n";
    x += "  </Description>\n";
    x += "  <Events>\n";
    for (const BdnEvent& e : events) {
        x += "    <Event InTC=\"" + bdnTimeCode(e.inFrame, fps) + "\" OutTC=\"" + bdnTimeCode(e.outFrame, fps) +
             "\" Forced=\"False\">\n";
        x += "      <Graphic Width=\"" + std::to_string(e.box.w) + "\" Height=\"" + std::to_string(e.box.h) +
             "\" X=\"" + std::to_string(e.box.x) + "\" Y=\"" + std::to_string(e.box.y) + "\">" +
             attribute(e.file) + "</Graphic>\n";
        x += "    </Event>\n";
    }
    x += "  </Events>\n";
    x += "</BDN>\n";
    return x;
}
