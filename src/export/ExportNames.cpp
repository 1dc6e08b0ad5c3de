#include "export/ExportNames.h"

#include <map>

#include "io/Files.h"
#include "base/Text.h"

namespace exportnames {

const char* folderName(OutputKind kind) {
    switch (kind) {
        case OutputKind::PngSequence: return "PNG_Output";
        case OutputKind::IffScala: return "IFF-SCALA_Output";
        case OutputKind::Avi: return "AVI_Output";
        case OutputKind::AviWork: return "Temp_Output";
        case OutputKind::Capture: return "Capture_Output";
        case OutputKind::Bdn: return "BDN_Output";
        case OutputKind::Sup: return "SUP_Output";
        case OutputKind::VobSub: return "VobSub_Output";
        case OutputKind::Dvb: return "DVB_Output";
        case OutputKind::SubRip: return "SRT_Output";
        case OutputKind::WebVtt: return "VTT_Output";
        case OutputKind::Stl: return "STL_Output";
        case OutputKind::Scc: return "SCC_Output";
        case OutputKind::Ass: return "ASS_Output";
    }
    return "Output";
}

std::string outputFolder(const std::string& projectDir, OutputKind kind) {
    return files::withTrailingSeparator(projectDir) + folderName(kind) + files::separator();
}

std::string shortenProjectName(const std::string& projectName, const std::string& projectExt) {
    std::string file = files::filePart(projectName);
    if (projectExt.empty()) return file;
    return text::removeAll(file, projectExt);
}

std::string captureBaseName(const std::string& projectName) {
    return text::removeAllIgnoreCase(files::filePart(projectName), ".kvl8");
}

namespace {
std::string cleanName(std::string s) {
    for (char& c : s)
        if (c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
    return s;
}

// ".kalvero-names": one "NAME16<TAB>full name" line per project.
constexpr const char* kRegistry = ".kalvero-names";

// A name of the record is used only as what name16 makes: a plain file name
// of at most 16 bytes, without separators, control characters or quotes, and
// neither "." nor "..". Other lines (damaged or planted) are passed over.
bool plainName16(const std::string& n16) {
    if (n16.empty() || n16.size() > 16 || n16 == "." || n16 == "..") return false;
    for (char c : n16)
        if (c == '/' || c == '\\' || c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    return true;
}

std::string registryKey(const std::string& name) {
    std::string k = name;
    for (char& c : k)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return k;
}
}  // namespace

std::string name16(const std::string& name) {
    return text::utf8Prefix(cleanName(name), 16);
}

Name16Claim claimName16(const std::string& folder, const std::string& name) {
    const std::string key = registryKey(name);
    const std::string path = folder + kRegistry;
    Name16Claim claim;
    claim.name = name16(name);
    files::Result used = files::updateLockedFile(path, [&](const std::string& old) {
        std::map<std::string, std::string> owner;  // name16 -> full name
        for (const std::string& line : text::splitLines(old)) {
            size_t tab = line.find('\t');
            if (tab == std::string::npos) continue;
            const std::string n16 = line.substr(0, tab), full = line.substr(tab + 1);
            if (!plainName16(n16)) continue;
            if (full == key) {
                claim.name = n16;
                return old;  // known: nothing to add
            }
            owner.emplace(n16, full);
        }
        auto taken = [&](const std::string& n16) { return owner.count(n16) != 0; };
        for (int n = 2; taken(claim.name); ++n) {
            const std::string suffix = "_" + std::to_string(n);
            claim.name = text::utf8Prefix(cleanName(name), 16 - suffix.size()) + suffix;
        }
        claim.recorded = true;
        claim.endedLastLine = !old.empty() && old.back() != '\n' && old.back() != '\r';
        return old + (claim.endedLastLine ? "\n" : "") + claim.name + "\t" + key + "\n";
    });
    if (!used) {
        claim.recorded = false;
        claim.error = "The list of names " + path + " cannot be used: it " + used.error + ".";
    }
    return claim;
}

void releaseName16(const std::string& folder, const std::string& name, const Name16Claim& claim) {
    if (!claim.recorded) return;
    const std::string entry = claim.name + "\t" + registryKey(name);
    files::updateLockedFile(
        folder + kRegistry,
        [&](const std::string& old) {
            // Only this run's line goes, byte for byte; lines added since by
            // other runs stay.
            const std::string line = entry + "\n";
            for (size_t at = old.find(line); at != std::string::npos; at = old.find(line, at + 1))
                if (at == 0 || old[at - 1] == '\n' || old[at - 1] == '\r') {
                    // The line break this run added goes too while nothing follows.
                    const bool last = at + line.size() == old.size();
                    const size_t from = at - (last && claim.endedLastLine && at > 0 ? 1 : 0);
                    return old.substr(0, from) + old.substr(at + line.size());
                }
            return old;
        },
        true);
}

std::string uniqueName16(const std::string& folder, const std::string& name) {
    return claimName16(folder, name).name;
}

std::string pictureNumber(long long n) {
    return text::padded(n, 4);
}

std::string pngPicturePath(const std::string& folder, const std::string& name, long long n) {
    return folder + name + pictureNumber(n) + ".png";
}

std::string aviMoviePath(const std::string& folder, const std::string& name) {
    return folder + name + "_subtitles.avi";
}

std::string iffPicturePath(const std::string& folder, const std::string& name, long long n) {
    return folder + name16(name) + pictureNumber(n) + ".iff";
}

std::string posterPath(const std::string& folder, const std::string& name) {
    return folder + name16(name) + "_poster.iff";
}

std::string scriptPath(const std::string& folder, const std::string& name) {
    return folder + name16(name) + ".script";
}

std::string capturePath(const std::string& folder, const std::string& captureBase, long long row) {
    return folder + captureBase + "_" + pictureNumber(row) + ".png";
}

std::string exportedMessage(long long n) {
    return std::to_string(n) + " frames were exported!";
}

}  // namespace exportnames
