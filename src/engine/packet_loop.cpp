// The second half of transcode: read, decode and hand on every packet, keep the inputs' clocks
// continuous, and finish each output file properly however the loop ends.
#include "engine/engine.h"
#include "engine/ffmpeg_error.h"

#include <cmath>
#include <cstdlib>

namespace morvane {

namespace {

std::int64_t to_microseconds(std::int64_t timestamp, AVRational time_base) {
    return av_rescale_q(timestamp, time_base, AV_TIME_BASE_Q);
}

// Expected length of a decoded video frame, in microseconds; 0 when nothing tells.
std::int64_t video_frame_duration(const InputStreamRecord& input, AVFormatContext* container,
                                  const AVFrame& frame) {
    if (frame.pkt_duration > 0) {
        return to_microseconds(frame.pkt_duration, input.stream->time_base);
    }
    const AVRational rate = av_guess_frame_rate(container, input.stream, nullptr);
    if (rate.num > 0 && rate.den > 0) {
        return av_rescale(AV_TIME_BASE, rate.den, rate.num);
    }
    return 0;
}

} // namespace

int Engine::choose_input_file() const {
    double smallest_output_time = 1e100;
    int chosen = -1;
    for (const auto& output : tables_.output_streams) {
        const InputStreamRecord& source =
            *tables_.input_streams[static_cast<std::size_t>(output->source_index)];
        double output_time = output->written_until;
        if (output->encoder->codec_type == AVMEDIA_TYPE_VIDEO) {
            output_time =
                static_cast<double>(output->next_output_frame) * av_q2d(output->encoder->time_base);
        }
        const auto type = static_cast<std::size_t>(output->encoder->codec_type);
        if (type < options_.max_frames.size() &&
            output->frame_number >= options_.max_frames[type]) {
            return -1;
        }
        if (!tables_.input_file_records[static_cast<std::size_t>(source.file_index)].ended &&
            output_time < smallest_output_time) {
            smallest_output_time = output_time;
            chosen = source.file_index;
        }
    }
    if (chosen >= 0 && options_.recording_time > 0 &&
        smallest_output_time >= static_cast<double>(options_.recording_time) / AV_TIME_BASE) {
        return -1;
    }
    return chosen;
}

int Engine::run_packet_loop(TranscodeProgress& progress) {
    AVPacket* packet = packet_.get();
    for (;;) {
        const int file_index = choose_input_file();
        if (file_index < 0) {
            break;
        }
        if (options_.size_limit != 0) {
            AVIOContext* first_output = tables_.output_files.front().container->pb;
            if (first_output != nullptr && avio_tell(first_output) > options_.size_limit) {
                break;
            }
        }
        InputFile& file = tables_.input_files[static_cast<std::size_t>(file_index)];
        InputFileRecord& file_record =
            tables_.input_file_records[static_cast<std::size_t>(file_index)];
        if (av_read_frame(file.container.get(), packet) < 0) {
            file_record.ended = true;
            continue;
        }
        if (packet->stream_index >= file_record.stream_count) {
            av_packet_unref(packet);
        } else {
            InputStreamRecord& input = *tables_.input_streams[static_cast<std::size_t>(
                file_record.first_stream + packet->stream_index)];
            if (input.discard) {
                av_packet_unref(packet);
            } else {
                progress.bytes_read += packet->size;
                const std::int64_t offset =
                    av_rescale_q(file.ts_offset, AV_TIME_BASE_Q, input.stream->time_base);
                if (packet->dts != AV_NOPTS_VALUE) {
                    packet->dts += offset;
                }
                if (packet->pts != AV_NOPTS_VALUE) {
                    packet->pts += offset;
                }
                absorb_timestamp_jump(input, *packet);
                const Step step = process_input_packet(input, packet);
                av_packet_unref(packet);
                if (step == Step::fatal) {
                    return output_failed;
                }
                if (step == Step::decode_error) {
                    message("Error while decoding stream #%d.%d\n", input.file_index,
                            input.stream_index);
                    continue;
                }
            }
        }
        if (!report_progress(progress, tables_.output_streams.size(), false)) {
            break;
        }
    }

    // However the loop ended, drain decoders and encoders and finish the files, so that a
    // stopped conversion still leaves a complete, shorter file.
    for (auto& input : tables_.input_streams) {
        if (input->decoding_needed && process_input_packet(*input, nullptr) == Step::fatal) {
            return output_failed;
        }
    }
    for (std::size_t file_index = 0; file_index < tables_.output_files.size(); ++file_index) {
        const int result = av_write_trailer(tables_.output_files[file_index].container.get());
        if (result < 0) {
            last_error_ = ffmpeg_error_text(result);
            message("Could not write trailer for output file #%d: %s\n",
                    static_cast<int>(file_index), ffmpeg_error_text(result).c_str());
            close_engine_files();
            return output_failed;
        }
    }
    report_progress(progress, tables_.output_streams.size(), true);
    return 0;
}

void Engine::absorb_timestamp_jump(InputStreamRecord& input, AVPacket& packet) {
    if (packet.dts == AV_NOPTS_VALUE) {
        return;
    }
    const std::int64_t dts = to_microseconds(packet.dts, input.stream->time_base);
    if (input.next_dts != AV_NOPTS_VALUE) {
        const std::int64_t delta = dts - input.next_dts;
        const auto threshold = static_cast<std::int64_t>(options_.dts_delta_threshold * 1000000);
        if (std::llabs(delta) > threshold ||
            (input.last_dts != AV_NOPTS_VALUE && dts + 1 < input.last_dts)) {
            InputFile& file = tables_.input_files[static_cast<std::size_t>(input.file_index)];
            file.ts_offset -= delta;
            const std::int64_t stream_delta =
                av_rescale_q(delta, AV_TIME_BASE_Q, input.stream->time_base);
            packet.dts -= stream_delta;
            if (packet.pts != AV_NOPTS_VALUE) {
                packet.pts -= stream_delta;
            }
        }
    }
    input.last_dts = to_microseconds(packet.dts, input.stream->time_base);
    input.next_dts = input.last_dts;
    if (packet.duration > 0) {
        input.next_dts += to_microseconds(packet.duration, input.stream->time_base);
    }
}

Engine::Step Engine::process_input_packet(InputStreamRecord& input, const AVPacket* packet) {
    if (input.next_timestamp == AV_NOPTS_VALUE) {
        input.next_timestamp = input.current_timestamp;
    }
    AVCodecContext* decoder = input.decoder;
    if (decoder->codec_type == AVMEDIA_TYPE_SUBTITLE) {
        return process_subtitle_packet(input, packet);
    }
    if (decoder->codec_type != AVMEDIA_TYPE_AUDIO && decoder->codec_type != AVMEDIA_TYPE_VIDEO) {
        return Step::decode_error;
    }

    int result = avcodec_send_packet(decoder, packet);
    if (result < 0 && result != AVERROR_EOF) {
        return Step::decode_error;
    }
    AVFrame* frame = decoded_frame_.get();
    for (int frame_in_packet = 0;; ++frame_in_packet) {
        result = avcodec_receive_frame(decoder, frame);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            break;
        }
        if (result < 0) {
            return Step::decode_error;
        }
        if (packet != nullptr && frame_in_packet > 0 && options_.verbosity > 0) {
            message("Multiple frames in a packet from stream %d\n", input.stream_index);
        }
        const Step step = hand_on_frame(input, *frame);
        av_frame_unref(frame);
        if (step != Step::ok) {
            return step;
        }
    }
    if (packet == nullptr) {
        return drain_encoders(input);
    }
    return Step::ok;
}

