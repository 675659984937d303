// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/stream_pipeline.h"

#include "engine/display_shape.h"
#include "engine/silent_track.h"
#include "engine/stream_decoder.h"
#include "platform/sanitizers.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

namespace morvane {

namespace {

// A decoder that keeps failing while it drains would otherwise be asked forever.
constexpr int max_errors_while_draining = 64;
// Shaped pictures waiting for the encoder on its own thread.
constexpr std::size_t encoder_queue_frames = 2;
// The pipeline's clock: 1/705600000 s is a whole number of units for one sample at every
// usual rate (8 to 192 kHz, 11.025 kHz and its multiples too) and one picture at the usual
// frame rates (23.976 to 120), so frames counted on from each other never round.
constexpr AVRational timeline{1, 705600000};
constexpr std::int64_t timeline_second = 705600000;
// A gap up to this long is filled by the graph itself (the fps filter repeats the picture,
// aresample adds silence); a longer one by the pipeline, a second at a time, so that memory
// stays small and a stop is heard during a long fill.
constexpr std::int64_t fill_step = timeline_second;

bool again_or_end(int result) {
    return result == AVERROR(EAGAIN) || result == AVERROR_EOF;
}

std::int64_t to_microseconds(std::int64_t time) {
    return av_rescale_q(time, timeline, AV_TIME_BASE_Q);
}

// "stereo", "5.1(side)", or the default layout of the count for one it cannot name.
int describe_layout(const AVChannelLayout& source, char* text, std::size_t size) {
    AVChannelLayout layout{};
    if (source.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&layout, source.nb_channels);
    } else if (av_channel_layout_copy(&layout, &source) < 0) {
        return AVERROR(ENOMEM);
    }
    const int described = av_channel_layout_describe(&layout, text, size);
    av_channel_layout_uninit(&layout);
    if (described < 0 || described > static_cast<int>(size)) {
        return described < 0 ? described : AVERROR(EINVAL);
    }
    return 0;
}

} // namespace

StreamPipeline::StreamPipeline(AVStream& input, AVCodecContext& encoder, AVStream& output,
                               std::string chain, PacketWriter writer)
    : input_(input), encoder_(encoder), chain_(std::move(chain)),
      output_(encoder, output, std::move(writer)), video_(encoder.codec_type == AVMEDIA_TYPE_VIDEO),
      decoded_(av_frame_alloc()), filtered_(av_frame_alloc()), framed_(av_frame_alloc()),
      last_picture_(av_frame_alloc()) {}

StreamPipeline::~StreamPipeline() {
    encoder_thread_.reset(); // it reads what is freed below
    av_channel_layout_uninit(&graph_layout_);
}

int StreamPipeline::open(const Settings& settings) {
    if (!decoded_ || !filtered_ || !framed_ || !last_picture_ || !output_.allocated()) {
        return AVERROR(ENOMEM);
    }
    settings_ = settings;
    deinterlace_ = video_ && settings.deinterlace;
    if (!video_ && settings.measure_loudness) {
        loudness_.emplace(encoder_.sample_rate, encoder_.ch_layout);
    }
    if (settings.time_limit > 0) {
        time_limit_ = av_rescale_q(settings.time_limit, AV_TIME_BASE_Q, timeline);
    }
    tick_ = std::max<std::int64_t>(1, av_rescale_q(1, input_.time_base, timeline));
    int result = make_stream_decoder(input_, decoder_);
    if (result < 0) {
        return result;
    }
    if (settings.max_pixels > 0) {
        decoder_->max_pixels = settings.max_pixels;
    }
    // A picture whose packet does not say how long it lasts is taken to last one frame.
    const AVRational rate = stated_frame_rate(input_);
    if (video_) {
        // Never less than one output frame, so that even a single picture is shown.
        typical_duration_ = av_rescale_q(1, encoder_.time_base, timeline);
        if (rate.num > 0 && rate.den > 0) {
            typical_duration_ =
                std::max(typical_duration_, av_rescale_q(1, av_inv_q(rate), timeline));
        }
    }
    decoder_->thread_count = settings.decoder_threads;
    if (settings.skip_unseen_smoothing) {
        decoder_->skip_loop_filter = AVDISCARD_BIDIR;
    }
    result = avcodec_open2(decoder_.get(), nullptr, nullptr);
    if (result < 0 || !settings.encoder_on_own_thread) {
        return result;
    }
    encoder_thread_ = std::make_unique<HandoffThread<AVFrame>>(
        encoder_queue_frames, [this](AVFrame& frame) { return output_.encode(&frame); },
        [this] { return output_.encode(nullptr); });
    return encoder_thread_->start();
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
    last_packet_failed_.store(result < 0 && result != AVERROR_EOF, std::memory_order_relaxed);
    if (result < 0 && result != AVERROR_EOF) {
        decode_errors_.fetch_add(1, std::memory_order_relaxed);
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
        decode_errors_.fetch_add(1, std::memory_order_relaxed);
    }
    result = receive_frames();
    if (result < 0) {
        return result;
    }
    return finish_filters();
}

