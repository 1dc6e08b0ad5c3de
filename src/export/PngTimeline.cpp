#include "export/PngTimeline.h"

#include <cmath>
#include <filesystem>

#include "base/Utf8.h"
#include "export/ExportNames.h"
#include "export/XmlText.h"

namespace {

bool plainAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// Names and paths are bytes of the file system; the XML is UTF-8.
std::string asUtf8(const std::string& s) {
    return plainAscii(s) ? s : utf8::fromLegacy(s);
}

std::string fileUrl(const std::string& path) {
    std::error_code ec;
    std::string abs = std::filesystem::absolute(std::filesystem::path(path), ec).generic_string();
    if (ec) abs = path;
    // The bytes of the path as the file system holds them, each byte that
    // is not a plain URL character percent-encoded: a name that is not
    // UTF-8 still leads to its own file.
    std::string url = "file://localhost";
    if (abs.empty() || abs[0] != '/') url += '/';
    static const char* hex = "0123456789ABCDEF";
    for (unsigned char c : abs) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.' || c == '~' || c == '/' || c == ':') {
            url += char(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

void addRate(pugi::xml_node parent, const MovieRate& rate) {
    const bool ntsc = rate.den == 1001;
    const long timebase = ntsc ? rate.num / 1000 : std::lround(rate.value());
    pugi::xml_node r = parent.append_child("rate");
    xmltext::textChild(r, "timebase", std::to_string(timebase));
    xmltext::textChild(r, "ntsc", ntsc ? "TRUE" : "FALSE");
}

void addSize(pugi::xml_node parent, int width, int height) {
    pugi::xml_node chars = parent.append_child("samplecharacteristics");
    xmltext::textChild(chars, "width", std::to_string(width));
    xmltext::textChild(chars, "height", std::to_string(height));
}

std::string num(int64_t v) { return std::to_string(v); }

bool pictureOf(const PngTimelineJob& job, int set) {
    if (set < 0 || set >= job.setCount) return false;
    return job.hasPicture.empty() || job.hasPicture[size_t(set)];
}

}  // namespace

std::string fcpXmlPath(const std::string& folder, const std::string& name) {
    return folder + name + ".xml";
}

std::string timingCsvPath(const std::string& folder, const std::string& name) {
    return folder + name + "_timing.csv";
}

// What an editor's own export of a sequence of still pictures on one video
// track holds: the sequence's rate, time code and format, each clip item at
// its frames with its file (a file URL) marked as a still frame, and the
// track's enabled and locked state after its items.
std::string buildFcpXml(const PngTimelineJob& job) {
    const MovieRate rate = movieFrameRate(job.fps);
    pugi::xml_document doc;
    doc.append_child(pugi::node_doctype).set_value("xmeml");
    pugi::xml_node xmeml = doc.append_child("xmeml");
    xmeml.append_attribute("version") = "4";
    pugi::xml_node sequence = xmeml.append_child("sequence");
    sequence.append_attribute("id") = "sequence-1";
    xmltext::textChild(sequence, "name", xmltext::clean(job.name));
    xmltext::textChild(sequence, "duration", num(job.spans.end));
    addRate(sequence, rate);
    pugi::xml_node timecode = sequence.append_child("timecode");
    addRate(timecode, rate);
    // The sequence starts at the programme start, told as the non-drop
    // time code it is shown as and the frames that time code counts.
    const long timebase = rate.den == 1001 ? rate.num / 1000 : std::lround(rate.value());
    const TimeCode& t = job.start;
    xmltext::textChild(timecode, "string", formatTimeCode(t));
    xmltext::textChild(timecode, "frame", num((int64_t(t.hh) * 3600 + t.mm * 60 + t.ss) * timebase + t.ff));
    xmltext::textChild(timecode, "displayformat", "NDF");
    pugi::xml_node video = sequence.append_child("media").append_child("video");
    pugi::xml_node chars = video.append_child("format").append_child("samplecharacteristics");
    addRate(chars, rate);
    xmltext::textChild(chars, "width", num(job.width));
    xmltext::textChild(chars, "height", num(job.height));
    xmltext::textChild(chars, "anamorphic", "FALSE");
    xmltext::textChild(chars, "pixelaspectratio", "square");
    xmltext::textChild(chars, "fielddominance", "none");
    pugi::xml_node track = video.append_child("track");
    for (const SetSpan& s : job.spans.spans) {
        if (!pictureOf(job, s.set)) continue;
        const std::string picture = xmltext::clean(files::filePart(exportnames::pngPicturePath("", job.name, s.set + 1)));
        const std::string n = num(s.set + 1);
        pugi::xml_node clip = track.append_child("clipitem");
        clip.append_attribute("id") = ("clipitem-" + n).c_str();
        xmltext::textChild(clip, "name", picture);
        xmltext::textChild(clip, "enabled", "TRUE");
        xmltext::textChild(clip, "duration", num(s.frames()));
        addRate(clip, rate);
        xmltext::textChild(clip, "start", num(s.start));
        xmltext::textChild(clip, "end", num(s.end));
        xmltext::textChild(clip, "in", "0");
        xmltext::textChild(clip, "out", num(s.frames()));
        pugi::xml_node file = clip.append_child("file");
        file.append_attribute("id") = ("file-" + n).c_str();
        xmltext::textChild(file, "name", picture);
        xmltext::textChild(file, "pathurl", fileUrl(exportnames::pngPicturePath(job.folder, job.name, s.set + 1)));
        addRate(file, rate);
        xmltext::textChild(file, "duration", num(s.frames()));
        pugi::xml_node fileVideo = file.append_child("media").append_child("video");
        xmltext::textChild(fileVideo, "duration", num(s.frames()));
        xmltext::textChild(fileVideo, "stillframe", "TRUE");
        addSize(fileVideo, job.width, job.height);
        pugi::xml_node source = clip.append_child("sourcetrack");
        xmltext::textChild(source, "mediatype", "video");
        xmltext::textChild(clip, "stillframe", "TRUE");
        xmltext::textChild(clip, "alphatype", "straight");
    }
    xmltext::textChild(track, "enabled", "TRUE");
    xmltext::textChild(track, "locked", "FALSE");
    return xmltext::write(doc);
}

std::string buildTimingCsv(const PngTimelineJob& job) {
    std::vector<const SetSpan*> bySet(size_t(std::max(job.setCount, 0)), nullptr);
    for (const SetSpan& s : job.spans.spans)
        if (s.set >= 0 && s.set < job.setCount) bySet[size_t(s.set)] = &s;
    auto field = [](const std::string& s) {
        if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
        std::string q = "\"";
        for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
        return q + "\"";
    };
    std::string csv = "picture,on,off,start,end,frames\r\n";
    for (int k = 0; k < job.setCount; ++k) {
        if (!pictureOf(job, k)) continue;
        const std::string picture = files::filePart(exportnames::pngPicturePath("", job.name, k + 1));
        const std::string on = size_t(k) < job.onText.size() ? job.onText[size_t(k)] : "";
        const std::string off = size_t(k) < job.offText.size() ? job.offText[size_t(k)] : "";
        const SetSpan* s = bySet[size_t(k)];
        csv += field(asUtf8(picture)) + "," + field(on) + "," + field(off) + "," + (s ? num(s->start) : "") + "," +
               (s ? num(s->end) : "") + "," + (s ? num(s->frames()) : "0") + "\r\n";
    }
    return csv;
}

files::Result writePngTimeline(const PngTimelineJob& job, std::vector<std::string>& written) {
    const std::string xml = fcpXmlPath(job.folder, job.name), csv = timingCsvPath(job.folder, job.name);
    for (const auto& [path, content] : {std::pair{xml, buildFcpXml(job)}, std::pair{csv, buildTimingCsv(job)}}) {
        files::Result r = files::writeFileAtomic(path, content);
        if (!r) return files::Result::failure("The file " + path + " could not be written: " + r.error);
        written.push_back(path);
    }
    return {};
}
