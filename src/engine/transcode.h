// SPDX-License-Identifier: GPL-3.0-or-later
// One conversion from start to end: encoders and pipelines set up from the plan, the read
// loop, and the end that finishes every stream and the file however reading ended. Every
// error comes back to run(), which turns it into the result.
#pragma once

#include "engine/conversion_plan.h"
#include "engine/conversion_result.h"
#include "engine/engine.h"
#include "engine/handoff_thread.h"
#include "engine/input_timeline.h"
#include "engine/media_input.h"
#include "engine/output_file.h"
#include "engine/progress_report.h"
#include "engine/progress_sink.h"
#include "engine/stream_encoder.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace morvane {

class SilentTrack;
class StreamPipeline;
class SubtitleStream;

class Transcode {
public:
    Transcode(MediaInput& input, const ConversionPlan& plan, ProgressSink* sink,
              const Engine::PacketMuxer& muxer);
    ~Transcode();
    Transcode(const Transcode&) = delete;
    Transcode& operator=(const Transcode&) = delete;

    ConversionResult run(const std::string& output_path);

private:
    // Each returns 0 or an FFmpeg error (reason_ set where the code says too little).
    int convert(const std::string& output_path);
    int set_up_pipelines();
    // The plan's subtitles, burned in or kept as a track: a track that cannot be read is
    // left out (subtitles_left_out_ says why), never failing the film.
    int set_up_subtitles();
    // The filters that burn the plan's text subtitles into the scaled picture; empty when it
    // burns none (or bitmaps, drawn by subtitles_).
    std::string text_subtitle_chain() const;
    int write_cover_art();
    int read_packets();
    int finish_pipelines();
    // A judged packet to its stream's pipeline (or nowhere). 0, 1 when it did not decode (no
    // report for it), or an FFmpeg error.
    int dispatch(AVPacket& packet, const std::vector<StreamPipeline*>& pipeline_of);
    // Each output track's end against its input stream's.
    void describe_tracks(ConversionResult& result) const;
    // What became of the plan's subtitles.
    void describe_subtitles(ConversionResult& result) const;
    // The end of the input's timeline converted so far (microseconds), by the stream furthest
    // on; whether every stream has come that far.
    std::int64_t position() const;
    bool all_reached(std::int64_t time) const;
    // Past where a gap of `filling` cannot be real (microseconds), AV_NOPTS_VALUE: no bound.
    std::int64_t furthest_fill(const StreamPipeline& filling) const;
    // Tells the sink the whole percentage of the input converted, at most once per its
    // interval and only when it changed; the final report always sends 100. False when the
    // sink asked to stop. From any thread (a long gap is filled where its stream runs).
    bool report_progress(bool final_report);
    int mux_packet(AVPacket& packet);

    MediaInput& input_;
    const ConversionPlan& plan_;
    ProgressSink* sink_;
    const Engine::PacketMuxer& muxer_;

    OutputFile output_;
    std::string reason_;
    std::string read_error_;
    std::atomic<bool> stopped_{false};
    std::int64_t packets_written_ = 0;
    std::int64_t pictures_written_ = 0;
    PacketPtr packet_; // the packet being read

    std::unique_ptr<InputTimeline> timeline_;
    std::atomic<std::int64_t> read_position_{0}; // bytes of the file the reader has passed
    std::atomic<bool> restarted_{false};         // recordings joined: the duration is the first's

    // Told from the reading and the filling threads, under progress_mutex_.
    std::mutex progress_mutex_;
    ProgressReport progress_{sink_};

    std::vector<std::unique_ptr<StreamPipeline>> pipelines_;
    // The sound's pipeline runs here when there are pictures too (declared after the
    // pipelines: it stops before they go).
    std::unique_ptr<HandoffThread<AVPacket>> sound_thread_;
    // Sound for pictures that have none.
    std::unique_ptr<StreamEncoder> silent_output_;
    std::unique_ptr<SilentTrack> silent_track_;
    // Where a sound that gave nothing is made silent up to (microseconds); set before the
    // pipelines finish.
    std::int64_t silence_until_ = 0;
    std::mutex mux_mutex_; // both threads write packets
    // The subtitles the plan shows, read from their stream's packets on the reading thread.
    std::unique_ptr<SubtitleStream> subtitles_;
    int subtitle_source_ = -1;
    std::string subtitles_left_out_;
};

} // namespace morvane
