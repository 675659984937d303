// Creating the output container and its streams, configured for the device, with the
// source's tags and cover picture.
#include "engine/cover_art.h"
#include "engine/encoder_choice.h"
#include "engine/engine.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/opt.h>
}

namespace morvane {

namespace {

// Containers that keep no timestamps (.mp3) can carry a cover picture but no moving video.
bool holds_moving_video(const AVOutputFormat* format) {
    return !(format->flags & AVFMT_NOTIMESTAMPS);
}

// The tags that describe the content; both MP4 and MP3 (ID3v2) have a place for each.
constexpr const char* carried_tags[] = {
    "title", "artist", "album", "album_artist", "track", "disc", "date", "genre", "comment",
};

void copy_tags(const InputFile& input, AVDictionary** destination) {
    const AVFormatContext* container = input.container.get();
    // Some containers (Ogg, for one) keep the tags on the sound stream.
    const AVDictionary* stream_tags =
        input.streams.audio >= 0 ? container->streams[input.streams.audio]->metadata : nullptr;
    for (const char* key : carried_tags) {
        const AVDictionaryEntry* entry = av_dict_get(container->metadata, key, nullptr, 0);
        if (entry == nullptr && stream_tags != nullptr) {
            entry = av_dict_get(stream_tags, key, nullptr, 0);
        }
        if (entry != nullptr && entry->value[0] != '\0') {
            av_dict_set(destination, key, entry->value, 0);
        }
    }
}

// Cover pictures the MP4 (covr) and MP3 (APIC) muxers can carry as they are. A picture whose
// size the probe could not tell (damaged, or beyond the bound on picture size) stays behind.
bool carries_cover_art(const AVOutputFormat* format, const AVCodecParameters& picture) {
    const AVCodecID codec = picture.codec_id;
    if (codec != AV_CODEC_ID_MJPEG && codec != AV_CODEC_ID_PNG && codec != AV_CODEC_ID_BMP) {
        return false;
    }
    if (picture.width <= 0 || picture.height <= 0) {
        return false;
    }
    const std::string name = format->name;
    return name == "mp3" || name == "mp4" || name == "ipod" || name == "mov";
}

} // namespace

int Engine::open_output_file(const std::string& path) {
    last_error_.clear();
    int result = 0;
    OutputFile file;
    file.path = path;
    const AVOutputFormat* format = nullptr;
    if (!tables_.output_files.empty()) {
        message("%s: an output file is already open\n", path.c_str());
        result = AVERROR(EBUSY);
    } else if ((format = av_guess_format(nullptr, path.c_str(), nullptr)) == nullptr) {
        message("Unable to find a suitable output format for '%s'\n", path.c_str());
        result = AVERROR_MUXER_NOT_FOUND;
    }
    if (result >= 0) {
        AVFormatContext* raw_context = nullptr;
        result = avformat_alloc_output_context2(&raw_context, format, nullptr, path.c_str());
        file.container.reset(raw_context);
    }

    const InputFile* input = tables_.input_files.empty() ? nullptr : &tables_.input_files.front();
    const AVStream* video_source = nullptr;
    const AVStream* cover_source = nullptr;
    bool audio_present = input == nullptr;
    if (input != nullptr) {
        AVStream* const* streams = input->container->streams;
        video_source = input->streams.video >= 0 ? streams[input->streams.video] : nullptr;
        cover_source = input->streams.cover_art >= 0 ? streams[input->streams.cover_art] : nullptr;
        audio_present = input->streams.audio >= 0;
    }
    if (result >= 0) {
        const bool want_video = holds_moving_video(format) && video_source != nullptr &&
                                !options_.video_disable &&
                                (format->video_codec != AV_CODEC_ID_NONE ||
                                 options_.video_codec_override != AV_CODEC_ID_NONE);
        const bool want_audio = (audio_present || (want_video && options_.silent_sound)) &&
                                (format->audio_codec != AV_CODEC_ID_NONE ||
                                 options_.audio_codec_override != AV_CODEC_ID_NONE);
        if (want_video) {
            result = add_video_stream(file);
        }
        if (result >= 0 && want_audio) {
            result = add_audio_stream(file);
        }
        if (result >= 0 && cover_source != nullptr && file.container->nb_streams > 0 &&
            carries_cover_art(format, *cover_source->codecpar)) {
            result = add_cover_art_stream(file, *cover_source);
        }
        if (result < 0) {
            message("Could not alloc stream\n");
        }
    }
    if (result >= 0 && input != nullptr) {
        copy_tags(*input, &file.container->metadata);
    }
    for (const auto& [key, value] : options_.output_tags) {
        if (result >= 0) {
            result = av_dict_set(&file.container->metadata, key.c_str(), value.c_str(), 0);
        }
    }
    // An existing file is replaced: the caller has chosen (and reserved) this name.
    if (result >= 0 && !(format->flags & AVFMT_NOFILE)) {
        result = avio_open(&file.container->pb, path.c_str(), AVIO_FLAG_WRITE);
        if (result < 0) {
            message("Could not open '%s'\n", path.c_str());
        }
    }
    if (result < 0) {
        if (last_error_.empty()) {
            set_error(result);
        }
        close_engine_files();
        return output_failed;
    }
    file.container->max_delay = static_cast<int>(options_.mux_max_delay * 1000000);
    tables_.output_files.push_back(std::move(file));
    return 0;
}

AVCodecContext* Engine::new_encoder(OutputFile& file, AVMediaType type, AVCodecID codec_override,
                                    AVStream*& stream) {
    AVFormatContext* container = file.container.get();
    const AVCodecID codec_id =
        codec_override != AV_CODEC_ID_NONE
            ? codec_override
            : av_guess_codec(container->oformat, nullptr, file.path.c_str(), nullptr, type);
    // No encoder for the codec: the stream is still made; transcode refuses it.
    const AVCodec* codec = avcodec_find_encoder(codec_id);
    stream = avformat_new_stream(container, nullptr);
    if (stream == nullptr) {
        return nullptr;
    }
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context) {
        return nullptr;
    }
    context->codec_type = type;
    context->codec_id = codec_id;
    context->thread_count = options_.encoder_threads;
    if (container->oformat->flags & AVFMT_GLOBALHEADER) {
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    CodecContextPtr& slot = type == AVMEDIA_TYPE_VIDEO ? file.video_encoder : file.audio_encoder;
    slot = std::move(context);
    return slot.get();
}

int Engine::add_video_stream(OutputFile& file) {
    AVCodecContext* enc =
        new_encoder(file, AVMEDIA_TYPE_VIDEO, options_.video_codec_override, file.video_stream);
    if (enc == nullptr) {
        return AVERROR(ENOMEM);
    }
    const AVCodec* encoder = enc->codec;
    AVRational rate = options_.frame_rate.num > 0 && options_.frame_rate.den > 0
                          ? options_.frame_rate
                          : AVRational{25, 1};
    if (encoder != nullptr) {
        rate = nearest_frame_rate(encoder->supported_framerates, rate);
    }
    enc->framerate = rate;
    enc->time_base = av_inv_q(rate);

    enc->width = options_.frame_width + options_.pad_left + options_.pad_right;
    enc->height = options_.frame_height + options_.pad_top + options_.pad_bottom;
    if (options_.frame_width <= 0 || options_.frame_height <= 0 || enc->width > 16384 ||
        enc->height > 16384) {
        // What the probe could not size: a damaged picture, or one beyond the bound.
        last_error_ = "the picture has no size that can be read (damaged, or larger than 8K)";
        return AVERROR(EINVAL);
    }
    // Square pixels: the players ignore any other shape.
    enc->sample_aspect_ratio = AVRational{1, 1};
    file.video_stream->sample_aspect_ratio = AVRational{1, 1};

    const auto wanted_format = static_cast<AVPixelFormat>(options_.frame_pixel_format);
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
    return 0;
}

int Engine::add_audio_stream(OutputFile& file) {
    AVCodecContext* enc =
        new_encoder(file, AVMEDIA_TYPE_AUDIO, options_.audio_codec_override, file.audio_stream);
    if (enc == nullptr) {
        return AVERROR(ENOMEM);
    }
    const AVCodec* encoder = enc->codec;
    // An unusual source (96 kHz, six channels) still converts: the encoder gets the nearest
    // rate and layout it supports, and never more than the players decode.
    const int channels = options_.audio_channels > 0 ? options_.audio_channels : 2;
    const int rate = std::min(options_.audio_sample_rate > 0 ? options_.audio_sample_rate : 44100,
                              options_.max_sample_rate);
    nearest_channel_layout(encoder != nullptr ? encoder->ch_layouts : nullptr,
                           std::min(channels, 8), enc->ch_layout);
    enc->sample_rate =
        nearest_sample_rate(encoder != nullptr ? encoder->supported_samplerates : nullptr, rate);
    enc->sample_fmt = choose_sample_format(encoder != nullptr ? encoder->sample_fmts : nullptr);
    enc->time_base = AVRational{1, enc->sample_rate};
    return 0;
}

int Engine::add_cover_art_stream(OutputFile& file, const AVStream& source) {
    AVStream* stream = avformat_new_stream(file.container.get(), nullptr);
    if (stream == nullptr) {
        return AVERROR(ENOMEM);
    }
    const int result = avcodec_parameters_copy(stream->codecpar, source.codecpar);
    if (result < 0) {
        return result;
    }
    stream->codecpar->codec_tag = 0;
    stream->disposition = AV_DISPOSITION_ATTACHED_PIC;
    stream->time_base = source.time_base;
    // The ID3v2 muxer names the picture from these.
    for (const char* key : {"title", "comment"}) {
        if (const AVDictionaryEntry* entry = av_dict_get(source.metadata, key, nullptr, 0)) {
            av_dict_set(&stream->metadata, key, entry->value, 0);
        }
    }
    file.cover_art_stream = stream;
    return 0;
}

} // namespace morvane
