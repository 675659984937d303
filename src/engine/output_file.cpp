// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/output_file.h"

#include "engine/cover_art.h"
#include "engine/encoder_choice.h"
#include "engine/ffmpeg_error.h"

#include <algorithm>

extern "C" {
#include <libavutil/opt.h>
}

namespace morvane {

namespace {

// The muxer interleaves within this much time (microseconds).
constexpr int mux_max_delay = 700000;
// The largest frame an encoder is given.
constexpr int max_frame_side = 16384;

// The tags that describe the content; both MP4 and MP3 (ID3v2) have a place for each.
constexpr const char* carried_tags[] = {
    "title", "artist", "album", "album_artist", "track", "disc", "date", "genre", "comment",
};

int copy_tags(const MediaInput& input, AVDictionary** destination) {
    const AVFormatContext& container = input.container();
    // Some containers (Ogg, for one) keep the tags on the sound stream.
    const int audio = input.streams().audio;
    const AVDictionary* stream_tags = audio >= 0 ? container.streams[audio]->metadata : nullptr;
    for (const char* key : carried_tags) {
        const AVDictionaryEntry* entry = av_dict_get(container.metadata, key, nullptr, 0);
        if (entry == nullptr && stream_tags != nullptr) {
            entry = av_dict_get(stream_tags, key, nullptr, 0);
        }
        if (entry != nullptr && entry->value[0] != '\0') {
            const int result = av_dict_set(destination, key, entry->value, 0);
            if (result < 0) {
                return result;
            }
        }
    }
    return 0;
}

// Cover pictures the MP4 (covr) and MP3 (APIC) muxers can carry as they are. A picture whose
// size the probe could not tell (damaged, or beyond the bound on picture size) stays behind.
bool carries_cover_art(const AVOutputFormat& format, const AVCodecParameters& picture) {
    const AVCodecID codec = picture.codec_id;
    if (codec != AV_CODEC_ID_MJPEG && codec != AV_CODEC_ID_PNG && codec != AV_CODEC_ID_BMP) {
        return false;
    }
    if (picture.width <= 0 || picture.height <= 0) {
        return false;
    }
    const std::string name = format.name;
    return name == "mp3" || name == "mp4" || name == "ipod" || name == "mov";
}

} // namespace

int OutputFile::open(const std::string& path, const MediaInput& input, const ConversionPlan& plan,
                     std::string& reason) {
    const AVOutputFormat* format = av_guess_format(plan.container.c_str(), nullptr, nullptr);
    if (format == nullptr || plan.container.empty()) {
        reason = "no muxer is called \"" + plan.container + "\"";
        return AVERROR_MUXER_NOT_FOUND;
    }
    AVFormatContext* raw_context = nullptr;
    int result = avformat_alloc_output_context2(&raw_context, format, nullptr, path.c_str());
    container_.reset(raw_context);
    if (result < 0) {
        return result;
    }
    // Containers that keep no timestamps (.mp3) can carry a cover picture but no moving video.
    if (plan.picture && !(format->flags & AVFMT_NOTIMESTAMPS)) {
        result = add_video_stream(*plan.picture, reason);
    }
    if (result >= 0 && plan.sound && plan.sound->copy && !plan.picture) {
        const int source = plan.sound->stream >= 0 ? plan.sound->stream : input.streams().audio;
        if (source < 0 || static_cast<unsigned>(source) >= input.container().nb_streams ||
            input.container().streams[source]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) {
            reason = "the input has no sound stream to copy";
            return AVERROR_STREAM_NOT_FOUND;
        }
        result = add_copied_audio_stream(*input.container().streams[source]);
    } else if (result >= 0 && plan.sound) {
        result = add_audio_stream(*plan.sound, audio_encoder_, audio_stream_, reason);
    }
    if (result >= 0 && plan.sound && !plan.sound->silence && plan.alternate_sound) {
        result = add_audio_stream(*plan.sound, alternate_audio_encoder_, alternate_audio_stream_,
                                  reason);
        // The MP4 muxer enables the tracks marked default (one per kind when none is): the
        // player starts with the main sound and offers the other in the same alternate group.
        if (result >= 0) {
            audio_stream_->disposition = AV_DISPOSITION_DEFAULT;
            alternate_audio_stream_->disposition = 0;
        }
    }
    if (result >= 0 && plan.subtitle_track && video_stream_ != nullptr) {
        result =
            new_encoder(plan.subtitle_track->encoder, subtitle_encoder_, subtitle_stream_, reason);
    }
    const int cover = input.streams().cover_art;
    if (result >= 0 && cover >= 0 && container_->nb_streams > 0 &&
        carries_cover_art(*format, *input.container().streams[cover]->codecpar)) {
        result = add_cover_art_stream(*input.container().streams[cover]);
    }
    if (result >= 0) {
        result = copy_tags(input, &container_->metadata);
    }
    if (result >= 0 && !(format->flags & AVFMT_NOFILE)) {
        result = avio_open(&container_->pb, path.c_str(), AVIO_FLAG_WRITE);
    }
    container_->max_delay = mux_max_delay;
    return result;
}

int OutputFile::new_encoder(const NamedEncoder& wanted, CodecContextPtr& slot, AVStream*& stream,
                            std::string& reason) {
    const AVCodec* encoder = avcodec_find_encoder_by_name(wanted.name.c_str());
    if (encoder == nullptr) {
        reason = "no encoder is called \"" + wanted.name + "\"";
        return AVERROR_ENCODER_NOT_FOUND;
    }
    stream = avformat_new_stream(container_.get(), nullptr);
    slot.reset(avcodec_alloc_context3(encoder));
    if (stream == nullptr || !slot) {
        return AVERROR(ENOMEM);
    }
    if (container_->oformat->flags & AVFMT_GLOBALHEADER) {
        slot->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    // Set now, before the stream's shape: the encoder is opened later, once everything is set.
    for (const auto& [name, value] : wanted.options) {
        const int result =
            av_opt_set(slot.get(), name.c_str(), value.c_str(), AV_OPT_SEARCH_CHILDREN);
        if (result < 0) {
            reason = "the encoder " + wanted.name + " takes no " + name + "=" + value + " (" +
                     ffmpeg_error_text(result) + ")";
            return result;
        }
    }
    return 0;
}

int OutputFile::add_video_stream(const ConversionPlan::Picture& picture, std::string& reason) {
    if (picture.picture_width <= 0 || picture.picture_height <= 0 || picture.frame_width <= 0 ||
        picture.frame_height <= 0 || picture.frame_width > max_frame_side ||
        picture.frame_height > max_frame_side) {
        // What the probe could not size: a damaged picture, or one beyond the bound.
        reason = "the picture has no size that can be read (damaged, or larger than 8K)";
        return AVERROR(EINVAL);
    }
    const int result = new_encoder(picture.encoder, video_encoder_, video_stream_, reason);
    if (result < 0) {
        return result;
    }
    AVCodecContext* encoder = video_encoder_.get();
    const AVCodec& codec = *encoder->codec;
    encoder->framerate = nearest_frame_rate(codec.supported_framerates,
                                            {picture.frame_rate.num, picture.frame_rate.den});
    encoder->time_base = av_inv_q(encoder->framerate);
    encoder->width = picture.frame_width;
    encoder->height = picture.frame_height;
    // Square pixels: the players ignore any other shape.
    encoder->sample_aspect_ratio = AVRational{1, 1};
    video_stream_->sample_aspect_ratio = AVRational{1, 1};
    encoder->pix_fmt = choose_pixel_format(codec.pix_fmts, AV_PIX_FMT_YUV420P);
    return 0;
}

int OutputFile::add_audio_stream(const ConversionPlan::Sound& sound, CodecContextPtr& slot,
                                 AVStream*& stream, std::string& reason) {
    const int result = new_encoder(sound.encoder, slot, stream, reason);
    if (result < 0) {
        return result;
    }
    AVCodecContext* encoder = slot.get();
    const AVCodec& codec = *encoder->codec;
    // The plan's rate and channels, or the nearest the encoder supports: an unusual shape
    // (96 kHz on MP3, six channels on an encoder of stereo) still converts. What a player
    // decodes is the plan's to say.
    const int channels = std::clamp(sound.channels > 0 ? sound.channels : 2, 1, 8);
    const int rate = sound.sample_rate > 0 ? sound.sample_rate : 44100;
    nearest_channel_layout(codec.ch_layouts, channels, encoder->ch_layout);
    encoder->sample_rate = nearest_sample_rate(codec.supported_samplerates, rate);
    encoder->sample_fmt = choose_sample_format(codec.sample_fmts);
    encoder->time_base = AVRational{1, encoder->sample_rate};
    return 0;
}

int OutputFile::finish() {
    const int result = av_write_trailer(container_.get());
    if (result < 0) {
        return result;
    }
    AVIOContext* file = container_->pb;
    if (file == nullptr) {
        return 0;
    }
    avio_flush(file);
    return file->error < 0 ? file->error : 0;
}

int OutputFile::new_copied_stream(const AVStream& source, AVStream*& stream) {
    stream = avformat_new_stream(container_.get(), nullptr);
    if (stream == nullptr) {
        return AVERROR(ENOMEM);
    }
    const int result = avcodec_parameters_copy(stream->codecpar, source.codecpar);
    if (result < 0) {
        return result;
    }
    // The source container's tag for the codec means nothing in another one.
    stream->codecpar->codec_tag = 0;
    stream->time_base = source.time_base;
    return 0;
}

int OutputFile::add_copied_audio_stream(const AVStream& source) {
    return new_copied_stream(source, audio_stream_);
}

int OutputFile::add_cover_art_stream(const AVStream& source) {
    AVStream* stream = nullptr;
    const int result = new_copied_stream(source, stream);
    if (result < 0) {
        return result;
    }
    stream->disposition = AV_DISPOSITION_ATTACHED_PIC;
    // The ID3v2 muxer names the picture from these.
    for (const char* key : {"title", "comment"}) {
        if (const AVDictionaryEntry* entry = av_dict_get(source.metadata, key, nullptr, 0)) {
            av_dict_set(&stream->metadata, key, entry->value, 0);
        }
    }
    cover_art_stream_ = stream;
    return 0;
}

} // namespace morvane
