// DVD and DVB subtitle tracks on libavcodec's subtitle encoders. The DVD
// packets go into MPEG program-stream packs written here (.sub, with the
// .idx index beside it) or into Matroska through libavformat; the DVB
// packets into an MPEG transport stream through libavformat.

#include "export/SubtitleStreamWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include "media/AvError.h"
#include "media/MediaFiles.h"

#include "base/Image.h"
#include "export/Language.h"
#include "export/SubtitleTrack.h"
#include "io/Files.h"
#include "base/BigEndian.h"

namespace {

constexpr int kPackSize = 2048;

using bigendian::be16;

// One MPEG-2 pack header with the system clock at `scr` (90 kHz).
std::string packHeader(uint64_t scr) {
    std::string h("\x00\x00\x01\xBA", 4);
    const unsigned mux = 25200;  // 10.08 Mbit/s in units of 50 bytes/s
    h += char(0x40 | ((scr >> 27) & 0x38) | 0x04 | ((scr >> 28) & 0x03));
    h += char((scr >> 20) & 0xff);
    h += char(((scr >> 12) & 0xf8) | 0x04 | ((scr >> 13) & 0x03));
    h += char((scr >> 5) & 0xff);
    h += char(((scr << 3) & 0xf8) | 0x04);
    h += char(0x01);
    h += char((mux >> 14) & 0xff);
    h += char((mux >> 6) & 0xff);
    h += char(((mux << 2) & 0xfc) | 0x03);
    h += char(0xF8);  // no stuffing
    return h;
}

// The packets of one DVD subtitle as 2048-byte packs of private stream 1,
// sub-stream 0x20; the first pack carries the time stamp.
std::string dvdPacks(const uint8_t* data, size_t size, uint64_t pts) {
    std::string out;
    size_t at = 0;
    bool first = true;
    while (at < size || first) {
        std::string pack = packHeader(pts);
        const size_t headerData = first ? 5 : 0;
        const size_t room = kPackSize - pack.size() - 6 - 3 - headerData - 1;
        const size_t take = std::min(room, size - at);
        size_t stuffing = 0;
        const size_t left = room - take;
        // A padding packet needs 6 bytes; fewer go into the header as stuffing.
        if (left > 0 && left < 6) stuffing = left;
        pack += std::string("\x00\x00\x01\xBD", 4);
        be16(pack, unsigned(3 + headerData + stuffing + 1 + take));
        pack += char(0x81);
        pack += char(first ? 0x80 : 0x00);
        pack += char(headerData + stuffing);
        if (first) {
            pack += char(0x21 | ((pts >> 29) & 0x0e));
            pack += char((pts >> 22) & 0xff);
            pack += char(((pts >> 14) & 0xfe) | 0x01);
            pack += char((pts >> 7) & 0xff);
            pack += char(((pts << 1) & 0xfe) | 0x01);
        }
        pack.append(stuffing, char(0xFF));
        pack += char(0x20);
        pack.append(reinterpret_cast<const char*>(data) + at, take);
        if (pack.size() < size_t(kPackSize)) {
            const size_t pad = kPackSize - pack.size();
            pack += std::string("\x00\x00\x01\xBE", 4);
            be16(pack, unsigned(pad - 6));
            pack.append(pad - 6, char(0xFF));
        }
        out += pack;
        at += take;
        first = false;
    }
    return out;
}

std::string idxTime(long long ms) {
    char t[64];
    std::snprintf(t, sizeof t, "%02lld:%02lld:%02lld:%03lld", ms / 3600000, (ms / 60000) % 60, (ms / 1000) % 60,
                  ms % 1000);
    return t;
}

class FfmpegSubtitleWriter : public SubtitleStreamWriter {
public:
    explicit FfmpegSubtitleWriter(SubtitleStreamKind kind) : kind_(kind) {}
    ~FfmpegSubtitleWriter() override { close(true); }

