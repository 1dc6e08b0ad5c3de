#include "export/ExportNames.h"

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

std::string name16(const std::string& name) {
    return text::utf8Prefix(name, 16);
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
