// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/stream_pipeline.h"

#include "engine/silent_track.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
}

namespace morvane {

namespace {

// A decoder that keeps failing while it drains would otherwise be asked forever.
constexpr int max_errors_while_draining = 64;
// Decoded pictures waiting for the filters on their own thread.
constexpr std::size_t filter_queue_frames = 2;

bool again_or_end(int result) {
    return result == AVERROR(EAGAIN) || result == AVERROR_EOF;
}

} // namespace

StreamPipeline::StreamPipeline(AVStream& input, AVCodecContext& encoder, AVStream& output,
                               std::string chain, PacketWriter writer)
    : input_(input), encoder_(encoder), chain_(std::move(chain)),
      output_(encoder, output, std::move(writer)), video_(encoder.codec_type == AVMEDIA_TYPE_VIDEO),
      decoded_(av_frame_alloc()), filtered_(av_frame_alloc()) {}

StreamPipeline::~StreamPipeline() {
    av_channel_layout_uninit(&graph_layout_);
}

int StreamPipeline::open(const Settings& settings) {
    if (!decoded_ || !filtered_ || !output_.allocated()) {
        return AVERROR(ENOMEM);
    }
    settings_ = settings;
    if (settings.time_limit > 0) {
        time_limit_ = av_rescale_q(settings.time_limit, AV_TIME_BASE_Q, input_.time_base);
    }
    const AVCodec* codec = avcodec_find_decoder(input_.codecpar->codec_id);
    if (codec == nullptr) {
        return AVERROR_DECODER_NOT_FOUND;
    }
    decoder_.reset(avcodec_alloc_context3(codec));
    if (!decoder_) {
        return AVERROR(ENOMEM);
    }
    int result = avcodec_parameters_to_context(decoder_.get(), input_.codecpar);
    if (result < 0) {
        return result;
    }
    decoder_->pkt_timebase = input_.time_base;
    if (settings.max_pixels > 0) {
        decoder_->max_pixels = settings.max_pixels;
    }
    // A picture whose packet does not say how long it lasts is taken to last one frame.
    AVRational rate = input_.avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) {
        rate = input_.r_frame_rate;
    }
    if (video_) {
        // Never less than one output frame, so that even a single picture is shown.
        typical_duration_ = av_rescale_q(1, encoder_.time_base, input_.time_base);
        if (rate.num > 0 && rate.den > 0) {
            typical_duration_ =
                std::max(typical_duration_, av_rescale_q(1, av_inv_q(rate), input_.time_base));
        }
    }
    decoder_->thread_count = settings.decoder_threads;
    if (settings.skip_unseen_smoothing) {
        decoder_->skip_loop_filter = AVDISCARD_BIDIR;
    }
    result = avcodec_open2(decoder_.get(), codec, nullptr);
    if (result < 0 || !settings.filter_on_own_thread) {
        return result;
    }
    filter_thread_ = std::make_unique<HandoffThread<AVFrame>>(
        filter_queue_frames, [this](AVFrame& frame) { return filter_frame(frame); },
        [this] { return finish_filters(); });
    return filter_thread_->start();
}

int StreamPipeline::send_packet(const AVPacket& packet) {
    int result = avcodec_send_packet(decoder_.get(), &packet);
    if (result == AVERROR(EAGAIN)) {
        // The decoder wants its frames taken before it takes more; then it takes this one.
        result = receive_frames();
        if (result < 0) {
            return result;
        }
        result = avcodec_send_packet(decoder_.get(), &packet);
    }
    if (result < 0 && result != AVERROR_EOF) {
        decode_errors_ += 1;
        return 0; // a damaged packet: the next one may decode again
    }
    return receive_frames();
}

int StreamPipeline::finish(std::int64_t silence_until) {
    silence_until_ = silence_until;
    int result = avcodec_send_packet(decoder_.get(), nullptr);
    if (result == AVERROR(EAGAIN)) {
        result = receive_frames();
        if (result < 0) {
            return result;
        }
        result = avcodec_send_packet(decoder_.get(), nullptr);
    }
    if (result < 0 && result != AVERROR_EOF) {
        decode_errors_ += 1;
    }
    result = receive_frames();
    if (result < 0) {
        return result;
    }
    return filter_thread_ != nullptr ? filter_thread_->finish() : finish_filters();
}

int StreamPipeline::finish_filters() {
    if (!video_ && !filters_.configured() && silence_until_ > 0) {
        SilentTrack silence(output_);
        const int result = silence.open();
        return result < 0 ? result : silence.finish(silence_until_);
    }
    if (filters_.configured()) {
        const int result = close_graph();
        if (result < 0) {
            return result;
        }
    }
    return output_.encode(nullptr);
}

