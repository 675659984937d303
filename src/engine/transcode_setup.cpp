// The first half of transcode: per-stream records, stream mapping, scaler and resampler
// decisions, codecs opened and headers written.
#include "engine/cover_art.h"
#include "engine/engine.h"

#include <cstring>

extern "C" {
#include <libavutil/dict.h>
}

namespace morvane {

int Engine::transcode(TranscodeProgress& progress) {
    last_error_.clear();
    int result = set_up_transcode();
    if (result == 0) {
        result = run_packet_loop(progress);
    }
    release_transcode_records();
    return result;
}

int Engine::set_up_transcode() {
    release_transcode_records();
    tables_.packets_written = 0;

    int first_stream = 0;
    for (std::size_t file_index = 0; file_index < tables_.input_files.size(); ++file_index) {
        InputFile& file = tables_.input_files[file_index];
        const int stream_count = static_cast<int>(file.container->nb_streams);
        tables_.input_file_records.push_back({false, first_stream, stream_count});
        first_stream += stream_count;
        for (int index = 0; index < stream_count; ++index) {
            auto record = std::make_unique<InputStreamRecord>();
            record->file_index = static_cast<int>(file_index);
            record->stream_index = index;
            record->stream = file.container->streams[index];
            record->decoder = file.decoders[static_cast<std::size_t>(index)].get();
            tables_.input_streams.push_back(std::move(record));
        }
    }

    for (std::size_t file_index = 0; file_index < tables_.output_files.size(); ++file_index) {
        OutputFile& file = tables_.output_files[file_index];
        if (file.container->nb_streams == 0) {
            return fail(output_failed, "Output file does not contain any stream\n");
        }
        for (unsigned index = 0; index < file.container->nb_streams; ++index) {
            auto record = std::make_unique<OutputStreamRecord>();
            record->file_index = static_cast<int>(file_index);
            record->stream_index = static_cast<int>(index);
            record->stream = file.container->streams[index];
            record->encoder = file.encoders[index].get();
            tables_.output_streams.push_back(std::move(record));
        }
    }

    // Each output stream takes the first unused input stream of its type, else the last
    // input stream of that type. Cover pictures are never a source of video.
    for (auto& output : tables_.output_streams) {
        const AVMediaType type = output->encoder->codec_type;
        int chosen = -1;
        int last_of_type = -1;
        for (std::size_t index = 0; index < tables_.input_streams.size(); ++index) {
            const InputStreamRecord& input = *tables_.input_streams[index];
            if (input.stream->codecpar->codec_type != type || is_cover_art(input.stream)) {
                continue;
            }
            last_of_type = static_cast<int>(index);
            if (chosen < 0 && input.discard) {
                chosen = static_cast<int>(index);
            }
        }
        if (chosen < 0) {
            chosen = last_of_type;
        }
        if (chosen < 0) {
            return fail(output_failed,
                        "Could not find input stream matching output stream #%d.%d\n",
                        output->file_index, output->stream_index);
        }
        output->source_index = chosen;
        tables_.input_streams[static_cast<std::size_t>(chosen)]->discard = false;
    }

    for (auto& output : tables_.output_streams) {
        const int result = set_up_output_stream(*output);
        if (result != 0) {
            return result;
        }
    }

    const int result = open_codecs();
    if (result != 0) {
        return result;
    }

    for (std::size_t file_index = 0; file_index < tables_.output_files.size(); ++file_index) {
        if (avformat_write_header(tables_.output_files[file_index].container.get(), nullptr) < 0) {
            message("Could not write header for output file #%d (incorrect codec parameters ?)\n",
                    static_cast<int>(file_index));
            return setup_failed_hard;
        }
    }
    return 0;
}

int Engine::set_up_output_stream(OutputStreamRecord& output) {
    InputStreamRecord& input =
        *tables_.input_streams[static_cast<std::size_t>(output.source_index)];
    AVCodecContext* enc = output.encoder;
    const AVCodecParameters* dec = input.stream->codecpar;

    const AVDictionaryEntry* language = av_dict_get(input.stream->metadata, "language", nullptr, 0);
    if (language != nullptr &&
        av_dict_get(output.stream->metadata, "language", nullptr, 0) == nullptr) {
        av_dict_set(&output.stream->metadata, "language", language->value, 0);
    }
    output.stream->disposition = input.stream->disposition;

    switch (enc->codec_type) {
    case AVMEDIA_TYPE_AUDIO: {
        const int channels = enc->ch_layout.nb_channels;
        output.fifo.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_S16, channels,
                                              std::max(1, 1024 / (2 * std::max(1, channels)))));
        if (!output.fifo) {
            return setup_failed_hard;
        }
        output.audio_resample = enc->sample_rate != dec->sample_rate;
        input.decoding_needed = true;
        break;
    }
    case AVMEDIA_TYPE_VIDEO: {
        output.pads = {options_.pad_top, options_.pad_bottom, options_.pad_left,
                       options_.pad_right};
        output.video_pad = output.pads.top != 0 || output.pads.bottom != 0 ||
                           output.pads.left != 0 || output.pads.right != 0;
        const int interior_width = enc->width - output.pads.left - output.pads.right;
        const int interior_height = enc->height - output.pads.top - output.pads.bottom;
        const bool video_resample =
            !(interior_width == dec->width && interior_height == dec->height &&
              enc->pix_fmt == dec->format);
        if (output.video_pad || video_resample) {
            if (output.pictures.configure(enc->pix_fmt, enc->width, enc->height, output.pads,
                                          options_.pad_color) < 0) {
                if (!video_resample) {
                    return setup_failed_hard;
                }
                return fail(output_failed, "Cannot allocate temp picture, check pix fmt\n");
            }
        }
        if (video_resample) {
            output.scaler.reset(sws_getContext(
                dec->width, dec->height, static_cast<AVPixelFormat>(dec->format), interior_width,
                interior_height, enc->pix_fmt, options_.scaler_flags, nullptr, nullptr, nullptr));
            if (!output.scaler) {
                return fail(output_failed, "Cannot get resampling context\n");
            }
        }
        input.decoding_needed = true;
        const long long picture_bytes = static_cast<long long>(enc->width) * enc->height * 4;
        if (picture_bytes >= options_.bit_buffer_size && picture_bytes <= INT_MAX) {
            options_.bit_buffer_size = static_cast<int>(picture_bytes);
        }
        break;
    }
    case AVMEDIA_TYPE_SUBTITLE:
        enc->time_base = AVRational{1, 1000};
        if (input.decoder->subtitle_header != nullptr && enc->subtitle_header == nullptr) {
            const int size = input.decoder->subtitle_header_size;
            enc->subtitle_header =
                static_cast<std::uint8_t*>(av_mallocz(static_cast<std::size_t>(size) + 1));
            if (enc->subtitle_header == nullptr) {
                return setup_failed_hard;
            }
            std::memcpy(enc->subtitle_header, input.decoder->subtitle_header,
                        static_cast<std::size_t>(size));
            enc->subtitle_header_size = size;
        }
        input.decoding_needed = true;
        break;
    default:
        break;
    }
    return 0;
}

