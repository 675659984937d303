// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/video_thumbnail.h"

#include "engine/ffmpeg_error.h"
#include "engine/filter_graph.h"
#include "engine/frame_size_fit.h"
#include "engine/media_input.h"
#include "engine/stream_decoder.h"

#include <cstdio>
#include <memory>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

namespace morvane {

namespace {

// JPEG quality as the MJPEG encoder's quantizer: small, sharp enough for a list's icon.
constexpr int jpeg_quantizer = 3;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string failure(const char* what, int code) {
    return std::string(what) + ": " + ffmpeg_error_text(code);
}

// The first picture decoded at or after `target` (stream time base), else the last one
// before the end; `picture` holds it. 0 or an FFmpeg error.
int decode_picture_at(AVFormatContext& container, int stream_index, AVCodecContext& decoder,
                      std::int64_t target, AVFrame& picture) {
    const PacketPtr packet(av_packet_alloc());
    const FramePtr decoded(av_frame_alloc());
    if (!packet || !decoded) {
        return AVERROR(ENOMEM);
    }
    bool draining = false;
    for (;;) {
        int result = 0;
        if (!draining) {
            result = av_read_frame(&container, packet.get());
            if (result < 0) {
                draining = true;
                result = avcodec_send_packet(&decoder, nullptr);
            } else if (packet->stream_index == stream_index) {
                result = avcodec_send_packet(&decoder, packet.get());
                av_packet_unref(packet.get());
                if (result == AVERROR_INVALIDDATA) {
                    continue; // a damaged packet: the next may decode
                }
            } else {
                av_packet_unref(packet.get());
                continue;
            }
            if (result < 0 && result != AVERROR_EOF) {
                return result;
            }
        }
        for (;;) {
            result = avcodec_receive_frame(&decoder, decoded.get());
            if (result == AVERROR(EAGAIN)) {
                break;
            }
            if (result == AVERROR_EOF) {
                return picture.width > 0 ? 0 : AVERROR_STREAM_NOT_FOUND;
            }
            if (result < 0) {
                return result;
            }
            av_frame_unref(&picture);
            av_frame_move_ref(&picture, decoded.get());
            if (picture.best_effort_timestamp != AV_NOPTS_VALUE &&
                picture.best_effort_timestamp >= target) {
                return 0;
            }
        }
    }
}

} // namespace

std::optional<std::string> write_video_thumbnail(const std::string& film,
                                                 const std::string& jpeg_path,
                                                 const ThumbnailShape& shape) {
    MediaInput input;
    if (std::optional<std::string> error = input.open(film)) {
        return error;
    }
    const std::optional<MediaInput::Picture> shown = input.picture();
    if (!shown || shown->width <= 0 || shown->height <= 0) {
        return std::string("the film has no picture");
    }
    AVFormatContext& container = input.container();
    const int index = input.streams().video;
    const AVStream& stream = *container.streams[index];

    CodecContextPtr decoder;
    int result = make_stream_decoder(stream, decoder);
    if (result >= 0) {
        decoder->max_pixels = MediaInput::max_pixels;
        result = avcodec_open2(decoder.get(), nullptr, nullptr);
    }
    if (result < 0) {
        return failure("cannot decode the film's pictures", result);
    }

    // Seeking lands on the keyframe before the time; decoding goes on from there.
    const std::int64_t start = stream.start_time != AV_NOPTS_VALUE ? stream.start_time : 0;
    const std::int64_t target =
        start + av_rescale_q(static_cast<std::int64_t>(input.duration_seconds() * shape.at_share *
                                                       AV_TIME_BASE),
                             AV_TIME_BASE_Q, stream.time_base);
    if (target > start) {
        av_seek_frame(&container, index, target, AVSEEK_FLAG_BACKWARD); // else from the start
    }
    const FramePtr picture(av_frame_alloc());
    const FramePtr fitted(av_frame_alloc());
    if (!picture || !fitted) {
        return failure("no memory", AVERROR(ENOMEM));
    }
    result = decode_picture_at(container, index, *decoder, target, *picture);
    if (result < 0) {
        return failure("no picture of the film could be decoded", result);
    }

    // The picture as shown (pixel shape applied), between black borders, in JPEG's full range.
    const FrameSizeFit fit = fit_frame_size(shown->width, shown->height, shape.width, shape.height);
    AVRational pixel = picture->sample_aspect_ratio;
    if (pixel.num <= 0 || pixel.den <= 0) {
        pixel = AVRational{1, 1};
    }
    char source[256];
    std::snprintf(source, sizeof source,
                  "video_size=%dx%d:pix_fmt=%d:time_base=1/25:pixel_aspect=%d/%d", picture->width,
                  picture->height, picture->format, pixel.num, pixel.den);
    const std::string chain = fitting_filters(fit.width, fit.height, shape.width, shape.height,
                                              fit.pad_left, fit.pad_top, "yuvj420p");
    FilterGraph graph;
    result = graph.configure("buffer", source, chain, 1);
    if (result >= 0) {
        picture->pts = 0;
        result = av_buffersrc_add_frame(graph.source(), picture.get());
    }
    if (result >= 0) {
        result = av_buffersrc_add_frame(graph.source(), nullptr);
    }
    if (result >= 0) {
        result = av_buffersink_get_frame(graph.sink(), fitted.get());
    }
    if (result < 0) {
        return failure("cannot fit the picture", result);
    }

    const AVCodec* jpeg = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    CodecContextPtr encoder(avcodec_alloc_context3(jpeg));
    if (jpeg == nullptr || !encoder) {
        return std::string("no JPEG encoder");
    }
    encoder->width = shape.width;
    encoder->height = shape.height;
    encoder->pix_fmt = AV_PIX_FMT_YUVJ420P;
    encoder->time_base = AVRational{1, 25};
    encoder->flags |= AV_CODEC_FLAG_QSCALE;
    encoder->global_quality = FF_QP2LAMBDA * jpeg_quantizer;
    fitted->quality = encoder->global_quality;
    const PacketPtr packet(av_packet_alloc());
    result = packet ? avcodec_open2(encoder.get(), jpeg, nullptr) : AVERROR(ENOMEM);
    if (result >= 0) {
        result = avcodec_send_frame(encoder.get(), fitted.get());
    }
    if (result >= 0) {
        result = avcodec_send_frame(encoder.get(), nullptr);
    }
    if (result >= 0) {
        result = avcodec_receive_packet(encoder.get(), packet.get());
    }
    if (result < 0) {
        return failure("cannot make the JPEG", result);
    }

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(jpeg_path.c_str(), "wb"));
    if (!file) {
        return "cannot write " + jpeg_path;
    }
    const bool written = std::fwrite(packet->data, 1, static_cast<std::size_t>(packet->size),
                                     file.get()) == static_cast<std::size_t>(packet->size);
    if (!written || std::fclose(file.release()) != 0) {
        return "cannot write " + jpeg_path;
    }
    return std::nullopt;
}

} // namespace morvane
