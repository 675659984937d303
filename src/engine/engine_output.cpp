// Creating the output container and its streams, configured for the device.
#include "engine/encoder_choice.h"
#include "engine/engine.h"

#include <cstdarg>
#include <cstdio>

extern "C" {
#include <libavutil/opt.h>
}

namespace morvane {

namespace {

bool is_cover_art(const AVStream* stream) {
    return (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
}

// Containers that keep no timestamps (.mp3) can carry a cover picture but no moving video.
bool holds_moving_video(const AVOutputFormat* format) {
    return !(format->flags & AVFMT_NOTIMESTAMPS);
}

AVStream* new_stream(AVFormatContext* container) {
    AVStream* stream = avformat_new_stream(container, nullptr);
    if (stream != nullptr) {
        stream->id = static_cast<int>(container->nb_streams) - 1;
    }
    return stream;
}

} // namespace

int Engine::fail_output(const char* format, ...) {
    if (format != nullptr) {
        char line[2048];
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(line, sizeof line, format, arguments);
        va_end(arguments);
        message("%s", line);
    }
    close_engine_files();
    return output_failed;
}

Engine::StreamTypes Engine::probe_input_stream_types() const {
    StreamTypes types;
    for (const InputFile& file : tables_.input_files) {
        const AVFormatContext* container = file.container.get();
        for (unsigned index = 0; index < container->nb_streams; ++index) {
            const AVStream* stream = container->streams[index];
            switch (stream->codecpar->codec_type) {
            case AVMEDIA_TYPE_VIDEO:
                types.video = types.video || !is_cover_art(stream);
                break;
            case AVMEDIA_TYPE_AUDIO:
                types.audio = true;
                break;
            case AVMEDIA_TYPE_SUBTITLE:
                types.subtitle = true;
                break;
            default:
                break;
            }
        }
    }
    return types;
}

int Engine::open_output_file(const std::string& path) {
    if (tables_.output_files.size() >= EngineTables::max_files) {
        return fail_output("%s: too many output files\n", path.c_str());
    }
    const AVOutputFormat* format = av_guess_format(nullptr, path.c_str(), nullptr);
    if (format == nullptr) {
        return fail_output("Unable to find a suitable output format for '%s'\n", path.c_str());
    }
    AVFormatContext* raw_context = nullptr;
    if (avformat_alloc_output_context2(&raw_context, format, nullptr, path.c_str()) < 0) {
        return fail_output("Unable to find a suitable output format for '%s'\n", path.c_str());
    }
    OutputFile file;
    file.container.reset(raw_context);
    AVFormatContext* container = file.container.get();

    bool want_video =
        holds_moving_video(format) && (format->video_codec != AV_CODEC_ID_NONE ||
                                       options_.video_codec_override != AV_CODEC_ID_NONE);
    bool want_audio = format->audio_codec != AV_CODEC_ID_NONE ||
                      options_.audio_codec_override != AV_CODEC_ID_NONE;
    bool want_subtitle = format->subtitle_codec != AV_CODEC_ID_NONE;
    if (!tables_.input_files.empty()) {
        const StreamTypes present = probe_input_stream_types();
        want_video = want_video && present.video;
        want_audio = want_audio && present.audio;
        want_subtitle = want_subtitle && present.subtitle;
    }
    want_video = want_video && !options_.video_disable;
    want_audio = want_audio && !options_.audio_disable;
    want_subtitle = want_subtitle && !options_.subtitle_disable;

    if ((want_video && !add_video_stream(file, path)) ||
        (want_audio && !add_audio_stream(file, path)) ||
        (want_subtitle && !add_subtitle_stream(file))) {
        return fail_output("Could not alloc stream\n");
    }

    if ((format->flags & AVFMT_NEEDNUMBER) && !av_filename_number_test(path.c_str())) {
        return fail_output(nullptr);
    }
    // An existing file is replaced: the caller has chosen (and reserved) this name.
    if (!(format->flags & AVFMT_NOFILE) &&
        avio_open(&container->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) {
        return fail_output("Could not open '%s'\n", path.c_str());
    }
    container->max_delay = static_cast<int>(options_.mux_max_delay * 1000000);
    tables_.output_files.push_back(std::move(file));
    return 0;
}

bool Engine::add_video_stream(OutputFile& file, const std::string& path) {
    AVFormatContext* container = file.container.get();
    AVStream* stream = new_stream(container);
    if (stream == nullptr) {
        return false;
    }
    const AVCodecID codec_id = options_.video_codec_override != AV_CODEC_ID_NONE
                                   ? options_.video_codec_override
                                   : av_guess_codec(container->oformat, nullptr, path.c_str(),
                                                    nullptr, AVMEDIA_TYPE_VIDEO);
    const AVCodec* encoder = avcodec_find_encoder(codec_id);
    CodecContextPtr context(avcodec_alloc_context3(encoder));
    if (!context) {
        return false;
    }
    AVCodecContext* enc = context.get();
    enc->codec_type = AVMEDIA_TYPE_VIDEO;
    enc->codec_id = codec_id;
    enc->thread_count = options_.thread_count;
    if (container->oformat->flags & AVFMT_GLOBALHEADER) {
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }

    AVRational rate = options_.frame_rate.num != 0 ? options_.frame_rate : AVRational{25, 1};
    if (encoder != nullptr) {
        rate = nearest_frame_rate(encoder->supported_framerates, rate);
    }
    enc->framerate = rate;
    enc->time_base = av_inv_q(rate);

    enc->width = options_.frame_width + options_.pad_left + options_.pad_right;
    enc->height = options_.frame_height + options_.pad_top + options_.pad_bottom;
    // One scale factor for both directions keeps the input's pixel shape.
    enc->sample_aspect_ratio = options_.frame_sample_aspect_ratio;
    stream->sample_aspect_ratio = options_.frame_sample_aspect_ratio;

    AVPixelFormat wanted_format = static_cast<AVPixelFormat>(options_.frame_pixel_format);
    enc->pix_fmt =
        choose_pixel_format(encoder != nullptr ? encoder->pix_fmts : nullptr, wanted_format);
    if (enc->pix_fmt == AV_PIX_FMT_NONE) {
        enc->pix_fmt = AV_PIX_FMT_YUV420P;
    }

    // A rate the encoder would refuse (-1: never set) leaves its own rate control in charge.
    const int bit_rate = options_.video_bit_rate;
    if (bit_rate > 0) {
        enc->bit_rate = bit_rate;
        enc->bit_rate_tolerance = bit_rate;
        enc->rc_max_rate = bit_rate;
        enc->rc_min_rate = bit_rate;
        enc->rc_buffer_size = bit_rate;
        enc->rc_initial_buffer_occupancy =
            static_cast<int>(static_cast<long long>(bit_rate) * 3 / 4);
        if (enc->priv_data != nullptr) {
            av_opt_set_double(enc->priv_data, "rc_init_cplx", 0.5, 0);
        }
    }
    enc->max_qdiff = options_.max_quant_diff;
    enc->intra_dc_precision = options_.intra_dc_precision - 8;

    file.encoders.push_back(std::move(context));
    options_.video_disable = false;
    return true;
}

bool Engine::add_audio_stream(OutputFile& file, const std::string& path) {
    AVFormatContext* container = file.container.get();
    AVStream* stream = new_stream(container);
    if (stream == nullptr) {
        return false;
    }
    const AVCodecID codec_id = options_.audio_codec_override != AV_CODEC_ID_NONE
                                   ? options_.audio_codec_override
                                   : av_guess_codec(container->oformat, nullptr, path.c_str(),
                                                    nullptr, AVMEDIA_TYPE_AUDIO);
    const AVCodec* encoder = avcodec_find_encoder(codec_id);
    CodecContextPtr context(avcodec_alloc_context3(encoder));
    if (!context) {
        return false;
    }
    AVCodecContext* enc = context.get();
    enc->codec_type = AVMEDIA_TYPE_AUDIO;
    enc->codec_id = codec_id;
    enc->thread_count = options_.thread_count;
    if (container->oformat->flags & AVFMT_GLOBALHEADER) {
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }

    // An unusual source (96 kHz, six channels) still converts: the encoder gets the nearest
    // rate and layout it supports.
    const int channels = options_.audio_channels > 0 ? options_.audio_channels : 2;
    const int rate = options_.audio_sample_rate > 0 ? options_.audio_sample_rate : 44100;
    nearest_channel_layout(encoder != nullptr ? encoder->ch_layouts : nullptr, channels,
                           enc->ch_layout);
    enc->sample_rate =
        nearest_sample_rate(encoder != nullptr ? encoder->supported_samplerates : nullptr, rate);
    enc->sample_fmt = choose_sample_format(encoder != nullptr ? encoder->sample_fmts : nullptr);
    enc->time_base = AVRational{1, enc->sample_rate};

    file.encoders.push_back(std::move(context));
    options_.audio_disable = false;
    return true;
}

bool Engine::add_subtitle_stream(OutputFile& file) {
    AVFormatContext* container = file.container.get();
    AVStream* stream = new_stream(container);
    if (stream == nullptr) {
        return false;
    }
    const AVCodecID codec_id = container->oformat->subtitle_codec;
    CodecContextPtr context(avcodec_alloc_context3(avcodec_find_encoder(codec_id)));
    if (!context) {
        return false;
    }
    context->codec_type = AVMEDIA_TYPE_SUBTITLE;
    context->codec_id = codec_id;
    file.encoders.push_back(std::move(context));
    options_.subtitle_disable = false;
    return true;
}

} // namespace morvane