int Engine::open_codecs() {
    for (auto& output : tables_.output_streams) {
        AVCodecContext* enc = output->encoder;
        const AVCodec* encoder = avcodec_find_encoder(enc->codec_id);
        if (encoder == nullptr) {
            return fail(output_failed, "Unsupported codec for output stream #%d.%d\n",
                        output->file_index, output->stream_index);
        }
        if (avcodec_open2(enc, encoder, nullptr) < 0 ||
            avcodec_parameters_from_context(output->stream->codecpar, enc) < 0) {
            return fail(output_failed,
                        "Error while opening codec for output stream #%d.%d - maybe "
                        "incorrect parameters such as bit_rate, rate, width or height\n",
                        output->file_index, output->stream_index);
        }
        output->stream->time_base = enc->time_base;
        if (enc->codec_type == AVMEDIA_TYPE_VIDEO) {
            output->stream->avg_frame_rate = enc->framerate;
        }
        if (enc->codec_type == AVMEDIA_TYPE_AUDIO) {
            output->encoder_frame.reset(av_frame_alloc());
            if (!output->encoder_frame) {
                return setup_failed_hard;
            }
            AVFrame* frame = output->encoder_frame.get();
            frame->format = enc->sample_fmt;
            frame->sample_rate = enc->sample_rate;
            frame->nb_samples = enc->frame_size > 1 ? enc->frame_size : 4096;
            if (av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout) < 0 ||
                av_frame_get_buffer(frame, 0) < 0) {
                return setup_failed_hard;
            }
        }
    }

    for (auto& input : tables_.input_streams) {
        if (!input->decoding_needed) {
            continue;
        }
        const AVCodec* decoder = avcodec_find_decoder(input->decoder->codec_id);
        if (decoder == nullptr) {
            return fail(output_failed, "Unsupported codec (id=%d) for input stream #%d.%d\n",
                        static_cast<int>(input->decoder->codec_id), input->file_index,
                        input->stream_index);
        }
        if (avcodec_open2(input->decoder, decoder, nullptr) < 0) {
            return fail(output_failed, "Error while opening codec for input stream #%d.%d\n",
                        input->file_index, input->stream_index);
        }
    }
    return 0;
}

} // namespace morvane
