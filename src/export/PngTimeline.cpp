#include "export/PngTimeline.h"

#include <cmath>
#include <filesystem>

#include "base/Cp1252.h"
#include "export/ExportNames.h"

namespace {

bool plainAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// Names and paths are bytes of the file system; the XML is UTF-8.
std::string utf8(const std::string& s) {
    return plainAscii(s) || cp1252::looksLikeUtf8(s) ? s : cp1252::toUtf8(s);
}

std::string escaped(const std::string& s) {
    std::string out;
    for (char c : utf8(s)) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default:
                // control characters are not allowed in XML 1.0
                if (static_cast<unsigned char>(c) < 0x20 && c != '\t') out += ' ';
                else out += c;
        }
    }
    return out;
}

std::string fileUrl(const std::string& path) {
    std::error_code ec;
    std::string abs = std::filesystem::absolute(std::filesystem::path(path), ec).generic_string();
    if (ec) abs = path;
    abs = utf8(abs);
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

std::string rateXml(const MovieRate& rate, const std::string& indent) {
    const bool ntsc = rate.den == 1001;
    const long timebase = ntsc ? rate.num / 1000 : std::lround(rate.value());
    return indent + "<rate>\n" + indent + "  <timebase>" + std::to_string(timebase) + "</timebase>\n" + indent +
           "  <ntsc>" + (ntsc ? "TRUE" : "FALSE") + "</ntsc>\n" + indent + "</rate>\n";
}

std::string tag(const std::string& indent, const std::string& name, const std::string& value) {
    return indent + "<" + name + ">" + value + "</" + name + ">\n";
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

std::string buildFcpXml(const PngTimelineJob& job) {
    const MovieRate rate = movieFrameRate(job.fps);
    const std::string size = tag("            ", "width", num(job.width)) + tag("            ", "height", num(job.height));
    std::string x;
    x += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE xmeml>\n<xmeml version=\"4\">\n";
    x += "  <sequence id=\"sequence-1\">\n";
    x += tag("    ", "name", escaped(job.name));
    x += tag("    ", "duration", num(job.spans.end));
    x += rateXml(rate, "    ");
    x += "    <timecode>\n" + rateXml(rate, "      ") + tag("      ", "string", "00:00:00:00") +
         tag("      ", "frame", "0") + tag("      ", "displayformat", "NDF") + "    </timecode>\n";
    x += "    <media>\n      <video>\n        <format>\n          <samplecharacteristics>\n";
    x += rateXml(rate, "            ") + size;
    x += tag("            ", "anamorphic", "FALSE") + tag("            ", "pixelaspectratio", "square") +
         tag("            ", "fielddominance", "none");
    x += "          </samplecharacteristics>\n        </format>\n        <track>\n";
    for (const SetSpan& s : job.spans.spans) {
        if (!pictureOf(job, s.set)) continue;
        const std::string picture = files::filePart(exportnames::pngPicturePath("", job.name, s.set + 1));
        const std::string n = num(s.set + 1);
        x += "          <clipitem id=\"clipitem-" + n + "\">\n";
        x += tag("            ", "name", escaped(picture));
        x += tag("            ", "enabled", "TRUE");
        x += tag("            ", "duration", num(s.frames()));
        x += rateXml(rate, "            ");
        x += tag("            ", "start", num(s.start)) + tag("            ", "end", num(s.end));
        x += tag("            ", "in", "0") + tag("            ", "out", num(s.frames()));
        x += "            <file id=\"file-" + n + "\">\n";
        x += tag("              ", "name", escaped(picture));
        x += tag("              ", "pathurl", escaped(fileUrl(exportnames::pngPicturePath(job.folder, job.name, s.set + 1))));
        x += rateXml(rate, "              ");
        x += tag("              ", "duration", num(s.frames()));
        x += "              <media>\n                <video>\n                  <samplecharacteristics>\n";
        x += tag("                    ", "width", num(job.width)) + tag("                    ", "height", num(job.height));
        x += "                  </samplecharacteristics>\n                </video>\n              </media>\n";
        x += "            </file>\n";
        x += tag("            ", "alphatype", "straight");
        x += "          </clipitem>\n";
    }
    x += "        </track>\n      </video>\n    </media>\n  </sequence>\n</xmeml>\n";
    return x;
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
        csv += field(utf8(picture)) + "," + field(on) + "," + field(off) + "," + (s ? num(s->start) : "") + "," +
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
