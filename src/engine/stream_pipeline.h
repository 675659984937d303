// One input stream converted into one output stream: decoder, filter graph, encoder, and the
// hand-over of encoded packets. Errors are returned as FFmpeg codes and travel up to the
// caller, which alone releases anything.
#pragma once

#include "engine/ffmpeg_ptr.h"
#include "engine/filter_graph.h"

#include <cstdint>
#include <functional>
#include <string>

namespace morvane {

class StreamPipeline {
public:
    // Writes one encoded packet (stream index and timestamps already set); 0 or an error.
    using PacketWriter = std::function<int(AVPacket&)>;

    // `chain` is the filters between the decoded frames and the encoder ("scale=...,fps=...").
    StreamPipeline(AVStream& input, AVCodecContext& encoder, AVStream& output, std::string chain,
                   PacketWriter writer);
    ~StreamPipeline();
    StreamPipeline(const StreamPipeline&) = delete;
    StreamPipeline& operator=(const StreamPipeline&) = delete;

    // Opens the decoder. 0 or an FFmpeg error.
    int open(int decoder_threads, int filter_threads);

    // One packet of the input stream; the decoded frames are filtered, encoded and written.
    // A packet the decoder refuses is skipped (decode_errors counts it); the result is an
    // error only when nothing more can be written.
    int send_packet(const AVPacket& packet);

    // Drains decoder, filters and encoder, in that order. Always called, however reading
    // ended.
    int finish();

    int decode_errors() const { return decode_errors_; }
    const AVStream& input() const { return input_; }

private:
    // Takes every frame the decoder has ready.
    int receive_frames();
    // A decoded frame into the graph (built, or rebuilt when the frames change shape);
    // nullptr closes the graph.
    int filter_frame(AVFrame* frame);
    int configure_filters(const AVFrame& frame);
    bool frame_fits_graph(const AVFrame& frame) const;
    // Takes every filtered frame the graph has ready and encodes it.
    int drain_filters();
    // One frame (nullptr: the end) into the encoder, and every packet it gives out.
    int encode(AVFrame* frame);

    AVStream& input_;
    AVCodecContext& encoder_;
    AVStream& output_;
    std::string chain_;
    PacketWriter writer_;
    int filter_threads_ = 1;
    bool video_ = false;

    CodecContextPtr decoder_;
    FilterGraph filters_;
    FramePtr decoded_;
    FramePtr filtered_;
    PacketPtr encoded_;
    // The shape of the frames the graph was built for.
    int graph_width_ = 0, graph_height_ = 0, graph_format_ = -1, graph_rate_ = 0;
    AVChannelLayout graph_layout_{};
    // Where the last decoded frame ends (input time base): the end the graph is closed at,
    // so that the last picture lasts as long as it did in the input.
    std::int64_t input_end_ = AV_NOPTS_VALUE;
    std::int64_t typical_duration_ = 0; // of a frame, input time base
    // Where the next decoded frame is expected, for frames that come without a time.
    std::int64_t expected_pts_ = AV_NOPTS_VALUE;
    // The last picture handed to the encoder (encoder time base): encoders refuse a time
    // that does not increase, which a graph rebuilt midway could give.
    std::int64_t last_encoded_pts_ = AV_NOPTS_VALUE;
    std::int64_t last_written_dts_ = AV_NOPTS_VALUE;
    int decode_errors_ = 0;
};

} // namespace morvane
