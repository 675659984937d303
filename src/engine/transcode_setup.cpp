// The first half of transcode: encoders opened, one pipeline (decoder, filter graph) per
// converted stream, headers written.
#include "engine/display_shape.h"
#include "engine/engine.h"
#include "engine/silent_track.h"
#include "engine/stream_pipeline.h"

#include <cstdio>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/pixdesc.h>
}

namespace morvane {

namespace {

bool interlaced(const AVCodecParameters& parameters) {
    switch (parameters.field_order) {
    case AV_FIELD_TT:
    case AV_FIELD_BB:
    case AV_FIELD_TB:
    case AV_FIELD_BT:
        return true;
    default:
        return false;
    }
}

} // namespace

std::string Engine::video_filter_chain(const AVStream& source,
                                       const AVCodecContext& encoder) const {
    std::string chain;
    // Fields are rows of the stored picture, so they are woven before any turn; only
    // frames flagged interlaced are touched.
    if (interlaced(*source.codecpar)) {
        chain += "bwdif=mode=send_frame:deint=interlaced,";
    }
    switch (display_shape(source).clockwise_turn) {
    case 90:
        chain += "transpose=clock,";
        break;
    case 180:
        chain += "hflip,vflip,";
        break;
    case 270:
        chain += "transpose=cclock,";
        break;
    default:
        break;
    }
    const char* pixel_format = av_get_pix_fmt_name(encoder.pix_fmt);
    char text[512];
    std::snprintf(text, sizeof text,
                  "scale=%d:%d:flags=bicubic,setsar=1,pad=%d:%d:%d:%d:color=black,"
                  "format=pix_fmts=%s",
                  options_.frame_width, options_.frame_height, encoder.width, encoder.height,
                  options_.pad_left, options_.pad_top,
                  pixel_format != nullptr ? pixel_format : "yuv420p");
    return chain + text;
}

std::string Engine::audio_filter_chain(const AVCodecContext& encoder) const {
    char layout[256];
    if (av_channel_layout_describe(&encoder.ch_layout, layout, sizeof layout) < 0) {
        std::snprintf(layout, sizeof layout, "stereo");
    }
    const char* sample_format = av_get_sample_fmt_name(encoder.sample_fmt);
    char text[512];
    std::snprintf(text, sizeof text, "aformat=sample_fmts=%s:sample_rates=%d:channel_layouts=%s",
                  sample_format != nullptr ? sample_format : "s16", encoder.sample_rate, layout);
    return text;
}

int Engine::set_up_pipelines(InputFile& input, OutputFile& output) {
    struct Part {
        AVCodecContext* encoder;
        AVStream* stream;
        int source_index;
    };
    const Part parts[] = {
        {output.video_encoder.get(), output.video_stream, input.streams.video},
        {output.audio_encoder.get(), output.audio_stream, input.streams.audio},
    };
    for (const Part& part : parts) {
        if (part.encoder == nullptr) {
            continue;
        }
        const bool silence = part.source_index < 0 && options_.silent_sound &&
                             part.encoder->codec_type == AVMEDIA_TYPE_AUDIO &&
                             output.video_encoder != nullptr;
        if (part.source_index < 0 && !silence) {
            message("Could not find input stream matching output stream #0.%d\n",
                    part.stream->index);
            return AVERROR_STREAM_NOT_FOUND;
        }
        if (part.encoder->codec == nullptr) {
            message("Unsupported codec for output stream #0.%d\n", part.stream->index);
            return AVERROR_ENCODER_NOT_FOUND;
        }
        int result = avcodec_open2(part.encoder, part.encoder->codec, nullptr);
        if (result >= 0) {
            result = avcodec_parameters_from_context(part.stream->codecpar, part.encoder);
        }
        if (result < 0) {
            message("Error while opening codec for output stream #0.%d - maybe incorrect "
                    "parameters such as bit_rate, rate, width or height\n",
                    part.stream->index);
            return result;
        }
        part.stream->time_base = part.encoder->time_base;
        if (part.encoder->codec_type == AVMEDIA_TYPE_VIDEO) {
            part.stream->avg_frame_rate = part.encoder->framerate;
        }
        if (silence) {
            silent_track_ = std::make_unique<SilentTrack>(
                *part.encoder, *part.stream,
                [this](AVPacket& packet) { return mux_packet(packet); });
            result = silent_track_->open();
            if (result < 0) {
                return result;
            }
            continue;
        }
        AVStream& source = *input.container->streams[part.source_index];
        if (const AVDictionaryEntry* language =
                av_dict_get(source.metadata, "language", nullptr, 0)) {
            av_dict_set(&part.stream->metadata, "language", language->value, 0);
        }
        std::string chain = part.encoder->codec_type == AVMEDIA_TYPE_VIDEO
                                ? video_filter_chain(source, *part.encoder)
                                : audio_filter_chain(*part.encoder);
        auto pipeline = std::make_unique<StreamPipeline>(
            source, *part.encoder, *part.stream, std::move(chain),
            [this](AVPacket& packet) { return mux_packet(packet); });
        StreamPipeline::Settings settings;
        settings.decoder_threads = options_.decoder_threads;
        settings.filter_threads = options_.filter_threads;
        settings.max_pixels = options_.max_pixels;
        settings.time_limit = options_.recording_time;
        // Pictures and sound keep their places relative to each other from time 0.
        settings.start_at_zero = output.video_encoder != nullptr && output.audio_encoder != nullptr;
        result = pipeline->open(settings);
        if (result < 0) {
            message("Error while opening codec for input stream #0.%d\n", source.index);
            return result;
        }
        pipelines_.push_back(std::move(pipeline));
    }
    return 0;
}

} // namespace morvane
