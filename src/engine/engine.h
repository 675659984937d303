// The transcoding engine: converts one input file into one output file for a device.
//
// Calling order per file: open_input_file, the option setters, open_output_file, transcode,
// close_engine_files. Results: 0 success; open_input_file 1, open_output_file and transcode 2
// for a failure with a message; transcode -12 for an allocation or header failure. Every
// fatal error releases the open files itself. One Engine converts one file at a time and is
// used from one thread; progress and the stop request go through TranscodeProgress.
#pragma once

#include "engine/engine_options.h"
#include "engine/engine_tables.h"
#include "engine/transcode_progress.h"

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace morvane {

class Engine {
public:
    // Receives each diagnostic line (with its newline); the default writes to stderr.
    using MessageSink = std::function<void(std::string_view)>;

    static constexpr int open_input_failed = 1;
    static constexpr int output_failed = 2;
    static constexpr int setup_failed_hard = -12;

    Engine();
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    void set_message_sink(MessageSink sink);

    bool reset_engine(TranscodeProgress& progress);
    int open_input_file(TranscodeProgress& progress, const std::string& path);
    void set_frame_rate_preset(int preset);
    int set_frame_size_fit(const std::string& size_text);
    int open_output_file(const std::string& path);
    int transcode(TranscodeProgress& progress);
    void close_engine_files();

    // Called by the packet loop after every packet and once at the end (final_report).
    // Tells the sink the whole percentage of the input read, at most every 0.5 s and only
    // when it changed; the final report always sends 100. Returns false when the sink asked
    // to stop.
    bool report_progress(TranscodeProgress& progress, std::size_t output_stream_count,
                         bool final_report);

    // Why the last open_input_file, open_output_file or transcode failed: FFmpeg's own text
    // where FFmpeg gave one, e.g. "No space left on device". Empty after a success or a stop.
    const std::string& last_error() const { return last_error_; }

    EngineOptions& options() { return options_; }
    const EngineOptions& options() const { return options_; }
    const EngineTables& tables() const { return tables_; }

private:
    enum class Step { ok, decode_error, fatal };

    struct StreamTypes {
        bool video = false;
        bool audio = false;
        bool subtitle = false;
    };

    // Output set-up.
    // A new stream and its encoder context: the codec asked for, else the one the container
    // suggests for the file name. Null when either cannot be had.
    AVCodecContext* add_encoder_stream(OutputFile& file, const std::string& path, AVMediaType type,
                                       AVCodecID codec_override);
    bool add_video_stream(OutputFile& file, const std::string& path);
    bool add_audio_stream(OutputFile& file, const std::string& path);
    bool add_subtitle_stream(OutputFile& file, const std::string& path);
    StreamTypes probe_input_stream_types() const;

    // Transcode set-up and packet loop.
    int set_up_transcode();
    int set_up_output_stream(OutputStreamRecord& output);
    int open_codecs();
    int run_packet_loop(TranscodeProgress& progress);
    int choose_input_file() const;
    void absorb_timestamp_jump(InputStreamRecord& input, AVPacket& packet);
    Step process_input_packet(InputStreamRecord& input, const AVPacket* packet);
    Step hand_on_frame(InputStreamRecord& input, AVFrame& frame);
    Step process_subtitle_packet(InputStreamRecord& input, const AVPacket* packet);
    Step drain_encoders(const InputStreamRecord& input);
    Step write_output_packet(OutputStreamRecord& output, AVPacket& packet);
    // Writes every packet the encoder has ready; `last_size` gets the size of the last one.
    Step receive_and_write_packets(OutputStreamRecord& output, int* last_size = nullptr);
    void release_transcode_records();

    // Output paths.
    Step encode_audio_frame(OutputStreamRecord& output, InputStreamRecord& input,
                            const std::uint8_t* samples, int byte_count,
                            const AVChannelLayout& input_layout, int input_rate);
    Step encode_audio_block(OutputStreamRecord& output, int sample_count);
    Step encode_video_frame(OutputStreamRecord& output, InputStreamRecord& input, AVFrame& frame,
                            int& encoded_size);
    Step send_video_copies(OutputStreamRecord& output, AVFrame& picture, std::int64_t copies,
                           int& encoded_size);
    Step finish_video_stream(OutputStreamRecord& output, const InputStreamRecord& input);
    Step encode_subtitle(OutputStreamRecord& output, InputStreamRecord& input, AVSubtitle& subtitle,
                         std::int64_t pts);
    void message(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // A fatal error: writes the message (none when `format` is null), releases every open
    // file and the conversion's records, and gives `result` back.
    int fail(int result, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void vmessage(const char* format, va_list arguments);

    EngineOptions options_;
    EngineTables tables_;
    MessageSink message_sink_;
    std::string last_error_;
    // Wall-clock time of the last periodic report; -1 until the first one. Never reset, so
    // the first report of a new file still waits out the throttle.
    std::int64_t last_report_time_ = -1;
    PacketPtr packet_;         // the packet being read
    PacketPtr encoded_packet_; // the packet being written
    FramePtr decoded_frame_;
    std::vector<std::uint8_t> subtitle_buffer_;
};

} // namespace morvane
