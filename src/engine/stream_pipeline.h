// SPDX-License-Identifier: GPL-3.0-or-later
// One input stream converted into one output stream: decoder, filter graph, encoder, and the
// hand-over of encoded packets. Errors are returned as FFmpeg codes and travel up to the
// caller, which alone releases anything.
//
// Each stream keeps its own clock, counted in a unit fine enough for one sample of any usual
// rate: its frames enter the graph only while their time moves forward, a frame without a
// time follows its predecessor, a gap in their times stays a gap of this stream (filled step
// by step with the last picture or with silence, or, when longer than any gap worth filling,
// closed by dropping the bad time), and a graph rebuilt midway starts exactly where the one
// before it ended and is closed at the end of what it was fed.
#pragma once

#include "engine/conversion_result.h"
#include "engine/ffmpeg_ptr.h"
#include "engine/filter_graph.h"
#include "engine/handoff_thread.h"
#include "engine/loudness_meter.h"
#include "engine/stream_encoder.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace morvane {

class StreamPipeline {
public:
    using PacketWriter = StreamEncoder::PacketWriter;

    struct Settings {
        int decoder_threads = 1;
        int filter_threads = 1;
        std::int64_t max_pixels = 0; // larger pictures are refused by the decoder; 0: any
        // Microseconds of the input's timeline: frames from there on are left out; 0: none.
        std::int64_t time_limit = 0;
        // The output starts at the input's time 0 (the picture's first frame repeated, or
        // silence, before a stream that starts late), so that tracks keep their places
        // relative to each other; otherwise at this stream's first frame.
        bool start_at_zero = false;
        // Encoding on a thread of its own, beside the decoding and filtering: the decoded
        // pictures are shaped as they come, so that only small ones wait.
        bool encoder_on_own_thread = false;
        // Pictures: the change of frame rate comes before the shaping chain, so that pictures
        // it drops are never scaled (for sources faster than the output); otherwise after it,
        // so that pictures it repeats are scaled once.
        bool rate_change_first = false;
        // The decoder may leave out the smoothing of pictures no other picture is predicted
        // from: invisible once the picture is made several times smaller.
        bool skip_unseen_smoothing = false;
        // Microseconds: a gap in the stream's times longer than this is not filled; the time
        // after it is taken for damage and dropped. 0: no bound.
        std::int64_t longest_gap = 0;
        // Microseconds of the input's timeline that no gap is filled past either (where the
        // other streams are, or the input's length); AV_NOPTS_VALUE: no bound. Asked from the
        // thread that fills. Empty: no bound.
        std::function<std::int64_t()> furthest_fill;
        // The pictures are interlaced by what the stream says: fields are woven from the
        // first picture. Pictures flagged interlaced turn it on where they start.
        bool deinterlace = false;
        // The sound's integrated loudness is measured on its way to the encoder.
        bool measure_loudness = false;
        // Asked between the steps of a long fill (from the thread that fills); false stops
        // the stream: nothing more enters its graph.
        std::function<bool()> go_on;
        // Pictures: the shaping chain without the subtitles it burns in (empty: it burns
        // none), taken when a graph with them cannot be built (a track that cannot be read).
        std::string chain_without_subtitles;
        // Pictures: called with each shaped picture and its time (microseconds of the input's
        // timeline) before it is encoded, on the thread that feeds the pipeline. 0 or an
        // FFmpeg error.
        std::function<int(AVFrame&, std::int64_t)> draw_on_picture;
    };

    // What the stream gave out, in microseconds of the input's timeline.
    struct Extent {
        std::int64_t end = AV_NOPTS_VALUE; // of the last frame encoded
        // The latest time of a frame that was dropped as damage (a gap beyond any worth
        // filling), AV_NOPTS_VALUE when none was.
        std::int64_t dropped_time = AV_NOPTS_VALUE;
        // The integrated loudness, when measured (LUFS).
        std::optional<double> loudness;
        // Times of decoded frames taken for damage (a gap beyond any worth filling).
        ConversionResult::IgnoredStamps ignored;
    };

    // `chain` is the filters that shape the decoded frames for the encoder ("scale=...,
    // format=..."); the pipeline adds the ones that keep time (fps, aresample).
    StreamPipeline(AVStream& input, AVCodecContext& encoder, AVStream& output, std::string chain,
                   PacketWriter writer);
    ~StreamPipeline();
    StreamPipeline(const StreamPipeline&) = delete;
    StreamPipeline& operator=(const StreamPipeline&) = delete;

    // Opens the decoder. 0 or an FFmpeg error.
    int open(const Settings& settings);

    // One packet of the input stream; the decoded frames are filtered, encoded and written.
    // A packet the decoder refuses is skipped (decode_errors counts it); the result is an
    // error only when nothing more can be written.
    int send_packet(const AVPacket& packet);

    // Drains decoder, filters and encoder, in that order. Always called, however reading
    // ended. A sound that gave no frame at all is made silent up to `silence_until`
    // (microseconds of the input's timeline, 0: not), so that a film keeps its sound track.
    int finish(std::int64_t silence_until = 0);

