// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/sound_copy.h"

#include "engine/ffmpeg_error.h"
#include "engine/stream_decoder.h"

#include <algorithm>

extern "C" {
#include <libavutil/time.h>
}

namespace morvane {

namespace {

// Demuxers that answer "try again" for a file are given this many tries in a row.
constexpr int max_read_retries = 1000;

} // namespace

SoundCopy::SoundCopy(MediaInput& input, const ConversionPlan& plan, ProgressSink* sink,
                     const Engine::PacketMuxer& muxer)
    : input_(input), plan_(plan), sink_(sink), muxer_(muxer), frame_(av_frame_alloc()),
      packet_(av_packet_alloc()) {}

ConversionResult SoundCopy::run(const std::string& output_path) {
    ConversionResult result;
    const int code = copy(output_path);
    result.packets_written = packets_written_;
    result.seconds_reached = static_cast<double>(reached_) / AV_TIME_BASE;
    result.read_error = read_error_;
    if (code < 0) {
        result.damaged_copy = damaged_;
        result.reason = reason_.empty() ? ffmpeg_error_text(code) : reason_;
        return result;
    }
    // Copied, the sound ends where the input's does.
    result.tracks.push_back(
        {ConversionResult::Track::Kind::sound, result.seconds_reached, result.seconds_reached});
    if (loudness_) {
        result.loudness = loudness_->integrated();
    }
    result.status =
        stopped_ ? ConversionResult::Status::stopped : ConversionResult::Status::converted;
    return result;
}

int SoundCopy::copy(const std::string& output_path) {
    if (!frame_ || !packet_) {
        return AVERROR(ENOMEM);
    }
    progress_.start();
    int result = output_.open(output_path, input_, plan_, reason_);
    if (result < 0) {
        return result;
    }
    if (output_.audio_stream() == nullptr) {
        reason_ = "nothing in this file makes a stream of the output";
        return AVERROR_STREAM_NOT_FOUND;
    }
    source_ = input_.container()
                  .streams[plan_.sound->stream >= 0 ? plan_.sound->stream : input_.streams().audio];
    result = open_decoder();
    if (result >= 0) {
        result = avformat_write_header(&output_.container(), nullptr);
    }
    if (result >= 0) {
        result = write_cover_art();
    }
    if (result >= 0) {
        result = read_packets();
    }
    if (result < 0) {
        return result;
    }
    if (!stopped_) {
        // The frames the decoder still holds are the stream's last: they must decode too.
        result = avcodec_send_packet(decoder_.get(), nullptr);
        if (result >= 0) {
            result = drain_decoder();
        }
        if (result < 0 && result != AVERROR_EOF) {
            damaged_ = true;
            reason_ = "its sound cannot be copied: its last frames do not decode";
            return result;
        }
    }
    result = output_.finish();
    if (result < 0) {
        return result;
    }
    report_progress(true);
    return 0;
}

int SoundCopy::open_decoder() {
    int result = make_stream_decoder(*source_, decoder_);
    if (result < 0) {
        return result;
    }
    // One thread: decoding a stream of sound costs little next to reading it.
    decoder_->thread_count = 1;
    result = avcodec_open2(decoder_.get(), nullptr, nullptr);
    if (result < 0) {
        return result;
    }
    if (plan_.sound->measure_loudness && decoder_->sample_rate > 0 &&
        decoder_->ch_layout.nb_channels > 0) {
        loudness_.emplace(decoder_->sample_rate, decoder_->ch_layout);
    }
    return 0;
}

int SoundCopy::write_cover_art() {
    AVStream* cover = output_.cover_art_stream();
    if (cover == nullptr) {
        return 0;
    }
    // The picture goes first: the MP3 muxer holds the sound back until it has it.
    const AVStream* source = input_.container().streams[input_.streams().cover_art];
    AVPacket* packet = packet_.get();
    int result = av_packet_ref(packet, &source->attached_pic);
    if (result < 0) {
        return result;
    }
    packet->stream_index = cover->index;
    packet->pts = packet->dts = 0;
    packet->flags |= AV_PKT_FLAG_KEY;
    result = muxer_(&output_.container(), packet);
    av_packet_unref(packet);
    if (result >= 0) {
        packets_written_ += 1;
    }
    return result;
}

int SoundCopy::read_packets() {
    AVFormatContext& container = input_.container();
    AVPacket* packet = packet_.get();
    int retries = 0;
    while (true) {
        const int result = av_read_frame(&container, packet);
        if (result == AVERROR(EAGAIN) && ++retries < max_read_retries) {
            continue;
        }
        retries = 0;
        if (result < 0) {
            // What was read so far still makes a complete file; the caller hears why it is
            // shorter.
            if (result != AVERROR_EOF) {
                read_error_ = ffmpeg_error_text(result);
            }
            return 0;
        }
        if (packet->stream_index != source_->index) {
            av_packet_unref(packet);
            continue;
        }
        const int copied = copy_packet(*packet);
        av_packet_unref(packet);
        if (copied < 0) {
            return copied;
        }
        if (!report_progress(false)) {
            return 0;
        }
    }
}

int SoundCopy::copy_packet(AVPacket& packet) {
    if (packet.flags & AV_PKT_FLAG_CORRUPT) {
        damaged_ = true;
        reason_ = "its sound cannot be copied: a packet is damaged";
        return AVERROR_INVALIDDATA;
    }
    int result = avcodec_send_packet(decoder_.get(), &packet);
    if (result >= 0) {
        result = drain_decoder();
    }
    if (result < 0 && result != AVERROR(EAGAIN)) {
        damaged_ = true;
        reason_ = "its sound cannot be copied: a frame does not decode (" +
                  ffmpeg_error_text(result) + ")";
        return result;
    }
    // Where the copy has come to, from the stream's own stamps.
    const std::int64_t start =
        input_.container().start_time != AV_NOPTS_VALUE ? input_.container().start_time : 0;
    const std::int64_t stamp = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
    if (stamp != AV_NOPTS_VALUE) {
        const std::int64_t end = av_rescale_q(stamp + std::max<std::int64_t>(packet.duration, 0),
                                              source_->time_base, AV_TIME_BASE_Q) -
                                 start;
        reached_ = std::max(reached_, end);
    }
    AVStream& out = *output_.audio_stream();
    av_packet_rescale_ts(&packet, source_->time_base, out.time_base);
    packet.stream_index = out.index;
    packet.pos = -1;
    result = muxer_(&output_.container(), &packet);
    if (result < 0) {
        return result;
    }
    packets_written_ += 1;
    return 0;
}

int SoundCopy::drain_decoder() {
    while (true) {
        const int result = avcodec_receive_frame(decoder_.get(), frame_.get());
        if (result < 0) {
            return result;
        }
        const AVFrame& frame = *frame_;
        // A stream that changes its rate or channels midway is not one file a player takes
        // as it is.
        const bool same_shape =
            frame.sample_rate == source_->codecpar->sample_rate &&
            frame.ch_layout.nb_channels == source_->codecpar->ch_layout.nb_channels;
        if (!same_shape) {
            av_frame_unref(frame_.get());
            return AVERROR_INVALIDDATA;
        }
        if (loudness_) {
            loudness_->add(frame);
        }
        av_frame_unref(frame_.get());
    }
}

bool SoundCopy::report_progress(bool final_report) {
    if (sink_ == nullptr) {
        return true;
    }
    if (!final_report && (stopped_ || sink_->stop_requested())) {
        stopped_ = true;
        return false;
    }
    if (!progress_.due(final_report)) {
        return true;
    }
    double share = 0;
    const double duration = input_.duration_seconds() * AV_TIME_BASE;
    if (duration > 0) {
        share = static_cast<double>(reached_) / duration;
    } else if (input_.size() > 0) {
        share = static_cast<double>(avio_tell(&input_.file())) / static_cast<double>(input_.size());
    }
    const bool go_on = progress_.tell(share, final_report);
    if (!go_on) {
        stopped_ = true;
    }
    return go_on;
}

} // namespace morvane