    std::string open(const std::string& path, int width, int height, float fps,
                     const std::vector<Rgb>& palette, const std::string& language) override {
        path_ = path;
        language_ = language.empty() ? language::kUndetermined : language;
        width_ = width;
        height_ = height;
        fps_ = fps;
        palette_ = palette;
        if (palette_.empty()) palette_.push_back(Rgb{255, 255, 255});
        if (palette_.size() > 16) palette_.resize(16);
        while (palette_.size() < 16) palette_.push_back(palette_.back());

        const bool dvb = kind_ == SubtitleStreamKind::Dvb;
        // A transport stream starts with an empty page: tools that line
        // their inputs up by each one's first time stamp would otherwise move
        // the first subtitle to the start of the movie. One tick after 0:
        // FFmpeg's DVB subtitle parser takes a first packet at 0 for the
        // continuation of an earlier one and passes it on unparsed.
        pendingClear_ = dvb ? 1 : -1;
        const AVCodec* codec = avcodec_find_encoder(dvb ? AV_CODEC_ID_DVB_SUBTITLE : AV_CODEC_ID_DVD_SUBTITLE);
        if (!codec) return std::string("this build has no ") + (dvb ? "DVB" : "DVD") + " subtitle encoder";
        enc_ = avcodec_alloc_context3(codec);
        if (!enc_) return "out of memory";
        enc_->width = width;
        enc_->height = height;
        enc_->time_base = AVRational{1, 1000};
        if (!dvb) {
            std::string pal;
            char hex[16];
            for (const Rgb& c : palette_) {
                std::snprintf(hex, sizeof hex, "%s%02x%02x%02x", pal.empty() ? "" : ",", c.r, c.g, c.b);
                pal += hex;
            }
            av_opt_set(enc_->priv_data, "palette", pal.c_str(), 0);
        }
        int err = avcodec_open2(enc_, codec, nullptr);
        if (err < 0) return "the subtitle encoder cannot start: " + avError(err);

        if (!dvb) {
            std::string why = subFile_.open(path);
            if (!why.empty()) return "cannot write " + path + ": " + why;
            sub_ = subFile_.stdioFile();
            if (!sub_) return "cannot write " + path + ": " + std::strerror(errno);
            if (kind_ == SubtitleStreamKind::VobSub) return {};
            // The same packets in Matroska.
            containerPath_ = path.substr(0, path.size() - 4) + ".mks";
        } else {
            containerPath_ = path;
        }
        err = avformat_alloc_output_context2(&fmt_, nullptr, dvb ? "mpegts" : "matroska", nullptr);
        if (err < 0 || !fmt_) return "the container cannot start: " + avError(err);
        AVStream* st = avformat_new_stream(fmt_, nullptr);
        if (!st) return "out of memory";
        st->time_base = dvb ? AVRational{1, 90000} : AVRational{1, 1000};
        err = avcodec_parameters_from_context(st->codecpar, enc_);
        if (err < 0) return avError(err);
        av_dict_set(&st->metadata, "language", language::threeLetter(language_).c_str(), 0);
        std::string why = containerFile_.open(containerPath_);
        if (!why.empty()) return "cannot write " + containerPath_ + ": " + why;
        fmt_->pb = containerFile_.avio();
        if (!fmt_->pb) return "out of memory";
        fmt_->flags |= AVFMT_FLAG_CUSTOM_IO;
        err = avformat_write_header(fmt_, nullptr);
        if (err < 0) return "the container header cannot be written: " + avError(err);
        stream_ = st;
        return {};
    }

    std::string add(const Image& picture, long long onFrame, long long offFrame) override {
        if (!enc_) return "the track is not open";
        if (offFrame <= onFrame) return {};
        StreamSubtitle subtitle;
        std::string error;
        if (!prepareStreamSubtitle(picture, kind_, subtitle, error)) return error;
        return addPrepared(subtitle, onFrame, offFrame);
    }

