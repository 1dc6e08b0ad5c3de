#include "media/PictureStream.h"

extern "C" {
#include <libswscale/swscale.h>
}

void freeMovieContexts(SwsContext*& converter, AVCodecContext*& encoder, AVFormatContext*& format, AVStream*& stream) {
    if (converter) {
        sws_freeContext(converter);
        converter = nullptr;
    }
    avcodec_free_context(&encoder);
    if (format) {
        avformat_free_context(format);
        format = nullptr;
        stream = nullptr;
    }
}

bool PictureStream::start(Setup setup) {
    close();
    setup_ = std::move(setup);
    frames_ = encoded_ = 0;
    scratch_ = av_packet_alloc();
    return scratch_ != nullptr;
}

void PictureStream::close() {
    kept_.clear();
    av_packet_free(&scratch_);
}

std::string PictureStream::writePacket(const AVPacket* stored) {
    bool outOfMemory = false;
    const int r = writeKeptPacket(setup_.format, setup_.stream, scratch_, stored, frames_, setup_.frameTb, outOfMemory);
    if (outOfMemory) return setup_.failAv("out of memory", r);
    if (r < 0 || ioError() < 0)
        return setup_.failAv("writing frame " + std::to_string(frames_) + " failed", r < 0 ? r : ioError());
    ++frames_;
    return {};
}

std::string PictureStream::encode(AVFrame* frame) {
    AVCodecContext* encoder = setup_.encoder;
    const std::string codec = setup_.codecWord;
    if (frame) frame->pts = frames_;
    int r = avcodec_send_frame(encoder, frame);
    if (r < 0) return setup_.failAv(codec + " refused frame " + std::to_string(frames_), r);
    if (frame) ++encoded_;
    for (;;) {
        r = avcodec_receive_packet(encoder, scratch_);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) break;
        if (r < 0) return setup_.failAv(codec + " failed at frame " + std::to_string(frames_), r);
        scratch_->stream_index = 0;
        av_packet_rescale_ts(scratch_, encoder->time_base, setup_.stream->time_base);
        if (setup_.interleave) {
            r = av_interleaved_write_frame(setup_.format, scratch_);
        } else {
            r = av_write_frame(setup_.format, scratch_);
            av_packet_unref(scratch_);
        }
        if (r < 0 || ioError() < 0)
            return setup_.failAv("writing frame " + std::to_string(frames_) + " failed", r < 0 ? r : ioError());
    }
    if (frame) ++frames_;
    return {};
}

std::string PictureStream::writeOwnPacket(AVPacket* packet, int& id) {
    id = kept_.keepPacket(packet);
    return writePacket(packet);
}

std::string PictureStream::writePicture(AVFrame* frame, int& id) {
    if (!setup_.keepPackets) {
        // The encoder may still hold the frame it was given: it gets a copy.
        id = kept_.keepFrame(frame);
        AVFrame* copy = av_frame_clone(frame);
        if (!copy) return setup_.fail("out of memory");
        std::string why = encode(copy);
        av_frame_free(&copy);
        return why;
    }
    KeptPictures::Step step{};
    const int r = kept_.encodeAndKeep(setup_.encoder, frame, frames_, id, step);
    if (step != KeptPictures::Step::Send) ++encoded_;
    if (step == KeptPictures::Step::Memory) return setup_.fail("out of memory");
    const std::string codec = setup_.codecWord;
    if (r < 0)
        return setup_.failAv(codec + (step == KeptPictures::Step::Send ? " refused frame " : " returned no picture for frame ") +
                                 std::to_string(frames_),
                             r);
    return writePacket(kept_.packet(id));
}

std::string PictureStream::repeat(int id) {
    return repeatKeptPicture(
        kept_, id, setup_.keepPackets, [this](const AVPacket* p) { return writePacket(p); },
        [this](AVFrame* f) { return encode(f); }, setup_.fail);
}

std::string PictureStream::finish() {
    return finishKeptStream(setup_.format, setup_.encoder && !setup_.keepPackets,
                            [this](AVFrame* f) { return encode(f); }, setup_.failAv);
}