Engine::Step Engine::hand_on_frame(InputStreamRecord& input, AVFrame& frame) {
    // A frame is placed at the decoding time of the packet that completed it, the timeline
    // on which timestamp jumps are absorbed; FFmpeg reports that time even when frames
    // come out of threaded decoders late. Further frames of the same packet, and frames
    // whose packet had no time, follow the previous frame.
    if (frame.pkt_dts != AV_NOPTS_VALUE && frame.pkt_dts != input.last_frame_packet_dts) {
        input.current_timestamp = to_microseconds(frame.pkt_dts, input.stream->time_base);
    } else {
        input.current_timestamp = input.next_timestamp;
    }
    input.last_frame_packet_dts = frame.pkt_dts;

    const bool audio = input.decoder->codec_type == AVMEDIA_TYPE_AUDIO;
    const std::uint8_t* samples = nullptr;
    int byte_count = 0;
    if (audio) {
        if (frame.sample_rate <= 0 || frame.ch_layout.nb_channels <= 0 || frame.nb_samples <= 0) {
            return Step::ok;
        }
        input.next_timestamp =
            input.current_timestamp + av_rescale(frame.nb_samples, AV_TIME_BASE, frame.sample_rate);
        int sample_count = frame.nb_samples;
        if (frame.format == AV_SAMPLE_FMT_S16) {
            samples = frame.data[0];
        } else {
            if (input.to_packed_s16.configure(
                    frame.ch_layout, static_cast<AVSampleFormat>(frame.format), frame.sample_rate,
                    frame.ch_layout, AV_SAMPLE_FMT_S16, frame.sample_rate) < 0) {
                return Step::decode_error;
            }
            sample_count =
                input.to_packed_s16.convert_to_buffer(frame.extended_data, frame.nb_samples);
            if (sample_count < 0) {
                return Step::decode_error;
            }
            samples = input.to_packed_s16.buffer();
        }
        byte_count = sample_count * frame.ch_layout.nb_channels * 2;
    } else {
        const std::int64_t duration = video_frame_duration(
            input, tables_.input_files[static_cast<std::size_t>(input.file_index)].container.get(),
            frame);
        input.next_timestamp = input.current_timestamp + duration;
    }

    if (options_.start_time != 0 && input.current_timestamp < options_.start_time) {
        return Step::ok;
    }
    for (auto& output : tables_.output_streams) {
        if (tables_.input_streams[static_cast<std::size_t>(output->source_index)].get() != &input) {
            continue;
        }
        Step step = Step::ok;
        if (audio) {
            step = encode_audio_frame(*output, input, samples, byte_count, frame.ch_layout,
                                      frame.sample_rate);
        } else {
            int encoded_size = 0;
            step = encode_video_frame(*output, input, frame, encoded_size);
        }
        if (step != Step::ok) {
            return step;
        }
    }
    return Step::ok;
}