int StreamPipeline::finish_filters() {
    if (!video_ && !filters_.configured() && silence_until_ > 0) {
        SilentTrack silence(output_);
        const int result = silence.open();
        return result < 0 ? result : silence.finish(silence_until_);
    }
    if (filters_.configured()) {
        int result = close_graph();
        if (result >= 0 && !video_) {
            result = frame_sound(nullptr);
        }
        if (result < 0) {
            return result;
        }
    }
    if (video_ && last_encoded_pts_ != AV_NOPTS_VALUE) {
        extent_.end = av_rescale_q(last_encoded_pts_ + 1, encoder_.time_base, AV_TIME_BASE_Q);
    } else if (!video_ && next_sample_ != AV_NOPTS_VALUE) {
        extent_.end = av_rescale(next_sample_, AV_TIME_BASE, encoder_.sample_rate);
    }
    if (loudness_) {
        extent_.loudness = loudness_->integrated();
    }
    return encoder_thread_ != nullptr ? encoder_thread_->finish() : output_.encode(nullptr);
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
            decode_errors_.fetch_add(1, std::memory_order_relaxed);
            if (++errors > max_errors_while_draining) {
                return 0;
            }
            continue;
        }
        result = filter_frame(*decoded_);
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
        return frame.width == graph_width_ && frame.height == graph_height_ &&
               graph_deinterlaces_ == deinterlace_;
    }
    return frame.sample_rate == graph_rate_ &&
           av_channel_layout_compare(&frame.ch_layout, &graph_layout_) == 0;
}

std::int64_t StreamPipeline::frame_duration(const AVFrame& frame) const {
    if (!video_) {
        return av_rescale_q(frame.nb_samples, AVRational{1, frame.sample_rate}, timeline);
    }
    return frame.pkt_duration > 0 ? av_rescale_q(frame.pkt_duration, input_.time_base, timeline)
                                  : typical_duration_;
}

std::string StreamPipeline::timed_chain(std::int64_t start, int input_rate) const {
    char timing[160];
    if (video_) {
        // Each output picture is the input picture nearest its time: a late picture is
        // repeated, an early one dropped.
        const int length = std::snprintf(timing, sizeof timing, "fps=fps=%d/%d:round=near",
                                         encoder_.framerate.num, encoder_.framerate.den);
        if (start != AV_NOPTS_VALUE) {
            std::snprintf(timing + length, sizeof timing - static_cast<std::size_t>(length),
                          ":start_time=%.9f", static_cast<double>(start) * av_q2d(timeline));
        }
        // Fields are rows of the stored picture: woven before any turn or scale, and with their
        // neighbours before any picture is dropped. Only pictures flagged interlaced are
        // touched, so a film that turns interlaced midway keeps its progressive part as it is.
        const std::string shaping =
            deinterlace_ ? "bwdif=mode=send_frame:deint=interlaced," + chain_ : chain_;
        return settings_.rate_change_first && !deinterlace_ ? timing + ("," + shaping)
                                                            : shaping + "," + timing;
    }
    // The sound follows the input's clock by its samples, filling silence or trimming only
    // where the times really jump. Its first sample is counted at the rate it reads.
    const int length = std::snprintf(timing, sizeof timing, "aresample=async=1");
    std::int64_t first_sample = AV_NOPTS_VALUE;
    if (next_sample_ != AV_NOPTS_VALUE) {
        first_sample = av_rescale(next_sample_, input_rate, encoder_.sample_rate);
    } else if (start != AV_NOPTS_VALUE) {
        first_sample = av_rescale_q(start, timeline, AVRational{1, input_rate});
    }
    if (first_sample != AV_NOPTS_VALUE) {
        std::snprintf(timing + length, sizeof timing - static_cast<std::size_t>(length),
                      ":first_pts=%" PRId64, first_sample);
    }
    return std::string(timing) + "," + chain_;
}

