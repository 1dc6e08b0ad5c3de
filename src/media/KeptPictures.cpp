#include "media/KeptPictures.h"

#include <cerrno>

int KeptPictures::keepPacket(AVPacket* packet) {
    packets_.push_back(packet);
    return int(packets_.size() - 1);
}

int KeptPictures::keepFrame(AVFrame* frame) {
    frames_.push_back(frame);
    return int(frames_.size() - 1);
}

const AVPacket* KeptPictures::packet(int id) const {
    return id >= 0 && size_t(id) < packets_.size() ? packets_[size_t(id)] : nullptr;
}

const AVFrame* KeptPictures::frame(int id) const {
    return id >= 0 && size_t(id) < frames_.size() ? frames_[size_t(id)] : nullptr;
}

void KeptPictures::release(int id) {
    if (id >= 0 && size_t(id) < packets_.size()) av_packet_free(&packets_[size_t(id)]);
    if (id >= 0 && size_t(id) < frames_.size()) av_frame_free(&frames_[size_t(id)]);
}

void KeptPictures::clear() {
    for (AVPacket*& p : packets_) av_packet_free(&p);
    packets_.clear();
    for (AVFrame*& f : frames_) av_frame_free(&f);
    frames_.clear();
}

int KeptPictures::encodeAndKeep(AVCodecContext* encoder, AVFrame* frame, int64_t pts, int& id, Step& step) {
    step = Step::Done;
    frame->pts = pts;
    frame->pict_type = AV_PICTURE_TYPE_I;
    int r = avcodec_send_frame(encoder, frame);
    av_frame_free(&frame);
    if (r < 0) {
        step = Step::Send;
        return r;
    }
    AVPacket* p = av_packet_alloc();
    if (!p) {
        step = Step::Memory;
        return AVERROR(ENOMEM);
    }
    r = avcodec_receive_packet(encoder, p);
    if (r < 0) {
        av_packet_free(&p);
        step = Step::Receive;
        return r;
    }
    id = keepPacket(p);
    return 0;
}

int writeKeptPacket(AVFormatContext* format, AVStream* stream, AVPacket* scratch, const AVPacket* stored,
                    int64_t index, AVRational frameTb, bool& outOfMemory) {
    int r = av_packet_ref(scratch, stored);
    outOfMemory = r < 0;
    if (r < 0) return r;
    scratch->pts = scratch->dts = index;
    scratch->duration = 1;
    scratch->stream_index = 0;
    scratch->flags |= AV_PKT_FLAG_KEY;
    av_packet_rescale_ts(scratch, frameTb, stream->time_base);
    r = av_write_frame(format, scratch);
    av_packet_unref(scratch);
    return r;
}