    std::string addPrepared(const StreamSubtitle& subtitle, long long onFrame, long long offFrame) override {
        if (!enc_) return "the track is not open";
        const PixelBox& box = subtitle.box;
        if (box.empty() || offFrame <= onFrame) return {};
        const PalettePicture& pal = subtitle.picture;
        const bool dvb = kind_ == SubtitleStreamKind::Dvb;

        // DVD times are read as whole milliseconds (.idx, Matroska), DVB
        // times as 90 kHz ticks.
        long long on90k, off90k, onMs, offMs;
        if (dvb) {
            // Not at 0 either: see open().
            on90k = std::max(1LL, unitsBefore(onFrame, 90000)), off90k = unitsBefore(offFrame, 90000);
            onMs = on90k / 90, offMs = off90k / 90;
        } else {
            onMs = unitsBefore(onFrame, 1000), offMs = unitsBefore(offFrame, 1000);
            on90k = onMs * 90, off90k = offMs * 90;
        }

        AVSubtitleRect rect{};
        AVSubtitleRect* rects[1] = {&rect};
        std::vector<uint32_t> argb(256, 0);
        for (size_t i = 0; i < pal.palette.size(); ++i) {
            Rgba c = pal.palette[i];
            if (!dvb && c.a > 0) {
                const Rgb near = nearest(c);
                c.r = near.r, c.g = near.g, c.b = near.b;
            }
            argb[i] = uint32_t(c.a) << 24 | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
        }
        rect.x = box.x;
        rect.y = box.y;
        rect.w = box.w;
        rect.h = box.h;
        rect.type = SUBTITLE_BITMAP;
        // DVD: the encoder starts a forced subtitle with the forced start
        // command; DVB has no such flag.
        if (subtitle.forced && !dvb) {
            rect.flags |= AV_SUBTITLE_FLAG_FORCED;
            anyForced_ = true;
        }
        rect.nb_colors = dvb ? 16 : 4;
        rect.data[0] = const_cast<uint8_t*>(pal.indices.data());  // the encoder only reads it
        rect.linesize[0] = box.w;
        rect.data[1] = reinterpret_cast<uint8_t*>(argb.data());
        rect.linesize[1] = 4;

        AVSubtitle sub{};
        sub.format = 0;
        sub.start_display_time = 0;
        sub.end_display_time = uint32_t(offMs - onMs);
        sub.num_rects = 1;
        sub.rects = rects;
        sub.pts = av_rescale_q(on90k, AVRational{1, 90000}, AV_TIME_BASE_Q);
        if (dvb) {
            std::string e = clearPending(on90k);
            if (!e.empty()) return e;
        }
        std::string e = encodeAndWrite(sub, on90k, offMs - onMs);
        if (dvb) pendingClear_ = off90k;
        return e;
    }

    // DVB: an empty page clears the screen at the OFF time, unless the next
    // subtitle takes the screen over at that moment.
    std::string clearPending(long long nextOn90k) {
        if (pendingClear_ < 0) return {};
        const long long at = pendingClear_;
        pendingClear_ = -1;
        if (nextOn90k >= 0 && nextOn90k <= at) return {};
        AVSubtitle clear{};
        clear.pts = av_rescale_q(at, AVRational{1, 90000}, AV_TIME_BASE_Q);
        return encodeAndWrite(clear, at, 0);
    }

    std::string finish() override {
        std::string error;
        if (kind_ == SubtitleStreamKind::Dvb) error = clearPending(-1);
        if (fmt_) {
            const int err = av_write_trailer(fmt_);
            if (err < 0 && error.empty()) error = "the container cannot be completed: " + avError(err);
        }
        if (error.empty() && kind_ != SubtitleStreamKind::Dvb) {
            const std::string idxPath = path_.substr(0, path_.size() - 4) + ".idx";
            files::Result w = files::writeFileAtomic(idxPath, idxText());
            if (!w) error = "cannot write " + idxPath + ": " + w.error;
            if (error.empty()) {
                const std::string why = subFile_.commit();
                if (!why.empty()) error = "cannot write " + path_ + ": " + why;
            }
            sub_ = nullptr;
        }
        if (error.empty() && fmt_) {
            const std::string why = containerFile_.commit();
            if (!why.empty()) error = "cannot write " + containerPath_ + ": " + why;
        }
        finished_ = error.empty();
        close(!finished_);
        return error;
    }

private:
    // The last time stamp (in 1/scale seconds) before `frame` starts. Never
    // after the start, or the change would come a frame late; never on it
    // either: a tool that reads the movie and the track side by side takes
    // the movie frame first when both carry the same time, and burns the
    // first subtitle in from the next frame.
    long long unitsBefore(long long frame, long long scale) const {
        const FrameRate r = exactFrameRate(fps_);
        const long long n = frame * scale * r.den;
        return std::max(0LL, (n + r.num - 1) / r.num - 1);
    }

    Rgb nearest(const Rgba& c) const {
        Rgb best = palette_.front();
        int bestDistance = 1 << 30;
        for (const Rgb& p : palette_) {
            const int d = (p.r - c.r) * (p.r - c.r) + (p.g - c.g) * (p.g - c.g) + (p.b - c.b) * (p.b - c.b);
            if (d < bestDistance) bestDistance = d, best = p;
        }
        return best;
    }