int StreamPipeline::configure_filters(const AVFrame& frame) {
    char arguments[512];
    if (video_) {
        AVRational pixel = frame.sample_aspect_ratio;
        if (pixel.num <= 0 || pixel.den <= 0) {
            pixel = AVRational{1, 1};
        }
        std::snprintf(arguments, sizeof arguments,
                      "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", frame.width,
                      frame.height, frame.format, timeline.num, timeline.den, pixel.num, pixel.den);
    } else {
        char layout_text[256];
        const int described = describe_layout(frame.ch_layout, layout_text, sizeof layout_text);
        if (described < 0) {
            return described;
        }
        const char* format = av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame.format));
        if (format == nullptr) {
            return AVERROR_INVALIDDATA;
        }
        std::snprintf(arguments, sizeof arguments,
                      "time_base=%d/%d:sample_rate=%d:sample_fmt=%s:channel_layout=%s",
                      timeline.num, timeline.den, frame.sample_rate, format, layout_text);
    }
    // The first graph starts at the input's start (or this stream's, see Settings); a graph
    // rebuilt midway where the previous one ended, so that nothing is given out twice.
    std::int64_t start = settings_.start_at_zero ? 0 : AV_NOPTS_VALUE;
    if (graph_end_ != AV_NOPTS_VALUE) {
        start = graph_end_;
    }
    int result =
        filters_.configure(video_ ? "buffer" : "abuffer", arguments,
                           timed_chain(start, frame.sample_rate), settings_.filter_threads);
    if (result < 0 && !settings_.chain_without_subtitles.empty()) {
        // Subtitles that cannot be read never stop the film: it goes on without them.
        chain_ = std::move(settings_.chain_without_subtitles);
        settings_.chain_without_subtitles.clear();
        subtitles_dropped_ = true;
        result = filters_.configure("buffer", arguments, timed_chain(start, frame.sample_rate),
                                    settings_.filter_threads);
    }
    if (result < 0) {
        return result;
    }
    graph_format_ = frame.format;
    graph_deinterlaces_ = deinterlace_;
    graph_width_ = frame.width;
    graph_height_ = frame.height;
    graph_rate_ = frame.sample_rate;
    av_channel_layout_uninit(&graph_layout_);
    result = av_channel_layout_copy(&graph_layout_, &frame.ch_layout);
    return result < 0 ? result : 0;
}

int StreamPipeline::configure_framing() {
    char layout_text[256];
    int result = describe_layout(encoder_.ch_layout, layout_text, sizeof layout_text);
    if (result < 0) {
        return result;
    }
    const char* format = av_get_sample_fmt_name(encoder_.sample_fmt);
    if (format == nullptr) {
        return AVERROR(EINVAL);
    }
    char arguments[512];
    std::snprintf(arguments, sizeof arguments,
                  "time_base=1/%d:sample_rate=%d:sample_fmt=%s:channel_layout=%s",
                  encoder_.sample_rate, encoder_.sample_rate, format, layout_text);
    result = framing_.configure("abuffer", arguments, "anull", 1);
    if (result < 0) {
        return result;
    }
    if (encoder_.frame_size > 0 &&
        !(encoder_.codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE)) {
        av_buffersink_set_frame_size(framing_.sink(), static_cast<unsigned>(encoder_.frame_size));
    }
    return 0;
}

