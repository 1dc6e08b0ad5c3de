#pragma once
// An AviWriter that passes everything on and counts what the timed movie
// costs: how many pictures were encoded (writeFrame) and how long that
// took, against how many frames only repeated an encoded picture. A timed
// movie encodes each picture once for its whole run, a frame-by-frame
// encoder every frame, so the benchmarks put encodes and the time per
// encoded picture side by side instead of reading the whole run as speed.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "export/AviWriter.h"

class CountingAviWriter : public AviWriter {
public:
    explicit CountingAviWriter(std::unique_ptr<AviWriter> inner) : inner_(std::move(inner)) {}

    std::string open(const std::string& path, int width, int height, int rate, const CodecChoice& codec) override {
        return inner_->open(path, width, height, rate, codec);
    }
    std::string writeFrame(const Image& picture, PictureId& id) override {
        const auto t0 = std::chrono::steady_clock::now();
        std::string r = inner_->writeFrame(picture, id);
        encodeSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++encodes;
        return r;
    }
    std::string repeatPicture(PictureId id) override {
        ++repeats;
        return inner_->repeatPicture(id);
    }
    void releasePicture(PictureId id) override { inner_->releasePicture(id); }
    std::string finish() override { return inner_->finish(); }
    void abort() override { inner_->abort(); }
    int64_t framesWritten() const override { return inner_->framesWritten(); }
    uint64_t bytesWritten() const override { return inner_->bytesWritten(); }

    int64_t encodes = 0, repeats = 0;
    double encodeSeconds = 0.0;  // inside writeFrame: colour conversion, encoding, writing the packet

private:
    std::unique_ptr<AviWriter> inner_;
};
