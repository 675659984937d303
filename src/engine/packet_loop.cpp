// transcode: set-up, the read loop, and the end that finishes every stream and the file
// however reading ended. Every error comes back to transcode, the one place that releases.
#include "engine/engine.h"
#include "engine/ffmpeg_error.h"
#include "engine/pipeline_thread.h"
#include "engine/silent_track.h"
#include "engine/stream_pipeline.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace morvane {

namespace {

std::int64_t to_microseconds(std::int64_t timestamp, AVRational time_base) {
    return av_rescale_q(timestamp, time_base, AV_TIME_BASE_Q);
}

// Demuxers that answer "try again" for a file are given this many tries in a row.
constexpr int max_read_retries = 1000;

} // namespace

int Engine::transcode(TranscodeProgress& progress) {
    last_error_.clear();
    input_error_.clear();
    tables_.packets_written = 0;
    tables_.pictures_written = 0;
    const int result = run_transcode(progress);
    release_pipelines();
    next_dts_.clear();
    last_dts_.clear();
    if (result >= 0) {
        return 0;
    }
    set_error(result);
    // A failed conversion leaves nothing behind: the file it was writing goes too.
    std::vector<std::string> written;
    for (const OutputFile& file : tables_.output_files) {
        if (file.container->pb != nullptr) {
            written.push_back(file.path);
        }
    }
    close_engine_files();
    for (const std::string& path : written) {
        std::remove(path.c_str());
    }
    return output_failed;
}

int Engine::run_transcode(TranscodeProgress& progress) {
    if (tables_.input_files.size() != 1 || tables_.output_files.size() != 1) {
        message("Open one input and one output file before converting\n");
        return AVERROR(EINVAL);
    }
    InputFile& input = tables_.input_files.front();
    OutputFile& output = tables_.output_files.front();
    if (output.video_encoder == nullptr && output.audio_encoder == nullptr) {
        message("Output file does not contain any stream\n");
        return AVERROR_STREAM_NOT_FOUND;
    }
    int result = set_up_pipelines(input, output);
    if (result < 0) {
        return result;
    }
    result = avformat_write_header(output.container.get(), nullptr);
    if (result < 0) {
        message("Could not write header for output file #0 (incorrect codec parameters ?)\n");
        return result;
    }
    if (output.cover_art_stream != nullptr) {
        // The picture goes first: the MP3 muxer holds the sound back until it has it.
        const AVStream* source = input.container->streams[input.streams.cover_art];
        AVPacket* packet = packet_.get();
        result = av_packet_ref(packet, &source->attached_pic);
        if (result < 0) {
            return result;
        }
        packet->stream_index = output.cover_art_stream->index;
        packet->pts = packet->dts = 0;
        packet->flags |= AV_PKT_FLAG_KEY;
        result = mux_packet(*packet);
        av_packet_unref(packet);
        if (result < 0) {
            return result;
        }
    }

    if (pipelines_.size() > 1) {
        for (auto& pipeline : pipelines_) {
            if (pipeline->input().codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
                sound_thread_ = std::make_unique<PipelineThread>(
                    *pipeline, static_cast<std::size_t>(options_.sound_queue_packets));
                result = sound_thread_->start();
                if (result < 0) {
                    return result;
                }
            }
        }
    }
    result = read_packets(progress, input);
    if (result < 0) {
        return result;
    }
    // However reading ended (the end, a stop), every stream is drained so that the file is
    // complete.
    result = finish_pipelines();
    if (result >= 0 && silent_track_ != nullptr) {
        result = silent_track_->finish(position());
    }
    if (result < 0) {
        return result;
    }
    result = av_write_trailer(output.container.get());
    if (result < 0) {
        message("Could not write trailer for output file #0: %s\n",
                ffmpeg_error_text(result).c_str());
        return result;
    }
    if (output.container->pb != nullptr) {
        avio_flush(output.container->pb);
        if (output.container->pb->error < 0) {
            return output.container->pb->error;
        }
    }
    progress.position = position();
    report_progress(progress, pipelines_.size(), true);
    return 0;
}

std::int64_t Engine::position() const {
    std::int64_t reached = 0;
    for (const auto& pipeline : pipelines_) {
        reached = std::max(reached, pipeline->reached());
    }
    return reached;
}

int Engine::finish_pipelines() {
    for (auto& pipeline : pipelines_) {
        const bool threaded = sound_thread_ != nullptr &&
                              pipeline->input().codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
        if (!threaded) {
            const int result = pipeline->finish();
            if (result < 0) {
                return result;
            }
        }
    }
    return sound_thread_ != nullptr ? sound_thread_->finish() : 0;
}

