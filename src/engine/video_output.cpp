// The video output path: drop or repeat pictures to follow the input's clock at the output
// frame rate, scale into the fitted size inside the black borders, encode, write.
#include "engine/engine.h"

extern "C" {
#include <libavutil/imgutils.h>
}

namespace morvane {

Engine::Step Engine::encode_video_frame(OutputStreamRecord& output, InputStreamRecord& input,
                                        AVFrame& decoded, int& encoded_size) {
    encoded_size = 0;
    AVCodecContext* enc = output.encoder;
    const double time =
        static_cast<double>(input.current_timestamp - options_.start_time) / AV_TIME_BASE;
    const double frame_time = av_q2d(enc->time_base);

    std::int64_t copies = 1;
    if (options_.video_sync_method != 0) {
        const double late_by = time / frame_time - static_cast<double>(output.next_output_frame);
        if (late_by < -1.1) {
            copies = 0;
            if (options_.verbosity > 2) {
                message("*** drop!\n");
            }
        } else if (options_.video_sync_method == 2) {
            output.next_output_frame = static_cast<std::int64_t>(time / frame_time + 0.5);
        } else if (late_by > 1.1) {
            copies = static_cast<std::int64_t>(late_by + 0.5);
            if (copies > 1 && options_.verbosity > 2) {
                message("*** %d dup!\n", static_cast<int>(copies - 1));
            }
        }
    } else {
        output.next_output_frame = static_cast<std::int64_t>(time / frame_time + 0.5);
    }
    copies = std::min<std::int64_t>(copies,
                                    options_.max_frames[AVMEDIA_TYPE_VIDEO] - output.frame_number);
    if (copies <= 0 || decoded.width <= 0 || decoded.height <= 0) {
        return Step::ok;
    }

    AVFrame* picture = &decoded;
    const int interior_width = enc->width - output.pads.left - output.pads.right;
    const int interior_height = enc->height - output.pads.top - output.pads.bottom;
    const bool needs_scaling = decoded.width != interior_width ||
                               decoded.height != interior_height || decoded.format != enc->pix_fmt;
    if (output.video_pad || needs_scaling) {
        if (!output.pictures.is_configured() &&
            output.pictures.configure(enc->pix_fmt, enc->width, enc->height, output.pads,
                                      options_.pad_color) < 0) {
            message("error padding picture\n");
            return Step::ok;
        }
        AVFrame* target = output.pictures.writable_picture();
        if (target == nullptr) {
            message("error padding picture\n");
            return Step::ok;
        }
        std::uint8_t* planes[4];
        int linesizes[4];
        output.pictures.interior(target, planes, linesizes);
        if (needs_scaling) {
            // Cached: a stream that changes its picture size mid-way gets a new scaler.
            SwsContext* scaler = sws_getCachedContext(
                output.scaler.release(), decoded.width, decoded.height,
                static_cast<AVPixelFormat>(decoded.format), interior_width, interior_height,
                enc->pix_fmt, options_.scaler_flags, nullptr, nullptr, nullptr);
            output.scaler.reset(scaler);
            if (scaler == nullptr) {
                message("Cannot get resampling context\n");
                return Step::ok;
            }
            sws_scale(scaler, decoded.data, decoded.linesize, 0, decoded.height, planes, linesizes);
        } else {
            av_image_copy(planes, linesizes, const_cast<const std::uint8_t**>(decoded.data),
                          decoded.linesize, enc->pix_fmt, interior_width, interior_height);
        }
        target->interlaced_frame = decoded.interlaced_frame;
        target->top_field_first = decoded.top_field_first;
        picture = target;
    }
    picture->sample_aspect_ratio = enc->sample_aspect_ratio;
    picture->pict_type = AV_PICTURE_TYPE_NONE; // the encoder chooses the picture types
    picture->quality = 0;
    av_frame_unref(output.last_picture.get());
    if (av_frame_ref(output.last_picture.get(), picture) < 0) {
        av_frame_unref(output.last_picture.get());
    }
    return send_video_copies(output, *picture, copies, encoded_size);
}

Engine::Step Engine::send_video_copies(OutputStreamRecord& output, AVFrame& picture,
                                       std::int64_t copies, int& encoded_size) {
    AVCodecContext* enc = output.encoder;
    for (std::int64_t copy = 0; copy < copies; ++copy) {
        picture.pts = output.next_output_frame;
        if (avcodec_send_frame(enc, &picture) < 0) {
            message("Video encoding failed\n");
            close_engine_files();
            return Step::fatal;
        }
        const Step step = receive_and_write_packets(output, &encoded_size);
        if (step != Step::ok) {
            return step;
        }
        output.next_output_frame += 1;
        output.frame_number += 1;
    }
    return Step::ok;
}

Engine::Step Engine::finish_video_stream(OutputStreamRecord& output,
                                         const InputStreamRecord& input) {
    // The last picture lasts until the input's last frame ends, not one output frame: the
    // picture and the sound then end together.
    AVFrame* last = output.last_picture.get();
    if (last->buf[0] == nullptr || input.next_timestamp == AV_NOPTS_VALUE) {
        return Step::ok;
    }
    const double end = static_cast<double>(input.next_timestamp - options_.start_time) /
                       AV_TIME_BASE / av_q2d(output.encoder->time_base);
    std::int64_t missing = static_cast<std::int64_t>(end + 0.5) - output.next_output_frame;
    missing = std::min<std::int64_t>(missing,
                                     options_.max_frames[AVMEDIA_TYPE_VIDEO] - output.frame_number);
    int encoded_size = 0;
    const Step step =
        missing > 0 ? send_video_copies(output, *last, missing, encoded_size) : Step::ok;
    av_frame_unref(last);
    return step;
}

Engine::Step Engine::encode_subtitle(OutputStreamRecord& output, InputStreamRecord& input,
                                     AVSubtitle& subtitle, std::int64_t pts) {
    if (pts == AV_NOPTS_VALUE) {
        message("Subtitle packets must have a pts\n");
        return Step::ok;
    }
    constexpr int buffer_size = 65536;
    if (subtitle_buffer_.empty()) {
        subtitle_buffer_.resize(buffer_size);
    }
    AVCodecContext* enc = output.encoder;
    // DVB subtitles need one packet that shows the text and one that clears it.
    const bool dvb = enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE;
    const unsigned shown_rectangles = subtitle.num_rects;
    subtitle.pts = av_rescale_q(pts, input.stream->time_base, AV_TIME_BASE_Q);
    Step step = Step::ok;
    for (int part = 0; part < (dvb ? 2 : 1) && step == Step::ok; ++part) {
        if (part == 1) {
            subtitle.num_rects = 0;
        }
        const int size =
            avcodec_encode_subtitle(enc, subtitle_buffer_.data(), buffer_size, &subtitle);
        if (size < 0) {
            message("Subtitle encoding failed\n");
            break;
        }
        AVPacket* packet = encoded_packet_.get();
        if (av_new_packet(packet, size) < 0) {
            break;
        }
        std::copy_n(subtitle_buffer_.data(), size, packet->data);
        std::int64_t shown_at = av_rescale_q(pts, input.stream->time_base, enc->time_base);
        if (dvb) {
            const auto display_ms =
                part == 0 ? subtitle.start_display_time : subtitle.end_display_time;
            shown_at += av_rescale_q(display_ms, AVRational{1, 1000}, enc->time_base);
        }
        packet->pts = packet->dts = shown_at;
        step = write_output_packet(output, *packet);
        av_packet_unref(packet);
    }
    subtitle.num_rects = shown_rectangles;
    return step;
}

} // namespace morvane