    int decode_errors() const { return decode_errors_.load(std::memory_order_relaxed); }
    // Whether the last packet sent could not be decoded (the file may be cut there).
    bool last_packet_failed() const { return last_packet_failed_.load(std::memory_order_relaxed); }
    // Once finish() returned.
    Extent extent() const { return extent_; }
    const AVStream& input() const { return input_; }
    // Where the frames decoded so far end in the input's timeline (microseconds); read from
    // any thread.
    std::int64_t reached() const { return reached_.load(std::memory_order_relaxed); }
    // The subtitles of the chain were left out: no graph could be built with them.
    bool subtitles_dropped() const { return subtitles_dropped_; }

private:
    // Takes every frame the decoder has ready.
    int receive_frames();
    // A decoded frame into the graph (built, or rebuilt when the frames change shape).
    int filter_frame(AVFrame& frame);
    // Feeds the graph from `from` to `to` (timeline units) with the last picture or silence
    // shaped like `frame`, one step at a time, asking go_on between steps. Silence fills the
    // whole gap exactly; the graph's frame rate filter repeats the picture over the rest.
    int fill_gap(const AVFrame& frame, std::int64_t from, std::int64_t to);
    // One frame at `time` (timeline units) into the graph, and what comes out encoded.
    int add_to_graph(AVFrame& frame, std::int64_t time, std::int64_t end);
    // After the last frame: the graph closed and drained, the encoder drained.
    int finish_filters();
    // Lets the graph give out all it holds, up to the end of what it was fed.
    int close_graph();
    int configure_filters(const AVFrame& frame);
    // The sound's frames cut to the encoder's frame size, by a graph that lives as long as
    // the stream, so that a rebuilt graph leaves no short frame behind.
    int configure_framing();
    // Whether a gap up to `time` (timeline units) cannot be real: longer than any worth
    // filling, or past where the rest of the input is.
    bool beyond_fill(std::int64_t from, std::int64_t time) const;
    // The shaping chain with the timing filter, starting at `start` (timeline units) or, with
    // AV_NOPTS_VALUE, at the first frame.
    std::string timed_chain(std::int64_t start, int input_rate) const;
    bool frame_fits_graph(const AVFrame& frame) const;
    std::int64_t frame_duration(const AVFrame& frame) const;
    // Takes every filtered frame the graph has ready and encodes it.
    int drain_filters();
    // The sound's frames, counted on from where the last ended, into the framing graph; every
    // frame it has ready encoded.
    int frame_sound(AVFrame* frame);
    // A frame to the encoder, here or on its own thread.
    int encode(AVFrame& frame);

    AVStream& input_;
    AVCodecContext& encoder_;
    std::string chain_;
    StreamEncoder output_;
    Settings settings_;
    bool video_ = false;
    std::optional<LoudnessMeter> loudness_;

    CodecContextPtr decoder_;
    FilterGraph filters_;
    FilterGraph framing_;
    FramePtr decoded_;
    FramePtr filtered_;
    FramePtr framed_;
    // The last picture let into the graph, repeated over a gap.
    FramePtr last_picture_;
    // The shape of the frames the graph was built for, and whether it weaves fields.
    int graph_width_ = 0, graph_height_ = 0, graph_format_ = -1, graph_rate_ = 0;
    bool graph_deinterlaces_ = false;
    bool deinterlace_ = false; // pictures from here on may be interlaced
    AVChannelLayout graph_layout_{};
    // Timeline units (see stream_pipeline.cpp): where the current graph's fed frames end (the
    // time it is closed at), and the limit no frame may reach.
    std::int64_t graph_end_ = AV_NOPTS_VALUE;
    std::int64_t time_limit_ = AV_NOPTS_VALUE;
    std::int64_t typical_duration_ = 0; // of a picture
    std::int64_t tick_ = 1;             // one unit of the input's time base
    // The last frame let into a graph, and where the next one is expected.
    std::int64_t last_time_ = AV_NOPTS_VALUE;
    std::int64_t expected_time_ = AV_NOPTS_VALUE;
    std::atomic<std::int64_t> reached_{0};
    // Sound: samples given out so far at the encoder's rate, counted from the first one's
    // time; every graph's output continues this count exactly.
    std::int64_t next_sample_ = AV_NOPTS_VALUE;
    // The last picture handed to the encoder (encoder time base): a rebuilt graph's first
    // picture may round onto it.
    std::int64_t last_encoded_pts_ = AV_NOPTS_VALUE;
    std::int64_t silence_until_ = 0; // see finish()
    bool stopping_ = false;          // go_on said no: nothing more enters the graph
    bool subtitles_dropped_ = false;
    Extent extent_;
    std::atomic<int> decode_errors_{0};
    std::atomic<bool> last_packet_failed_{false};
    // Last: stopped before anything it works with goes.
    std::unique_ptr<HandoffThread<AVFrame>> encoder_thread_;
};

} // namespace morvane
