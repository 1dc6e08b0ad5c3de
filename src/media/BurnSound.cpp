// The burn-in's sound that the new container cannot hold as it is:
// decoded, converted and encoded as AAC.

#include "media/MovieBurn.h"

namespace burnin {

// Sound of input stream `in` that the container refuses, converted to AAC at
// the same rate and channels into the new stream `os`.
std::string Burn::openSoundConversion(unsigned in, AVStream* os) {
    const AVStream* is = in_->streams[in];
    int r = 0;
    auto t = std::make_unique<AudioTranscode>();
    t->in = int(in);
    t->out = os;
    const AVCodec* ad = avcodec_find_decoder(is->codecpar->codec_id);
    const AVCodec* ae = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!ad || !ae) return "the sound of stream " + std::to_string(in) + " cannot be converted";
    t->dec = avcodec_alloc_context3(ad);
    t->enc = avcodec_alloc_context3(ae);
    if (!t->dec || !t->enc) return "out of memory";
    avcodec_parameters_to_context(t->dec, is->codecpar);
    t->dec->pkt_timebase = is->time_base;
    if ((r = avcodec_open2(t->dec, ad, nullptr)) < 0) return "the sound cannot be read: " + avError(r);
    t->enc->sample_rate = t->dec->sample_rate;
    av_channel_layout_copy(&t->enc->ch_layout, &t->dec->ch_layout);
    if (t->enc->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&t->enc->ch_layout, t->dec->ch_layout.nb_channels);
    t->enc->sample_fmt = AV_SAMPLE_FMT_FLTP;
    t->enc->bit_rate = 64000 * std::max(1, t->enc->ch_layout.nb_channels);
    t->enc->time_base = AVRational{1, t->enc->sample_rate};
    if (out_->oformat->flags & AVFMT_GLOBALHEADER) t->enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((r = avcodec_open2(t->enc, ae, nullptr)) < 0) return "the AAC encoder could not be started: " + avError(r);
    avcodec_parameters_from_context(os->codecpar, t->enc);
    os->time_base = t->enc->time_base;
    r = swr_alloc_set_opts2(&t->swr, &t->enc->ch_layout, t->enc->sample_fmt, t->enc->sample_rate,
                            &t->dec->ch_layout, t->dec->sample_fmt, t->dec->sample_rate, 0, nullptr);
    if (r < 0 || swr_init(t->swr) < 0) return "the sound cannot be converted";
    t->fifo = av_audio_fifo_alloc(t->enc->sample_fmt, t->enc->ch_layout.nb_channels, 4096);
    if (!t->fifo) return "out of memory";
    ++result_.soundStreamsEncoded;
    transcodes_.push_back(std::move(t));
    return {};
}

std::string Burn::encodeAudio(AudioTranscode& t, bool flush) {
    const int size = t.enc->frame_size > 0 ? t.enc->frame_size : 1024;
    while (av_audio_fifo_size(t.fifo) >= size || (flush && av_audio_fifo_size(t.fifo) > 0)) {
        const int n = std::min(size, av_audio_fifo_size(t.fifo));
        AVFrame* f = av_frame_alloc();
        if (!f) return "out of memory";
        f->nb_samples = n;
        f->format = t.enc->sample_fmt;
        f->sample_rate = t.enc->sample_rate;
        av_channel_layout_copy(&f->ch_layout, &t.enc->ch_layout);
        if (av_frame_get_buffer(f, 0) < 0) {
            av_frame_free(&f);
            return "out of memory";
        }
        av_audio_fifo_read(t.fifo, reinterpret_cast<void**>(f->data), n);
        f->pts = t.nextPts;
        t.nextPts += n;
        int r = avcodec_send_frame(t.enc, f);
        av_frame_free(&f);
        if (r < 0) return "the AAC encoder failed: " + avError(r);
        while (avcodec_receive_packet(t.enc, pkt_) == 0) {
            pkt_->stream_index = t.out->index;
            av_packet_rescale_ts(pkt_, t.enc->time_base, t.out->time_base);
            if ((r = av_interleaved_write_frame(out_, pkt_)) < 0) return "writing the new movie failed: " + avError(r);
        }
    }
    if (flush) {
        avcodec_send_frame(t.enc, nullptr);
        while (avcodec_receive_packet(t.enc, pkt_) == 0) {
            pkt_->stream_index = t.out->index;
            av_packet_rescale_ts(pkt_, t.enc->time_base, t.out->time_base);
            int r = av_interleaved_write_frame(out_, pkt_);
            if (r < 0) return "writing the new movie failed: " + avError(r);
        }
    }
    return {};
}

std::string Burn::processAudioPacket(AudioTranscode& t, AVPacket* pkt) {
    int r = avcodec_send_packet(t.dec, pkt);
    if (r < 0 && r != AVERROR_INVALIDDATA) return "the movie's sound cannot be read: " + avError(r);
    AVFrame* frame = av_frame_alloc();
    if (!frame) return "out of memory";
    std::string why;
    while (avcodec_receive_frame(t.dec, frame) == 0) {
        if (t.nextPts == 0 && frame->pts != AV_NOPTS_VALUE)
            t.nextPts = av_rescale_q(frame->pts, t.dec->pkt_timebase, t.enc->time_base);
        uint8_t** converted = nullptr;
        const int outSamples = swr_get_out_samples(t.swr, frame->nb_samples);
        if (av_samples_alloc_array_and_samples(&converted, nullptr, t.enc->ch_layout.nb_channels, std::max(outSamples, 1),
                                               t.enc->sample_fmt, 0) < 0) {
            why = "out of memory";
            break;
        }
        const int got = swr_convert(t.swr, converted, outSamples, const_cast<const uint8_t**>(frame->extended_data),
                                    frame->nb_samples);
        if (got > 0) av_audio_fifo_write(t.fifo, reinterpret_cast<void**>(converted), got);
        av_freep(&converted[0]);
        av_freep(&converted);
        av_frame_unref(frame);
        why = encodeAudio(t, false);
        if (!why.empty()) break;
    }
    av_frame_free(&frame);
    return why;
}

}  // namespace burnin
