// Creating the output container and its streams, configured for the device.
#include "engine/cover_art.h"
#include "engine/encoder_choice.h"
#include "engine/engine.h"
#include "engine/ffmpeg_error.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace morvane {

namespace {

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
    last_error_.clear();
    if (tables_.output_files.size() >= EngineTables::max_files) {
        return fail(output_failed, "%s: too many output files\n", path.c_str());
    }
    const AVOutputFormat* format = av_guess_format(nullptr, path.c_str(), nullptr);
    if (format == nullptr) {
        return fail(output_failed, "Unable to find a suitable output format for '%s'\n",
                    path.c_str());
    }
    AVFormatContext* raw_context = nullptr;
    if (avformat_alloc_output_context2(&raw_context, format, nullptr, path.c_str()) < 0) {
        return fail(output_failed, "Unable to find a suitable output format for '%s'\n",
                    path.c_str());
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
        (want_subtitle && !add_subtitle_stream(file, path))) {
        return fail(output_failed, "Could not alloc stream\n");
    }

    if ((format->flags & AVFMT_NEEDNUMBER) && !av_filename_number_test(path.c_str())) {
        return fail(output_failed, nullptr);
    }
    // An existing file is replaced: the caller has chosen (and reserved) this name.
    if (const int error = (format->flags & AVFMT_NOFILE)
                              ? 0
                              : avio_open(&container->pb, path.c_str(), AVIO_FLAG_WRITE);
        error < 0) {
        last_error_ = ffmpeg_error_text(error);
        return fail(output_failed, "Could not open '%s'\n", path.c_str());
    }
    container->max_delay = static_cast<int>(options_.mux_max_delay * 1000000);
    tables_.output_files.push_back(std::move(file));
    return 0;
}

AVCodecContext* Engine::add_encoder_stream(OutputFile& file, const std::string& path,
                                           AVMediaType type, AVCodecID codec_override) {
    AVFormatContext* container = file.container.get();
    AVStream* stream = new_stream(container);
    if (stream == nullptr) {
        return nullptr;
    }
    const AVCodecID codec_id =
        codec_override != AV_CODEC_ID_NONE
            ? codec_override
            : av_guess_codec(container->oformat, nullptr, path.c_str(), nullptr, type);
    CodecContextPtr context(avcodec_alloc_context3(avcodec_find_encoder(codec_id)));
    if (!context) {
        return nullptr;
    }
    context->codec_type = type;
    context->codec_id = codec_id;
    context->thread_count = options_.thread_count;
    if (container->oformat->flags & AVFMT_GLOBALHEADER) {
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    file.encoders.push_back(std::move(context));
    return file.encoders.back().get();
}

bool Engine::add_video_stream(OutputFile& file, const std::string& path) {
    AVCodecContext* enc =
        add_encoder_stream(file, path, AVMEDIA_TYPE_VIDEO, options_.video_codec_override);
    if (enc == nullptr) {
        return false;
    }
    const AVCodec* encoder = enc->codec;
    AVStream* stream = file.container->streams[file.container->nb_streams - 1];

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

    options_.video_disable = false;
    return true;
}

bool Engine::add_audio_stream(OutputFile& file, const std::string& path) {
    AVCodecContext* enc =
        add_encoder_stream(file, path, AVMEDIA_TYPE_AUDIO, options_.audio_codec_override);
    if (enc == nullptr) {
        return false;
    }
    const AVCodec* encoder = enc->codec;

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

    options_.audio_disable = false;
    return true;
}

bool Engine::add_subtitle_stream(OutputFile& file, const std::string& path) {
    // The container's own subtitle codec: nothing else is ever asked for.
    if (add_encoder_stream(file, path, AVMEDIA_TYPE_SUBTITLE, AV_CODEC_ID_NONE) == nullptr) {
        return false;
    }
    options_.subtitle_disable = false;
    return true;
}

} // namespace morvane