int StreamPipeline::filter_frame(AVFrame& frame) {
    if (video_
            ? frame.width <= 0 || frame.height <= 0
            : frame.sample_rate <= 0 || frame.ch_layout.nb_channels <= 0 || frame.nb_samples <= 0) {
        decode_errors_.fetch_add(1, std::memory_order_relaxed); // a frame no graph can take
        return 0;
    }
    if (stopping_) {
        return 0;
    }
    std::int64_t time = expected_time_ != AV_NOPTS_VALUE ? expected_time_ : 0;
    if (frame.best_effort_timestamp != AV_NOPTS_VALUE) {
        const std::int64_t stated =
            av_rescale_q(frame.best_effort_timestamp, input_.time_base, timeline);
        // A coarse time base cannot say where within its tick a frame starts: one within a
        // tick of where the stream stands follows on from there.
        if (expected_time_ == AV_NOPTS_VALUE || std::llabs(stated - expected_time_) >= tick_) {
            time = stated;
        }
    }
    // A time that does not move forward would meet what the graph has given out already;
    // one past the limit is not wanted.
    if ((last_time_ != AV_NOPTS_VALUE && time <= last_time_) ||
        (time_limit_ != AV_NOPTS_VALUE && time >= time_limit_)) {
        return 0;
    }
    if (video_ && frame.interlaced_frame && !deinterlace_) {
        // Interlaced by its pictures though the stream did not say (DV), or from here on (a
        // broadcast that turns from progressive to interlaced): the graph is rebuilt to weave.
        deinterlace_ = true;
    }
    if (!video_ && frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        // The source was told a real layout of the same count.
        const int channels = frame.ch_layout.nb_channels;
        av_channel_layout_uninit(&frame.ch_layout);
        av_channel_layout_default(&frame.ch_layout, channels);
    }
    int result = 0;
    if (!filters_.configured()) {
        result = configure_filters(frame);
        if (result < 0) {
            return result;
        }
    }
    // Where this stream stands: a film's tracks start together at 0.
    std::int64_t from = expected_time_;
    if (from == AV_NOPTS_VALUE) {
        from = settings_.start_at_zero ? 0 : time;
    }
    // Sound that starts late gets its silence exactly: the graph's resampler leaves a gap
    // shorter than a tenth of a second unfilled, which would put the sound that much early.
    const bool sound_starts_late = !video_ && expected_time_ == AV_NOPTS_VALUE && time > from;
    if (time - from > fill_step || sound_starts_late) {
        if (beyond_fill(from, time)) {
            // No gap is that long: the time is damage, and the frame follows on.
            extent_.dropped_time = std::max(extent_.dropped_time, to_microseconds(time));
            extent_.ignored.count += 1;
            extent_.ignored.largest_offset =
                std::max(extent_.ignored.largest_offset,
                         static_cast<double>(time - from) / static_cast<double>(timeline_second));
            time = from;
        } else {
            result = fill_gap(frame, from, time);
            if (result < 0 || stopping_) {
                return result;
            }
        }
    }
    if (!frame_fits_graph(frame)) {
        // A stream that changes its picture size or sound format midway: what the old
        // graph holds goes out first, then a graph for the new shape takes over.
        result = close_graph();
        if (result >= 0) {
            result = configure_filters(frame);
        }
        if (result < 0) {
            return result;
        }
    }
    const std::int64_t end = time + frame_duration(frame);
    last_time_ = time;
    expected_time_ = end;
    result = add_to_graph(frame, time, end);
    if (result >= 0 && video_) {
        av_frame_unref(last_picture_.get());
        result = av_frame_ref(last_picture_.get(), &frame);
    }
    return result;
}

int StreamPipeline::fill_gap(const AVFrame& frame, std::int64_t from, std::int64_t to) {
    FramePtr filler(av_frame_alloc());
    if (!filler) {
        return AVERROR(ENOMEM);
    }
    int result = 0;
    if (video_) {
        result = av_frame_ref(filler.get(),
                              last_picture_->buf[0] != nullptr ? last_picture_.get() : &frame);
    } else {
        // A second of silence in the shape the graph takes.
        filler->format = graph_format_;
        filler->sample_rate = graph_rate_;
        filler->nb_samples = graph_rate_;
        result = av_channel_layout_copy(&filler->ch_layout, &graph_layout_);
        if (result >= 0) {
            result = av_frame_get_buffer(filler.get(), 0);
        }
        if (result >= 0) {
            result = av_samples_set_silence(filler->extended_data, 0, filler->nb_samples,
                                            filler->ch_layout.nb_channels,
                                            static_cast<AVSampleFormat>(filler->format));
        }
    }
    // Pictures leave the last part of a second to the graph; silence goes up to the end.
    const std::int64_t left_to_graph = video_ ? fill_step : 0;
    for (std::int64_t at = from; result >= 0 && to - at > left_to_graph; at += fill_step) {
        const std::int64_t step = std::min(fill_step, to - at);
        if (!video_) {
            filler->nb_samples = static_cast<int>(av_rescale(step, graph_rate_, timeline_second));
            if (filler->nb_samples <= 0) {
                break;
            }
        }
        result = add_to_graph(*filler, at, at + step);
        if (result >= 0 && settings_.go_on && !settings_.go_on()) {
            stopping_ = true;
        }
        if (stopping_) {
            break;
        }
    }
    return result;
}

