// transcode: set-up, the read loop, and the end that finishes every stream and the file
// however reading ended. Every error comes back to transcode, the one place that releases.
#include "engine/engine.h"
#include "engine/ffmpeg_error.h"
#include "engine/pipeline_thread.h"
#include "engine/stream_pipeline.h"

#include <cstdio>
#include <cstdlib>

namespace morvane {

namespace {

std::int64_t to_microseconds(std::int64_t timestamp, AVRational time_base) {
    return av_rescale_q(timestamp, time_base, AV_TIME_BASE_Q);
}

// A longer forward jump in a file that declares no discontinuities is damage (a real gap, a
// paused recording, is shorter).
constexpr std::int64_t max_forward_gap = 60 * std::int64_t{AV_TIME_BASE};

// Demuxers that answer "try again" for a file are given this many tries in a row.
constexpr int max_read_retries = 1000;

} // namespace

int Engine::transcode(TranscodeProgress& progress) {
    last_error_.clear();
    tables_.packets_written = 0;
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
    report_progress(progress, pipelines_.size(), true);
    return 0;
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
    next_dts_.assign(container->nb_streams, AV_NOPTS_VALUE);
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
            message("Error while reading the input: %s\n", ffmpeg_error_text(result).c_str());
            return result;
        }
        const auto index = static_cast<std::size_t>(packet->stream_index);
        StreamPipeline* pipeline = index < pipeline_of.size() ? pipeline_of[index] : nullptr;
        if (pipeline != nullptr) {
            progress.bytes_read += packet->size;
            const AVRational time_base = container->streams[index]->time_base;
            const std::int64_t offset = av_rescale_q(input.ts_offset, AV_TIME_BASE_Q, time_base);
            if (packet->dts != AV_NOPTS_VALUE) {
                packet->dts += offset;
            }
            if (packet->pts != AV_NOPTS_VALUE) {
                packet->pts += offset;
            }
            absorb_timestamp_jump(input, *packet,
                                  (container->iformat->flags & AVFMT_TS_DISCONT) != 0);
            const bool threaded =
                sound_thread_ != nullptr &&
                container->streams[index]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
            if (threaded) {
                result = sound_thread_->send(*packet);
                if (result < 0) {
                    return result;
                }
                if (!report_progress(progress, pipelines_.size(), false)) {
                    return 0;
                }
                continue;
            }
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
        } else {
            av_packet_unref(packet);
        }
        if (!report_progress(progress, pipelines_.size(), false)) {
            return 0;
        }
    }
}

void Engine::absorb_timestamp_jump(const InputFile& input, AVPacket& packet, bool discontinuous) {
    if (packet.dts == AV_NOPTS_VALUE) {
        return;
    }
    const auto index = static_cast<std::size_t>(packet.stream_index);
    const AVRational time_base = input.container->streams[index]->time_base;
    const std::int64_t dts = to_microseconds(packet.dts, time_base);
    if (next_dts_[index] != AV_NOPTS_VALUE) {
        const std::int64_t delta = dts - next_dts_[index];
        const auto threshold = static_cast<std::int64_t>(options_.dts_delta_threshold * 1000000);
        const bool jumped =
            discontinuous ? std::llabs(delta) > threshold ||
                                (last_dts_[index] != AV_NOPTS_VALUE && dts + 1 < last_dts_[index])
                          : delta > max_forward_gap;
        if (jumped) {
            tables_.input_files.front().ts_offset -= delta;
            const std::int64_t stream_delta = av_rescale_q(delta, AV_TIME_BASE_Q, time_base);
            packet.dts -= stream_delta;
            if (packet.pts != AV_NOPTS_VALUE) {
                packet.pts -= stream_delta;
            }
        }
    }
    last_dts_[index] = to_microseconds(packet.dts, time_base);
    next_dts_[index] = last_dts_[index];
    if (packet.duration > 0) {
        next_dts_[index] += to_microseconds(packet.duration, time_base);
    }
}

int Engine::mux_packet(AVPacket& packet) {
    const std::lock_guard lock(mux_mutex_);
    AVFormatContext* container = tables_.output_files.front().container.get();
    const int result = packet_muxer_(container, &packet);
    if (result < 0) {
        message("Could not write a packet to output file #0: %s\n",
                ffmpeg_error_text(result).c_str());
        return result;
    }
    tables_.packets_written += 1;
    return 0;
}

} // namespace morvane
