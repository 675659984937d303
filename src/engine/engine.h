// The transcoding engine: converts one input file into one output file for a device.
//
// Calling order per file: open_input_file, the option setters, open_output_file, transcode,
// close_engine_files. Results: 0 success; open_input_file 1, open_output_file and transcode 2
// for a failure, whose reason last_error() gives. A failed operation releases the open files
// itself (and a failed transcode removes the output it was writing). One Engine converts one
// file at a time and is used from one thread; progress and the stop request go through
// TranscodeProgress.
#pragma once

#include "engine/engine_options.h"
#include "engine/engine_tables.h"
#include "engine/transcode_progress.h"

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

class PipelineThread;
class StreamPipeline;

class Engine {
public:
    // Receives each diagnostic line (with its newline); the default writes to stderr.
    using MessageSink = std::function<void(std::string_view)>;
    // Hands one packet to the muxer; av_interleaved_write_frame unless a test replaces it.
    using PacketMuxer = std::function<int(AVFormatContext*, AVPacket*)>;

    static constexpr int open_input_failed = 1;
    static constexpr int output_failed = 2;

    Engine();
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    void set_message_sink(MessageSink sink);
    void set_packet_muxer(PacketMuxer muxer);

    bool reset_engine(TranscodeProgress& progress);
    int open_input_file(TranscodeProgress& progress, const std::string& path);
    void set_frame_rate_preset(int preset);
    // The displayed picture size recorded by open_input_file, fitted into `size_text`
    // ("320x240"): the scaled size and the centring pads.
    int set_frame_size_fit(const std::string& size_text);
    int open_output_file(const std::string& path);
    int transcode(TranscodeProgress& progress);
    void close_engine_files();

    // Why the last open_input_file, open_output_file or transcode failed: FFmpeg's own text
    // (av_strerror), e.g. "No space left on device", "Invalid data found when processing
    // input". Empty after a success or a stop.
    const std::string& last_error() const { return last_error_; }

    // Called by the packet loop after every packet and once at the end (final_report).
    // Tells the sink the whole percentage of the input read, at most every 0.5 s and only
    // when it changed; the final report always sends 100. Returns false when the sink asked
    // to stop.
    bool report_progress(TranscodeProgress& progress, std::size_t output_stream_count,
                         bool final_report);

    EngineOptions& options() { return options_; }
    const EngineOptions& options() const { return options_; }
    const EngineTables& tables() const { return tables_; }

private:
    // Output set-up; each returns 0 or an FFmpeg error.
    int add_video_stream(OutputFile& file);
    int add_audio_stream(OutputFile& file);
    int add_cover_art_stream(OutputFile& file, const AVStream& source);
    AVCodecContext* new_encoder(OutputFile& file, AVMediaType type, AVCodecID codec_override,
                                AVStream*& stream);

    // The conversion itself; every error comes back here as an FFmpeg code.
    int run_transcode(TranscodeProgress& progress);
    int set_up_pipelines(InputFile& input, OutputFile& output);
    std::string video_filter_chain(const AVStream& source, const AVCodecContext& encoder) const;
    std::string audio_filter_chain(const AVCodecContext& encoder) const;
    int read_packets(TranscodeProgress& progress, InputFile& input);
    int finish_pipelines();
    void release_pipelines();
    // Moves the file's clock so that a jump in a stream's decoding times disappears. Formats
    // that declare discontinuities (MPEG-TS and alike) lose every jump beyond the threshold;
    // others only forward jumps beyond a minute, which only damage makes, and which would
    // otherwise be filled with repeated pictures and silence.
    void absorb_timestamp_jump(const InputFile& input, AVPacket& packet, bool discontinuous);
    int mux_packet(AVPacket& packet);

    // Records the reason of a failure from an FFmpeg code.
    void set_error(int error_code);
    void message(const char* format, ...) __attribute__((format(printf, 2, 3)));

    EngineOptions options_;
    EngineTables tables_;
    MessageSink message_sink_;
    PacketMuxer packet_muxer_;
    std::string last_error_;
    // Wall-clock time of the last periodic report; -1 until the first one. Never reset, so
    // the first report of a new file still waits out the throttle.
    std::int64_t last_report_time_ = -1;
    PacketPtr packet_; // the packet being read

    // Built by transcode and released before it returns.
    std::vector<std::unique_ptr<StreamPipeline>> pipelines_;
    // The sound's pipeline runs here when there are pictures too (declared after the
    // pipelines: it stops before they go).
    std::unique_ptr<PipelineThread> sound_thread_;
    std::mutex mux_mutex_;     // both threads write packets
    std::mutex message_mutex_; // and may say why they failed
    // Per input stream, while reading: where its decoding time stands (microseconds).
    std::vector<std::int64_t> next_dts_;
    std::vector<std::int64_t> last_dts_;
};

} // namespace morvane