Engine::Step Engine::process_subtitle_packet(InputStreamRecord& input, const AVPacket* packet) {
    if (packet == nullptr) {
        return Step::ok;
    }
    if (packet->dts != AV_NOPTS_VALUE) {
        input.current_timestamp = to_microseconds(packet->dts, input.stream->time_base);
        input.next_timestamp = input.current_timestamp;
    }
    AVSubtitle subtitle{};
    int got_subtitle = 0;
    if (avcodec_decode_subtitle2(input.decoder, &subtitle, &got_subtitle,
                                 const_cast<AVPacket*>(packet)) < 0) {
        return Step::decode_error;
    }
    if (!got_subtitle) {
        return Step::ok;
    }
    Step step = Step::ok;
    for (auto& output : tables_.output_streams) {
        if (tables_.input_streams[static_cast<std::size_t>(output->source_index)].get() == &input) {
            step = encode_subtitle(*output, input, subtitle, packet->pts);
            if (step != Step::ok) {
                break;
            }
        }
    }
    avsubtitle_free(&subtitle);
    return step;
}

Engine::Step Engine::drain_encoders(const InputStreamRecord& input) {
    for (auto& output : tables_.output_streams) {
        if (tables_.input_streams[static_cast<std::size_t>(output->source_index)].get() != &input) {
            continue;
        }
        AVCodecContext* enc = output->encoder;
        if (enc->codec_type == AVMEDIA_TYPE_AUDIO) {
            const int queued = av_audio_fifo_size(output->fifo.get());
            if (queued > 0 && (enc->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) &&
                queued <= output->encoder_frame->nb_samples) {
                if (encode_audio_block(*output, queued) == Step::fatal) {
                    return Step::fatal;
                }
            }
        } else if (enc->codec_type == AVMEDIA_TYPE_VIDEO) {
            if (finish_video_stream(*output, input) == Step::fatal) {
                return Step::fatal;
            }
        } else {
            continue;
        }
        const int result = avcodec_send_frame(enc, nullptr);
        if (result < 0 && result != AVERROR_EOF) {
            continue;
        }
        if (receive_and_write_packets(*output) == Step::fatal) {
            return Step::fatal;
        }
    }
    return Step::ok;
}

Engine::Step Engine::receive_and_write_packets(OutputStreamRecord& output, int* last_size) {
    const bool video = output.encoder->codec_type == AVMEDIA_TYPE_VIDEO;
    AVPacket* packet = encoded_packet_.get();
    for (;;) {
        const int result = avcodec_receive_packet(output.encoder, packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            return Step::ok;
        }
        if (result < 0) {
            message(video ? "Video encoding failed\n" : "Audio encoding failed\n");
            close_engine_files();
            return Step::fatal;
        }
        if (video) {
            tables_.video_bytes_written += packet->size;
        }
        if (last_size != nullptr) {
            *last_size = packet->size;
        }
        const Step step = write_output_packet(output, *packet);
        if (step != Step::ok) {
            return step;
        }
    }
}

Engine::Step Engine::write_output_packet(OutputStreamRecord& output, AVPacket& packet) {
    packet.stream_index = output.stream_index;
    av_packet_rescale_ts(&packet, output.encoder->time_base, output.stream->time_base);
    // Re-anchoring the audio clock on the input's timestamps can step back by a few samples;
    // the packet then takes the next free time rather than being refused by the muxer.
    if (packet.dts != AV_NOPTS_VALUE && output.last_written_dts != AV_NOPTS_VALUE &&
        packet.dts <= output.last_written_dts) {
        packet.dts = output.last_written_dts + 1;
        if (packet.pts != AV_NOPTS_VALUE && packet.pts < packet.dts) {
            packet.pts = packet.dts;
        }
    }
    if (packet.dts != AV_NOPTS_VALUE) {
        output.last_written_dts = packet.dts;
    }
    const std::int64_t end = (packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts);
    if (end != AV_NOPTS_VALUE) {
        output.written_until =
            static_cast<double>(end + packet.duration) * av_q2d(output.stream->time_base);
    }
    AVFormatContext* container =
        tables_.output_files[static_cast<std::size_t>(output.file_index)].container.get();
    const int result = av_interleaved_write_frame(container, &packet);
    if (result < 0) {
        last_error_ = ffmpeg_error_text(result);
        message("Could not write a packet to output file #%d: %s\n", output.file_index,
                ffmpeg_error_text(result).c_str());
        close_engine_files();
        return Step::fatal;
    }
    tables_.packets_written += 1;
    return Step::ok;
}

} // namespace morvane
