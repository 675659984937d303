// The transcoding engine: converts one input file into one output file for a device.
//
// Calling order per file: open_input_file, the option setters, open_output_file, transcode,
// close_engine_files. Results: 0 success; open_input_file 1, open_output_file and transcode 2
// for a failure, whose reason last_error() gives. A failed operation releases the open files
// itself (and a failed transcode removes the output it was writing). One Engine converts one
// file at a time and is used from one thread; progress and the stop request go through
// TranscodeProgress.
//
// An input is read as a file and nothing else: no other protocol, no demuxer that opens
// further files named inside it (playlists, lists of files), no picture above 8K.
#pragma once

#include "engine/engine_options.h"
#include "engine/engine_tables.h"
#include "engine/transcode_progress.h"

#include <chrono>
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
class SilentTrack;
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
    // How often the sink hears of progress at most (half a second unless changed).
    void set_report_interval(std::chrono::microseconds interval) { report_interval_ = interval; }

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
    // Why the last transcode stopped reading before the end of its input (FFmpeg's text for a
    // read error); empty when it read to the end or was stopped. The output is still complete
    // up to there.
    const std::string& input_error() const { return input_error_; }

    // Called by the packet loop after every packet and once at the end (final_report).
    // Tells the sink the whole percentage of the input converted (TranscodeProgress), at most
    // once per report interval and only when it changed; the final report always sends 100.
    // Returns false when the sink asked to stop.
    bool report_progress(TranscodeProgress& progress, std::size_t output_stream_count,
                         bool final_report);

    EngineOptions& options() { return options_; }
    const EngineOptions& options() const { return options_; }
    const EngineTables& tables() const { return tables_; }

private:
    // Opens and probes the file into a new entry of the input table; 0 or an FFmpeg error
    // (last_error_ set where a refusal says more than the code).
    int open_input_container(const std::string& path);
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
    // Formats that declare discontinuities (MPEG-TS and alike) restart their clock: a jump
    // beyond the threshold moves the file's offset so that it disappears. Elsewhere a stream's
    // timestamps are its own: a gap stays a gap of that stream, and a time hours away from
    // where the stream stands is damage, dropped for that packet only.
    void correct_timestamps(InputFile& input, AVPacket& packet, bool discontinuous);
    // The end of the input's timeline converted so far (microseconds), by the stream
    // furthest on; whether every stream has come that far.
    std::int64_t position() const;
    bool all_reached(std::int64_t time) const;
    int mux_packet(AVPacket& packet);

    // Records the reason of a failure from an FFmpeg code.
    void set_error(int error_code);
    void message(const char* format, ...) __attribute__((format(printf, 2, 3)));

    EngineOptions options_;
    EngineTables tables_;
    MessageSink message_sink_;
    PacketMuxer packet_muxer_;
    std::string last_error_;
    std::string input_error_;
    bool other_file_refused_ = false; // the input asked to open another file
    std::chrono::microseconds report_interval_{500000};
    // Wall-clock time of the last periodic report; -1 until the first one. Never reset, so
    // the first report of a new file still waits out the throttle.
    std::int64_t last_report_time_ = -1;
    PacketPtr packet_; // the packet being read

    // Built by transcode and released before it returns.
    std::vector<std::unique_ptr<StreamPipeline>> pipelines_;
    // The sound's pipeline runs here when there are pictures too (declared after the
    // pipelines: it stops before they go).
    std::unique_ptr<PipelineThread> sound_thread_;
    // Sound for pictures that have none.
    std::unique_ptr<SilentTrack> silent_track_;
    std::mutex mux_mutex_;     // both threads write packets
    std::mutex message_mutex_; // and may say why they failed
    // Per input stream, while reading: where its decoding time stands and where the next
    // packet is expected (microseconds).
    std::vector<std::int64_t> next_dts_;
    std::vector<std::int64_t> last_dts_;
};

} // namespace morvane