int Engine::read_packets(TranscodeProgress& progress, InputFile& input) {
    AVFormatContext* container = input.container.get();
    std::vector<StreamPipeline*> pipeline_of(container->nb_streams, nullptr);
    for (auto& pipeline : pipelines_) {
        pipeline_of[static_cast<std::size_t>(pipeline->input().index)] = pipeline.get();
    }
    const bool discontinuous = (container->iformat->flags & AVFMT_TS_DISCONT) != 0;
    // Streams of other files are expected from the file's start on.
    next_dts_.assign(container->nb_streams, discontinuous ? AV_NOPTS_VALUE : 0);
    last_dts_.assign(container->nb_streams, AV_NOPTS_VALUE);

    AVPacket* packet = packet_.get();
    int retries = 0;
    for (;;) {
        int result = av_read_frame(container, packet);
        if (result == AVERROR(EAGAIN) && ++retries < max_read_retries) {
            continue;
        }
        retries = 0;
        if (result == AVERROR_EOF) {
            return 0;
        }
        if (result < 0) {
            // What was read so far still makes a complete file; the caller hears why it is
            // shorter.
            input_error_ = ffmpeg_error_text(result);
            message("Error while reading the input: %s\n", input_error_.c_str());
            return 0;
        }
        const auto index = static_cast<std::size_t>(packet->stream_index);
        StreamPipeline* pipeline = index < pipeline_of.size() ? pipeline_of[index] : nullptr;
        if (pipeline == nullptr) {
            av_packet_unref(packet);
        } else {
            const AVRational time_base = container->streams[index]->time_base;
            const std::int64_t offset = av_rescale_q(input.ts_offset, AV_TIME_BASE_Q, time_base);
            if (packet->dts != AV_NOPTS_VALUE) {
                packet->dts += offset;
            }
            if (packet->pts != AV_NOPTS_VALUE) {
                packet->pts += offset;
            }
            correct_timestamps(input, *packet, discontinuous);
            const bool threaded =
                sound_thread_ != nullptr &&
                container->streams[index]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
            if (threaded) {
                result = sound_thread_->send(*packet);
                if (result < 0) {
                    return result;
                }
            } else {
                const int errors_before = pipeline->decode_errors();
                result = pipeline->send_packet(*packet);
                av_packet_unref(packet);
                if (result < 0) {
                    return result;
                }
                if (pipeline->decode_errors() != errors_before) {
                    message("Error while decoding stream #0.%zu\n", index);
                    continue; // no report for a packet that did not decode
                }
            }
        }
        progress.bytes_read = avio_tell(input.io.get());
        progress.position = position();
        if (silent_track_ != nullptr) {
            result = silent_track_->fill_to(progress.position);
            if (result < 0) {
                return result;
            }
        }
        if (!report_progress(progress, pipelines_.size(), false)) {
            return 0;
        }
        if (options_.recording_time > 0 && all_reached(options_.recording_time)) {
            return 0;
        }
    }
}

bool Engine::all_reached(std::int64_t time) const {
    return std::all_of(pipelines_.begin(), pipelines_.end(),
                       [time](const auto& pipeline) { return pipeline->reached() >= time; });
}

void Engine::correct_timestamps(InputFile& input, AVPacket& packet, bool discontinuous) {
    const auto index = static_cast<std::size_t>(packet.stream_index);
    const AVRational time_base = input.container->streams[index]->time_base;
    std::int64_t& next_dts = next_dts_[index];
    std::int64_t& last_dts = last_dts_[index];
    if (discontinuous) {
        if (packet.dts == AV_NOPTS_VALUE) {
            return;
        }
        const std::int64_t dts = to_microseconds(packet.dts, time_base);
        const auto threshold = static_cast<std::int64_t>(options_.dts_delta_threshold * 1e6);
        if (next_dts != AV_NOPTS_VALUE) {
            const std::int64_t delta = dts - next_dts;
            if (std::llabs(delta) > threshold ||
                (last_dts != AV_NOPTS_VALUE && dts + 1 < last_dts)) {
                // The clock restarted: the whole file's offset follows it.
                input.ts_offset -= delta;
                const std::int64_t stream_delta = av_rescale_q(delta, AV_TIME_BASE_Q, time_base);
                packet.dts -= stream_delta;
                if (packet.pts != AV_NOPTS_VALUE) {
                    packet.pts -= stream_delta;
                }
            }
        }
    } else {
        const auto threshold = static_cast<std::int64_t>(options_.dts_error_threshold * 1e6);
        const auto far = [&](std::int64_t timestamp) {
            return timestamp != AV_NOPTS_VALUE &&
                   std::llabs(to_microseconds(timestamp, time_base) - next_dts) > threshold;
        };
        if (far(packet.dts)) {
            packet.dts = AV_NOPTS_VALUE;
        }
        if (far(packet.pts)) {
            packet.pts = AV_NOPTS_VALUE;
        }
        if (packet.dts == AV_NOPTS_VALUE) {
            // The stream's own clock carries on; the decoder dates the frame from it.
            if (packet.duration > 0) {
                next_dts += to_microseconds(packet.duration, time_base);
            }
            return;
        }
    }
    last_dts = to_microseconds(packet.dts, time_base);
    next_dts = last_dts;
    if (packet.duration > 0) {
        next_dts += to_microseconds(packet.duration, time_base);
    }
}

int Engine::mux_packet(AVPacket& packet) {
    const std::lock_guard lock(mux_mutex_);
    const OutputFile& output = tables_.output_files.front();
    // The muxer leaves the packet blank.
    const bool picture =
        output.video_stream != nullptr && packet.stream_index == output.video_stream->index;
    const int result = packet_muxer_(output.container.get(), &packet);
    if (result < 0) {
        message("Could not write a packet to output file #0: %s\n",
                ffmpeg_error_text(result).c_str());
        return result;
    }
    tables_.packets_written += 1;
    tables_.pictures_written += picture ? 1 : 0;
    return 0;
}

} // namespace morvane