bool StreamPipeline::beyond_fill(std::int64_t from, std::int64_t time) const {
    const std::int64_t longest = av_rescale_q(settings_.longest_gap, AV_TIME_BASE_Q, timeline);
    if (settings_.longest_gap > 0 && time - from > longest) {
        return true;
    }
    if (!settings_.furthest_fill) {
        return false;
    }
    const std::int64_t furthest = settings_.furthest_fill();
    return furthest != AV_NOPTS_VALUE && to_microseconds(time) > furthest;
}

int StreamPipeline::add_to_graph(AVFrame& frame, std::int64_t time, std::int64_t end) {
    graph_end_ = graph_end_ == AV_NOPTS_VALUE ? end : std::max(graph_end_, end);
    const std::int64_t reached = to_microseconds(end);
    if (reached > reached_.load(std::memory_order_relaxed)) {
        reached_.store(reached, std::memory_order_relaxed);
    }
    frame.pts = time;
    const int result =
        av_buffersrc_add_frame_flags(filters_.source(), &frame, AV_BUFFERSRC_FLAG_KEEP_REF);
    if (result < 0) {
        return result;
    }
    return drain_filters();
}

int StreamPipeline::close_graph() {
    if (!filters_.configured()) {
        return 0;
    }
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
        if (!video_) {
            if (loudness_) {
                loudness_->add(*frame);
            }
            result = frame_sound(frame);
            av_frame_unref(frame);
            if (result < 0) {
                return result;
            }
            continue;
        }
        if (frame->pts == AV_NOPTS_VALUE) {
            av_frame_unref(frame);
            continue;
        }
        frame->pts = av_rescale_q(frame->pts, av_buffersink_get_time_base(filters_.sink()),
                                  encoder_.time_base);
        if (last_encoded_pts_ != AV_NOPTS_VALUE && frame->pts <= last_encoded_pts_) {
            av_frame_unref(frame);
            continue;
        }
        last_encoded_pts_ = frame->pts;
        if (settings_.draw_on_picture) {
            result = settings_.draw_on_picture(
                *frame, av_rescale_q(frame->pts, encoder_.time_base, AV_TIME_BASE_Q));
            if (result < 0) {
                av_frame_unref(frame);
                return result;
            }
        }
        result = encode(*frame);
        av_frame_unref(frame);
        if (result < 0) {
            return result;
        }
    }
}

int StreamPipeline::frame_sound(AVFrame* frame) {
    if (!framing_.configured()) {
        if (frame == nullptr) {
            return 0;
        }
        const int result = configure_framing();
        if (result < 0) {
            return result;
        }
    }
    int result = 0;
    if (frame != nullptr) {
        if (next_sample_ == AV_NOPTS_VALUE) {
            next_sample_ =
                frame->pts == AV_NOPTS_VALUE
                    ? 0
                    : av_rescale_q(frame->pts, av_buffersink_get_time_base(filters_.sink()),
                                   AVRational{1, encoder_.sample_rate});
        }
        frame->pts = next_sample_;
        next_sample_ += frame->nb_samples;
        result = av_buffersrc_add_frame_flags(framing_.source(), frame, 0);
    } else {
        result = av_buffersrc_close(framing_.source(), next_sample_, 0);
    }
    if (result < 0) {
        return result;
    }
    AVFrame* framed = framed_.get();
    for (;;) {
        result = av_buffersink_get_frame(framing_.sink(), framed);
        if (again_or_end(result)) {
            return 0;
        }
        if (result < 0) {
            return result;
        }
        if (framed->pts != AV_NOPTS_VALUE) {
            framed->pts =
                av_rescale_q(framed->pts, AVRational{1, encoder_.sample_rate}, encoder_.time_base);
        }
        const bool short_last_frame =
            encoder_.frame_size > 0 && framed->nb_samples < encoder_.frame_size &&
            !(encoder_.codec->capabilities &
              (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE));
        result = short_last_frame ? 0 : encode(*framed);
        av_frame_unref(framed);
        if (result < 0) {
            return result;
        }
    }
}

int StreamPipeline::encode(AVFrame& frame) {
    frame.pict_type = AV_PICTURE_TYPE_NONE; // the encoder chooses
    if (encoder_thread_ == nullptr) {
        return output_.encode(&frame);
    }
#if MORVANE_THREAD_SANITIZER
    // A repeated picture shares its buffer with the one the graph keeps, and libavutil counts
    // their owners with atomics ThreadSanitizer cannot see: under it the encoder gets a copy
    // of its own, so that what it reports is about the threads of ours.
    const int result = av_frame_make_writable(&frame);
    if (result < 0) {
        return result;
    }
#endif
    return encoder_thread_->send(frame);
}

} // namespace morvane