int StreamPipeline::deliver(AVFrame& frame) {
    return filter_thread_ != nullptr ? filter_thread_->send(frame) : filter_frame(frame);
}

int StreamPipeline::receive_frames() {
    int errors = 0;
    for (;;) {
        int result = avcodec_receive_frame(decoder_.get(), decoded_.get());
        if (again_or_end(result)) {
            return 0;
        }
        if (result < 0) {
            // One bad frame; while draining the decoder may still hold good ones.
            decode_errors_ += 1;
            if (++errors > max_errors_while_draining) {
                return 0;
            }
            continue;
        }
        result = deliver(*decoded_);
        av_frame_unref(decoded_.get());
        if (result < 0) {
            return result;
        }
    }
}

bool StreamPipeline::frame_fits_graph(const AVFrame& frame) const {
    if (!filters_.configured() || frame.format != graph_format_) {
        return false;
    }
    if (video_) {
        return frame.width == graph_width_ && frame.height == graph_height_;
    }
    return frame.sample_rate == graph_rate_ &&
           av_channel_layout_compare(&frame.ch_layout, &graph_layout_) == 0;
}

std::int64_t StreamPipeline::frame_duration(const AVFrame& frame) const {
    if (!video_) {
        return av_rescale_q(frame.nb_samples, AVRational{1, frame.sample_rate}, input_.time_base);
    }
    return frame.pkt_duration > 0 ? frame.pkt_duration : typical_duration_;
}

std::string StreamPipeline::timed_chain(std::int64_t start) const {
    char timing[160];
    if (video_) {
        // Each output picture is the input picture nearest its time: a late picture is
        // repeated, an early one dropped.
        const int length = std::snprintf(timing, sizeof timing, ",fps=fps=%d/%d:round=near",
                                         encoder_.framerate.num, encoder_.framerate.den);
        if (start != AV_NOPTS_VALUE) {
            std::snprintf(timing + length, sizeof timing - static_cast<std::size_t>(length),
                          ":start_time=%.6f",
                          static_cast<double>(start) * av_q2d(input_.time_base));
        }
        return chain_ + timing;
    }
    // The sound follows the input's clock by its samples, filling silence or trimming only
    // where the times really jump.
    const int length = std::snprintf(timing, sizeof timing, "aresample=async=1");
    if (start != AV_NOPTS_VALUE) {
        const std::int64_t first_sample =
            av_rescale_q(start, input_.time_base, AVRational{1, encoder_.sample_rate});
        std::snprintf(timing + length, sizeof timing - static_cast<std::size_t>(length),
                      ":first_pts=%" PRId64, first_sample);
    }
    return std::string(timing) + "," + chain_;
}

int StreamPipeline::configure_filters(const AVFrame& frame) {
    char arguments[512];
    const AVRational time_base = input_.time_base;
    if (video_) {
        AVRational pixel = frame.sample_aspect_ratio;
        if (pixel.num <= 0 || pixel.den <= 0) {
            pixel = AVRational{1, 1};
        }
        std::snprintf(arguments, sizeof arguments,
                      "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", frame.width,
                      frame.height, frame.format, time_base.num, time_base.den, pixel.num,
                      pixel.den);
    } else {
        AVChannelLayout layout{};
        if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
            av_channel_layout_default(&layout, frame.ch_layout.nb_channels);
        } else if (av_channel_layout_copy(&layout, &frame.ch_layout) < 0) {
            return AVERROR(ENOMEM);
        }
        char layout_text[256];
        const int described = av_channel_layout_describe(&layout, layout_text, sizeof layout_text);
        av_channel_layout_uninit(&layout);
        if (described < 0 || described > static_cast<int>(sizeof layout_text)) {
            return described < 0 ? described : AVERROR(EINVAL);
        }
        const char* format = av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame.format));
        if (format == nullptr) {
            return AVERROR_INVALIDDATA;
        }
        std::snprintf(arguments, sizeof arguments,
                      "time_base=%d/%d:sample_rate=%d:sample_fmt=%s:channel_layout=%s",
                      time_base.num, time_base.den, frame.sample_rate, format, layout_text);
    }
    // The first graph starts at the input's start (or this stream's, see Settings); a graph
    // rebuilt midway where the previous one ended, so that nothing is given out twice.
    std::int64_t start = settings_.start_at_zero ? 0 : AV_NOPTS_VALUE;
    if (graph_end_ != AV_NOPTS_VALUE) {
        start = graph_end_;
    }
    int result = filters_.configure(video_ ? "buffer" : "abuffer", arguments, timed_chain(start),
                                    settings_.filter_threads);
    if (result < 0) {
        return result;
    }
    if (!video_ && encoder_.frame_size > 0 &&
        !(encoder_.codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE)) {
        av_buffersink_set_frame_size(filters_.sink(), static_cast<unsigned>(encoder_.frame_size));
    }
    graph_format_ = frame.format;
    graph_width_ = frame.width;
    graph_height_ = frame.height;
    graph_rate_ = frame.sample_rate;
    av_channel_layout_uninit(&graph_layout_);
    result = av_channel_layout_copy(&graph_layout_, &frame.ch_layout);
    return result < 0 ? result : 0;
}