    std::string encodeAndWrite(const AVSubtitle& sub, long long pts90k, long long durationMs) {
        // One buffer for the whole track: zeroing a fresh megabyte for every
        // packet cost more than encoding it.
        std::vector<uint8_t>& buffer = encodeBuffer_;
        if (buffer.empty()) buffer.resize(1 << 20);
        const int size = avcodec_encode_subtitle(enc_, buffer.data(), int(buffer.size()), &sub);
        if (size < 0) return "the subtitle encoder failed: " + avError(size);
        if (sub_) {
            const long position = std::ftell(sub_);
            const std::string packs = dvdPacks(buffer.data(), size_t(size), uint64_t(pts90k));
            if (std::fwrite(packs.data(), 1, packs.size(), sub_) != packs.size())
                return "cannot write " + path_ + ": " + std::strerror(errno);
            char line[96];
            std::snprintf(line, sizeof line, "timestamp: %s, filepos: %09lx\n", idxTime(pts90k / 90).c_str(),
                          position);
            index_ += line;
            if (!fmt_) return {};
        }
        AVPacket* pkt = av_packet_alloc();
        if (!pkt) return "out of memory";
        int err = av_new_packet(pkt, size);
        if (err < 0) {
            av_packet_free(&pkt);
            return avError(err);
        }
        std::copy(buffer.begin(), buffer.begin() + size, pkt->data);
        pkt->stream_index = stream_->index;
        pkt->pts = pkt->dts = av_rescale_q_rnd(pts90k, AVRational{1, 90000}, stream_->time_base, AV_ROUND_DOWN);
        pkt->duration = av_rescale_q(durationMs, AVRational{1, 1000}, stream_->time_base);
        pkt->flags |= AV_PKT_FLAG_KEY;
        err = av_interleaved_write_frame(fmt_, pkt);
        av_packet_free(&pkt);
        if (err < 0 && !containerFile_.writeError().empty())
            return "cannot write " + containerPath_ + ": " + containerFile_.writeError();
        return err < 0 ? "cannot write " + containerPath_ + ": " + avError(err) : std::string();
    }

    std::string idxText() const {
        std::string t = "# VobSub index file, v7 (do not modify this line!)\n";
        t += "size: " + std::to_string(width_) + "x" + std::to_string(height_) + "\n";
        if (anyForced_) t += "forced subs: ON\n";
        t += "palette: ";
        char hex[16];
        for (size_t i = 0; i < palette_.size(); ++i) {
            std::snprintf(hex, sizeof hex, "%s%02x%02x%02x", i ? ", " : "", palette_[i].r, palette_[i].g,
                          palette_[i].b);
            t += hex;
        }
        t += "\n\nid: " + language::twoLetter(language_) + ", index: 0\n";
        t += index_;
        return t;
    }

    // What is not committed is removed; a finished track has nothing left.
    void close(bool) {
        sub_ = nullptr;
        if (fmt_) {
            avformat_free_context(fmt_);
            fmt_ = nullptr;
        }
        if (enc_) avcodec_free_context(&enc_);
        subFile_.discard();
        containerFile_.discard();
    }

    SubtitleStreamKind kind_;
    std::string path_, index_;
    std::string containerPath_;  // .mks or .ts
    OutputFile subFile_, containerFile_;  // until each is complete
    int width_ = 0, height_ = 0;
    float fps_ = 25;
    std::vector<Rgb> palette_;
    std::string language_ = language::kUndetermined;
    AVCodecContext* enc_ = nullptr;
    AVFormatContext* fmt_ = nullptr;
    AVStream* stream_ = nullptr;
    std::FILE* sub_ = nullptr;  // on subFile_
    bool finished_ = false;
    long long pendingClear_ = -1;  // 90 kHz time of the DVB page still to clear
    std::vector<uint8_t> encodeBuffer_;  // what the encoder writes each packet into
    bool anyForced_ = false;       // a forced DVD subtitle: the index says so
};

}  // namespace

std::unique_ptr<SubtitleStreamWriter> createSubtitleStreamWriter(SubtitleStreamKind kind) {
    return std::make_unique<FfmpegSubtitleWriter>(kind);
}
