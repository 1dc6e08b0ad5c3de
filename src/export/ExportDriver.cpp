#include "export/ExportDriver.h"

#include "export/ExportNames.h"
#include "platform/Files.h"

using exportnames::OutputKind;

const char* const kIffSizeErrorText =
    "Sorry, width or height is not dividable by 8, please choose a proper resolution!";
const char* const kCaptureTitle = "Capture Screen";

int pngSetCount(int rows) {
    return rows <= 0 ? 0 : (rows + 1) / 2;
}

int iffSetCount(int rows) {
    return rows <= 0 ? 0 : rows / 2;
}

bool iffSizeAllowed(int width, int height) {
    return width > 0 && height > 0 && width % 8 == 0 && height % 8 == 0 && width <= 0xffff && height <= 0xffff;
}

int captureRow(int selectedRow) {
    return selectedRow < 0 ? 0 : selectedRow - selectedRow % 2;
}

std::string captureMessage(const std::string& path) {
    return "Capture screenshot saved As:\n" + path;
}

namespace {

ExportResult failure(ExportResult r, std::string why) {
    r.ok = false;
    r.error = std::move(why);
    return r;
}

bool makeFolder(const std::string& folder, ExportResult& r) {
    r.folder = folder;
    files::Result made = files::makeDirectories(folder);
    if (!made) {
        r.error = "The folder " + folder + " could not be created: " + made.error;
        return false;
    }
    if (!files::isDirectory(folder)) {
        r.error = "The folder " + folder + " could not be created.";
        return false;
    }
    return true;
}

bool validSize(int width, int height, ExportResult& r) {
    if (!Image::validSize(width, height)) {
        r.error = "The picture size " + std::to_string(width) + " x " + std::to_string(height) + " is not valid.";
        return false;
    }
    return true;
}

bool renderSet(const RenderSetFn& render, int setIndex, int width, int height, Image& canvas, ExportResult& r) {
    canvas = Image(width, height);
    if (canvas.empty()) {
        r.error = "Out of memory for a picture of " + std::to_string(width) + " x " + std::to_string(height) + ".";
        return false;
    }
    if (!render || !render(setIndex, canvas)) {
        r.error = "Subtitle set " + std::to_string(setIndex + 1) + " could not be rendered.";
        return false;
    }
    if (canvas.width() != width || canvas.height() != height) {
        r.error = "Subtitle set " + std::to_string(setIndex + 1) + " was rendered at the wrong size.";
        return false;
    }
    return true;
}

bool writePng(const PngEncoderFn& encode, const Image& image, const std::string& path, ExportResult& r) {
    std::string why;
    if (!encode || !encode(image, path, why)) {
        r.error = "The file " + path + " could not be written" + (why.empty() ? "." : ": " + why);
        return false;
    }
    r.written.push_back(path);
    return true;
}

bool writeIff(const Image& picture, const std::string& path, const IlbmOptions& options, ExportResult& r) {
    IlbmPicture reduced;
    std::string why;
    if (!prepareIlbmPicture(picture, reduced, why, options)) {
        r.error = "The file " + path + " could not be written: " + why;
        return false;
    }
    files::Result written = writeIlbm(reduced, path);
    if (!written) {
        r.error = "The file " + path + " could not be written: " + written.error;
        return false;
    }
    r.written.push_back(path);
    return true;
}

}  // namespace

ExportResult exportPngSequence(const PngSequenceJob& job) {
    ExportResult r;
    if (!validSize(job.width, job.height, r)) return r;
    const std::string folder = exportnames::outputFolder(job.projectDir, OutputKind::PngSequence);
    if (!makeFolder(folder, r)) return r;
    for (int k = 0; k < job.setCount; ++k) {
        Image canvas;
        if (!renderSet(job.render, k, job.width, job.height, canvas, r)) return r;
        if (!writePng(job.encode, canvas, exportnames::pngPicturePath(folder, job.name, k + 1), r)) return r;
        r.pictures = k + 1;
        if (job.progress) job.progress(k + 1, job.setCount);
    }
    r.ok = true;
    return r;
}

ExportResult exportIffScala(const IffScalaJob& job) {
    ExportResult r;
    if (!iffSizeAllowed(job.width, job.height)) return failure(r, kIffSizeErrorText);
    if (!validSize(job.width, job.height, r)) return r;
    if (job.poster.width() != job.width || job.poster.height() != job.height)
        return failure(r, "The instruction picture does not have the size of the project.");

    ScalaScript script = buildScalaScript(job.sets, job.fps, job.width, job.height, job.name, job.scalaTarget);
    if (!script.ok) return failure(r, script.error);
    if (script.showInfo && job.notice) job.notice(kScalaInfoTitle, kScalaInfoText);

    const std::string folder = exportnames::outputFolder(job.projectDir, OutputKind::IffScala);
    if (!makeFolder(folder, r)) return r;

    const int n = int(job.sets.size());
    if (!writeIff(job.poster, exportnames::posterPath(folder, job.name), job.ilbm, r)) return r;
    if (job.progress && n > 0) job.progress(1, n);

    for (int k = 0; k < n; ++k) {
        Image canvas;
        if (!renderSet(job.render, k, job.width, job.height, canvas, r)) return r;
        if (!writeIff(canvas, exportnames::iffPicturePath(folder, job.name, k + 1), job.ilbm, r)) return r;
        r.pictures = k + 1;
        if (job.progress) job.progress(k + 1, n);
    }

    const std::string scriptFile = exportnames::scriptPath(folder, job.name);
    files::Result written = files::writeFileAtomic(scriptFile, script.text);
    if (!written) return failure(r, "The file " + scriptFile + " could not be written: " + written.error);
    r.written.push_back(scriptFile);
    r.ok = true;
    return r;
}

ExportResult captureSet(const CaptureJob& job) {
    ExportResult r;
    if (!validSize(job.width, job.height, r)) return r;
    const std::string folder = exportnames::outputFolder(job.projectDir, OutputKind::Capture);
    if (!makeFolder(folder, r)) return r;
    const int row = captureRow(job.row);
    Image canvas;
    if (!renderSet(job.render, row / 2, job.width, job.height, canvas, r)) return r;
    const std::string path =
        exportnames::capturePath(folder, exportnames::captureBaseName(job.projectName), row);
    if (!writePng(job.encode, canvas, path, r)) return r;
    r.pictures = 1;
    r.ok = true;
    return r;
}