int StreamPipeline::filter_frame(AVFrame& frame) {
    if (video_
            ? frame.width <= 0 || frame.height <= 0
            : frame.sample_rate <= 0 || frame.ch_layout.nb_channels <= 0 || frame.nb_samples <= 0) {
        decode_errors_ += 1; // a frame no graph can take
        return 0;
    }
    std::int64_t pts = frame.best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) {
        pts = expected_pts_ != AV_NOPTS_VALUE ? expected_pts_ : 0;
    }
    // A time that does not move forward would meet what the graph has given out already;
    // one past the limit is not wanted.
    if ((last_pts_ != AV_NOPTS_VALUE && pts <= last_pts_) ||
        (time_limit_ != AV_NOPTS_VALUE && pts >= time_limit_)) {
        return 0;
    }
    const std::int64_t end = pts + frame_duration(frame);
    last_pts_ = pts;
    expected_pts_ = end;
    frame.pts = pts;
    if (!video_ && frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        // The source was told a real layout of the same count.
        const int channels = frame.ch_layout.nb_channels;
        av_channel_layout_uninit(&frame.ch_layout);
        av_channel_layout_default(&frame.ch_layout, channels);
    }
    if (!frame_fits_graph(frame)) {
        // A stream that changes its picture size or sound format midway: what the old
        // graph holds goes out first, then a graph for the new shape takes over.
        if (filters_.configured()) {
            const int result = close_graph();
            if (result < 0) {
                return result;
            }
        }
        const int result = configure_filters(frame);
        if (result < 0) {
            return result;
        }
    }
    graph_end_ = graph_end_ == AV_NOPTS_VALUE ? end : std::max(graph_end_, end);
    const std::int64_t reached = av_rescale_q(end, input_.time_base, AV_TIME_BASE_Q);
    if (reached > reached_.load(std::memory_order_relaxed)) {
        reached_.store(reached, std::memory_order_relaxed);
    }
    const int result =
        av_buffersrc_add_frame_flags(filters_.source(), &frame, AV_BUFFERSRC_FLAG_KEEP_REF);
    if (result < 0) {
        return result;
    }
    return drain_filters();
}

int StreamPipeline::close_graph() {
    std::int64_t end = graph_end_;
    if (time_limit_ != AV_NOPTS_VALUE) {
        end = std::min(end, time_limit_);
    }
    const int result = av_buffersrc_close(filters_.source(), end, 0);
    if (result < 0) {
        return result;
    }
    return drain_filters();
}

int StreamPipeline::drain_filters() {
    AVFrame* frame = filtered_.get();
    for (;;) {
        int result = av_buffersink_get_frame(filters_.sink(), frame);
        if (again_or_end(result)) {
            return 0;
        }
        if (result < 0) {
            return result;
        }
        if (frame->pts != AV_NOPTS_VALUE) {
            frame->pts = av_rescale_q(frame->pts, av_buffersink_get_time_base(filters_.sink()),
                                      encoder_.time_base);
        }
        frame->pict_type = AV_PICTURE_TYPE_NONE; // the encoder chooses
        if (video_) {
            if (frame->pts == AV_NOPTS_VALUE ||
                (last_encoded_pts_ != AV_NOPTS_VALUE && frame->pts <= last_encoded_pts_)) {
                av_frame_unref(frame);
                continue;
            }
            last_encoded_pts_ = frame->pts;
        }
        const bool short_last_frame =
            !video_ && encoder_.frame_size > 0 && frame->nb_samples < encoder_.frame_size &&
            !(encoder_.codec->capabilities &
              (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE));
        result = short_last_frame ? 0 : output_.encode(frame);
        av_frame_unref(frame);
        if (result < 0) {
            return result;
        }
    }
}

} // namespace morvane
