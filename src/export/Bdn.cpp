#include "export/Bdn.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "export/XmlText.h"

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

void cutAtNextEvent(std::vector<BdnEvent>& events, std::vector<BdnEvent>* dropped) {
    std::vector<BdnEvent> kept;
    kept.reserve(events.size());
    for (BdnEvent& e : events) {
        while (!kept.empty() && kept.back().outFrame > e.inFrame) {
            if (kept.back().inFrame < e.inFrame) {
                kept.back().outFrame = e.inFrame;
                break;
            }
            if (dropped) dropped->push_back(kept.back());
            kept.pop_back();
        }
        kept.push_back(std::move(e));
    }
    events = std::move(kept);
}

std::string bdnXml(const std::string& title, const std::string& languageCode, const BdnFormat& format, float fps,
                   const std::vector<BdnEvent>& events) {
    pugi::xml_document doc;
    pugi::xml_node bdn = doc.append_child("BDN");
    bdn.append_attribute("Version") = "0.93";
    bdn.append_attribute("xmlns:xsi") = "http://www.w3.org/2001/XMLSchema-instance";
    bdn.append_attribute("xsi:noNamespaceSchemaLocation") = "BD-03-006-0093b BDN File Format.xsd";
    pugi::xml_node description = bdn.append_child("Description");
    pugi::xml_node name = description.append_child("Name");
    name.append_attribute("Title") = xmltext::clean(title).c_str();
    name.append_attribute("Content") = "";
    description.append_child("Language").append_attribute("Code") = xmltext::clean(languageCode).c_str();
    pugi::xml_node f = description.append_child("Format");
    f.append_attribute("VideoFormat") = format.videoFormat.c_str();
    f.append_attribute("FrameRate") = format.frameRate.c_str();
    f.append_attribute("DropFrame") = "False";
    long long firstIn = events.empty() ? 0 : events.front().inFrame, lastOut = 0;
    for (const BdnEvent& e : events) {
        firstIn = std::min(firstIn, e.inFrame);
        lastOut = std::max(lastOut, e.outFrame);
    }
    pugi::xml_node summary = description.append_child("Events");
    summary.append_attribute("Type") = "Graphic";
    summary.append_attribute("FirstEventInTC") = bdnTimeCode(firstIn, fps).c_str();
    summary.append_attribute("LastEventOutTC") = bdnTimeCode(lastOut, fps).c_str();
    summary.append_attribute("NumberofEvents") = std::to_string(events.size()).c_str();
    pugi::xml_node list = bdn.append_child("Events");
    for (const BdnEvent& e : events) {
        pugi::xml_node event = list.append_child("Event");
        event.append_attribute("InTC") = bdnTimeCode(e.inFrame, fps).c_str();
        event.append_attribute("OutTC") = bdnTimeCode(e.outFrame, fps).c_str();
        event.append_attribute("Forced") = e.forced ? "True" : "False";
        pugi::xml_node graphic = event.append_child("Graphic");
        graphic.append_attribute("Width") = e.box.w;
        graphic.append_attribute("Height") = e.box.h;
        graphic.append_attribute("X") = e.box.x;
        graphic.append_attribute("Y") = e.box.y;
        graphic.text().set(xmltext::clean(e.file).c_str());
    }
    return xmltext::write(doc);
}
