// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/subtitle_stream.h"

#include "engine/stream_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
}

namespace morvane {

namespace {

// A subtitle whose end is not stated (a bitmap stream that clears the screen with the next
// one) is shown at most this long, so that a lost clearing packet does not keep it forever.
constexpr std::int64_t longest_open_subtitle = 10 * std::int64_t{AV_TIME_BASE};
// The largest subtitle picture drawn (pixels): larger is damage.
constexpr std::int64_t largest_bitmap = 4096LL * 4096;
// Room for one encoded text subtitle; a longer one is passed over.
constexpr std::size_t encoded_room = 64 * 1024;

// Decoded subtitles are freed whatever path their use takes.
struct DecodedSubtitle {
    AVSubtitle value{};
    ~DecodedSubtitle() { avsubtitle_free(&value); }
};

// A palette entry (0xAARRGGBB) as limited-range BT.601 luma, chroma and alpha.
std::array<std::uint8_t, 4> yuva(std::uint32_t argb) {
    const int alpha = static_cast<int>(argb >> 24);
    const int red = static_cast<int>((argb >> 16) & 0xff);
    const int green = static_cast<int>((argb >> 8) & 0xff);
    const int blue = static_cast<int>(argb & 0xff);
    const int luma = ((66 * red + 129 * green + 25 * blue + 128) >> 8) + 16;
    const int u = ((-38 * red - 74 * green + 112 * blue + 128) >> 8) + 128;
    const int v = ((112 * red - 94 * green - 18 * blue + 128) >> 8) + 128;
    return {static_cast<std::uint8_t>(alpha), static_cast<std::uint8_t>(std::clamp(luma, 0, 255)),
            static_cast<std::uint8_t>(std::clamp(u, 0, 255)),
            static_cast<std::uint8_t>(std::clamp(v, 0, 255))};
}

bool blendable(int format) {
    return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P;
}

// Microseconds since the timeline's start of a decoded subtitle, from its own time or its
// packet's.
std::int64_t subtitle_time(const AVSubtitle& subtitle, const AVPacket& packet,
                           AVRational time_base) {
    if (subtitle.pts != AV_NOPTS_VALUE) {
        return subtitle.pts;
    }
    return packet.pts != AV_NOPTS_VALUE ? av_rescale_q(packet.pts, time_base, AV_TIME_BASE_Q)
                                        : AV_NOPTS_VALUE;
}

} // namespace

SubtitleStream::SubtitleStream(const AVStream& input) : input_(input), packet_(av_packet_alloc()) {}

SubtitleStream::~SubtitleStream() = default;

int SubtitleStream::open_decoder() {
    if (!packet_) {
        return AVERROR(ENOMEM);
    }
    const int result = make_stream_decoder(input_, decoder_);
    return result < 0 ? result : avcodec_open2(decoder_.get(), nullptr, nullptr);
}

int SubtitleStream::open_counting() {
    use_ = Use::count;
    return open_decoder();
}

int SubtitleStream::open_track(AVCodecContext& encoder, AVStream& output, PacketWriter writer) {
    use_ = Use::track;
    int result = open_decoder();
    if (result < 0) {
        return result;
    }
    // The encoder writes the decoder's styles (the text decoders give every event as ASS).
    if (decoder_->subtitle_header != nullptr && decoder_->subtitle_header_size > 0) {
        const auto size = static_cast<std::size_t>(decoder_->subtitle_header_size);
        encoder.subtitle_header = static_cast<std::uint8_t*>(av_mallocz(size + 1));
        if (encoder.subtitle_header == nullptr) {
            return AVERROR(ENOMEM);
        }
        std::memcpy(encoder.subtitle_header, decoder_->subtitle_header, size);
        encoder.subtitle_header_size = decoder_->subtitle_header_size;
    }
    encoder.time_base = AVRational{1, 1000};
    result = avcodec_open2(&encoder, encoder.codec, nullptr);
    if (result >= 0) {
        result = avcodec_parameters_from_context(output.codecpar, &encoder);
    }
    if (result < 0) {
        return result;
    }
    output.time_base = encoder.time_base;
    encoder_ = &encoder;
    output_ = &output;
    writer_ = std::move(writer);
    encoded_.resize(encoded_room);
    return 0;
}

int SubtitleStream::open_drawing(Area area, int text_height, int canvas_width, int canvas_height) {
    use_ = Use::draw;
    area_ = area;
    text_height_ = text_height;
    canvas_width_ = canvas_width;
    canvas_height_ = canvas_height;
    return open_decoder();
}

int SubtitleStream::send_packet(const AVPacket& packet) {
    if (!decoder_ || packet.size <= 0) {
        return 0;
    }
    packets_ += 1;
    DecodedSubtitle subtitle;
    int got = 0;
    // FFmpeg 5.1 declares the packet writable but only reads it.
    const int result = avcodec_decode_subtitle2(decoder_.get(), &subtitle.value, &got,
                                                const_cast<AVPacket*>(&packet));
    if (result < 0) {
        damaged_ += 1;
        return 0;
    }
    if (got == 0) {
        return 0;
    }
    if (subtitle.value.num_rects > 0) {
        shown_ += 1;
    }
    switch (use_) {
    case Use::count:
        return 0;
    case Use::track:
        return subtitle.value.num_rects > 0 ? write_track(subtitle.value, packet) : 0;
    case Use::draw:
        keep_overlay(subtitle.value, packet);
        return 0;
    }
    return 0;
}

int SubtitleStream::write_track(AVSubtitle& subtitle, const AVPacket& packet) {
    const std::int64_t time = subtitle_time(subtitle, packet, input_.time_base);
    if (time == AV_NOPTS_VALUE) {
        damaged_ += 1;
        return 0;
    }
    const std::int64_t start = time + std::int64_t{subtitle.start_display_time} * 1000;
    std::int64_t duration_ms = 0;
    if (subtitle.end_display_time > subtitle.start_display_time &&
        subtitle.end_display_time != std::numeric_limits<std::uint32_t>::max()) {
        duration_ms = subtitle.end_display_time - subtitle.start_display_time;
    } else if (packet.duration > 0) {
        duration_ms = av_rescale_q(packet.duration, input_.time_base, AVRational{1, 1000});
    }
    const std::int64_t at = av_rescale_q(start, AV_TIME_BASE_Q, output_->time_base);
    // Before the film's start, or not after the last one written: the muxer would refuse it.
    if (at < 0 || (last_written_ != AV_NOPTS_VALUE && at <= last_written_)) {
        damaged_ += 1;
        return 0;
    }
    subtitle.pts = start;
    subtitle.end_display_time = static_cast<std::uint32_t>(std::max<std::int64_t>(duration_ms, 0));
    subtitle.start_display_time = 0;
    const int size = avcodec_encode_subtitle(encoder_, encoded_.data(),
                                             static_cast<int>(encoded_.size()), &subtitle);
    if (size <= 0) {
        damaged_ += 1; // nothing the encoder can say of it (too long, or no text)
        return 0;
    }
    AVPacket& out = *packet_;
    av_packet_unref(&out);
    out.data = encoded_.data();
    out.size = size;
    out.pts = at;
    out.dts = at;
    out.duration = av_rescale_q(duration_ms, AVRational{1, 1000}, output_->time_base);
    out.stream_index = output_->index;
    out.flags = AV_PKT_FLAG_KEY;
    last_written_ = at;
    const int result = writer_(out);
    av_packet_unref(&out);
    return result;
}

void SubtitleStream::keep_overlay(const AVSubtitle& subtitle, const AVPacket& packet) {
    const std::int64_t time = subtitle_time(subtitle, packet, input_.time_base);
    if (time == AV_NOPTS_VALUE) {
        damaged_ += 1;
        return;
    }
    if (count_ == overlays_.size()) {
        // Subtitles far ahead of the pictures: the oldest gives way.
        first_ = (first_ + 1) % overlays_.size();
        count_ -= 1;
    }
    Overlay& overlay = overlays_[(first_ + count_) % overlays_.size()];
    overlay.start = time + std::int64_t{subtitle.start_display_time} * 1000;
    if (subtitle.end_display_time > subtitle.start_display_time &&
        subtitle.end_display_time != std::numeric_limits<std::uint32_t>::max()) {
        overlay.end = time + std::int64_t{subtitle.end_display_time} * 1000;
    } else if (packet.duration > 0) {
        overlay.end =
            overlay.start + av_rescale_q(packet.duration, input_.time_base, AV_TIME_BASE_Q);
    } else {
        overlay.end = overlay.start + longest_open_subtitle;
    }
    place_overlay(subtitle, overlay);
    count_ += 1;
}

void SubtitleStream::place_overlay(const AVSubtitle& subtitle, Overlay& overlay) {
    overlay.empty = true;
    // The rectangles' bounds, in the size the subtitles were made for.
    int left = std::numeric_limits<int>::max();
    int top = std::numeric_limits<int>::max();
    int right = std::numeric_limits<int>::min();
    int bottom = std::numeric_limits<int>::min();
    for (unsigned index = 0; index < subtitle.num_rects; ++index) {
        const AVSubtitleRect& rect = *subtitle.rects[index];
        if (rect.type != SUBTITLE_BITMAP || rect.w <= 0 || rect.h <= 0 || rect.x < 0 ||
            rect.y < 0 || rect.data[0] == nullptr || rect.data[1] == nullptr) {
            continue;
        }
        left = std::min(left, rect.x);
        top = std::min(top, rect.y);
        right = std::max(right, rect.x + rect.w);
        bottom = std::max(bottom, rect.y + rect.h);
    }
    if (left >= right || top >= bottom || area_.width < 2 || area_.height < 2) {
        return;
    }
    const int source_width = right - left;
    const int source_height = bottom - top;
    if (static_cast<std::int64_t>(source_width) * source_height > largest_bitmap) {
        return;
    }
    // The rectangles composed into one picture of their bounds.
    std::vector<std::array<std::uint8_t, 4>>& composed = composed_;
    composed.assign(static_cast<std::size_t>(source_width) * source_height, {0, 0, 128, 128});
    for (unsigned index = 0; index < subtitle.num_rects; ++index) {
        const AVSubtitleRect& rect = *subtitle.rects[index];
        if (rect.type != SUBTITLE_BITMAP || rect.w <= 0 || rect.h <= 0 || rect.x < 0 ||
            rect.y < 0 || rect.data[0] == nullptr || rect.data[1] == nullptr) {
            continue;
        }
        const auto* palette = reinterpret_cast<const std::uint32_t*>(rect.data[1]);
        const int colours = std::clamp(rect.nb_colors, 0, 256);
        for (int row = 0; row < rect.h; ++row) {
            const std::uint8_t* line =
                rect.data[0] + static_cast<std::ptrdiff_t>(row) * rect.linesize[0];
            auto* into = &composed[static_cast<std::size_t>(rect.y - top + row) * source_width +
                                   static_cast<std::size_t>(rect.x - left)];
            for (int column = 0; column < rect.w; ++column) {
                const int entry = line[column];
                if (entry < colours) {
                    into[column] = yuva(palette[entry]);
                }
            }
        }
    }
    // Scaled as the picture is, and larger where its text would be too small to read: never
    // less high than a line of text, never wider than the picture nor higher than half of it.
    const int canvas_width = decoder_->width > 0 ? decoder_->width
                             : canvas_width_ > 0 ? canvas_width_
                                                 : right;
    const int canvas_height = decoder_->height > 0 ? decoder_->height
                              : canvas_height_ > 0 ? canvas_height_
                                                   : bottom;
    const double scale_x = static_cast<double>(area_.width) / canvas_width;
    const double scale_y = static_cast<double>(area_.height) / canvas_height;
    double enlarge = std::max(1.0, text_height_ / (source_height * scale_y));
    enlarge = std::min({enlarge, area_.width / (source_width * scale_x),
                        area_.height / 2.0 / (source_height * scale_y)});
    const int width = std::clamp(
        static_cast<int>(std::lround(source_width * scale_x * enlarge)) & ~1, 2, area_.width & ~1);
    const int height =
        std::clamp(static_cast<int>(std::lround(source_height * scale_y * enlarge)) & ~1, 2,
                   area_.height & ~1);
    // Where it was, by its bottom centre, kept inside the picture.
    const double centre = area_.left + (left + source_width / 2.0) * scale_x;
    const double base = area_.top + bottom * scale_y;
    const int x = std::clamp(static_cast<int>(std::lround(centre - width / 2.0)), area_.left,
                             area_.left + area_.width - width);
    const int y = std::clamp(static_cast<int>(std::lround(base)) - height, area_.top,
                             area_.top + area_.height - height);
    overlay.x = std::max(0, x & ~1);
    overlay.y = std::max(0, y & ~1);
    overlay.width = width;
    overlay.height = height;

    // Each pixel the average of the source pixels it covers (premultiplied by their alpha),
    // so that thin strokes made smaller fade rather than vanish.
    const auto average = [&](int x0, int x1, int y0, int y1, std::uint16_t& alpha,
                             std::uint16_t& luma, std::uint16_t& u, std::uint16_t& v) {
        const int from_x = x0 * source_width / width;
        const int to_x = std::max(from_x + 1, x1 * source_width / width);
        const int from_y = y0 * source_height / height;
        const int to_y = std::max(from_y + 1, y1 * source_height / height);
        std::uint32_t sum_alpha = 0, sum_luma = 0, sum_u = 0, sum_v = 0;
        for (int row = from_y; row < to_y; ++row) {
            const auto* pixel = &composed[static_cast<std::size_t>(row) * source_width];
            for (int column = from_x; column < to_x; ++column) {
                const auto& [a, l, cu, cv] = pixel[column];
                sum_alpha += a;
                sum_luma += static_cast<std::uint32_t>(l) * a;
                sum_u += static_cast<std::uint32_t>(cu) * a;
                sum_v += static_cast<std::uint32_t>(cv) * a;
            }
        }
        const auto count = static_cast<std::uint32_t>((to_x - from_x) * (to_y - from_y));
        alpha = static_cast<std::uint16_t>(sum_alpha / count);
        luma = static_cast<std::uint16_t>(sum_luma / count);
        u = static_cast<std::uint16_t>(sum_u / count);
        v = static_cast<std::uint16_t>(sum_v / count);
    };
    const auto pixels = static_cast<std::size_t>(width) * height;
    overlay.alpha.resize(pixels);
    overlay.luma.resize(pixels);
    overlay.chroma_alpha.resize(pixels / 4);
    overlay.chroma_u.resize(pixels / 4);
    overlay.chroma_v.resize(pixels / 4);
    std::uint16_t u = 0, v = 0;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const auto at = static_cast<std::size_t>(row) * width + column;
            average(column, column + 1, row, row + 1, overlay.alpha[at], overlay.luma[at], u, v);
        }
    }
    std::uint16_t luma = 0;
    for (int row = 0; row < height / 2; ++row) {
        for (int column = 0; column < width / 2; ++column) {
            const auto at = static_cast<std::size_t>(row) * (width / 2) + column;
            average(column * 2, column * 2 + 2, row * 2, row * 2 + 2, overlay.chroma_alpha[at],
                    luma, overlay.chroma_u[at], overlay.chroma_v[at]);
        }
    }
    overlay.empty = false;
}

int SubtitleStream::draw(AVFrame& picture, std::int64_t time) {
    while (count_ > 0) {
        const Overlay& front = overlays_[first_];
        const bool next_started =
            count_ > 1 && overlays_[(first_ + 1) % overlays_.size()].start <= time;
        if (front.end > time && !next_started) {
            break;
        }
        first_ = (first_ + 1) % overlays_.size();
        count_ -= 1;
    }
    if (count_ == 0) {
        return 0;
    }
    const Overlay& overlay = overlays_[first_];
    if (overlay.empty || overlay.start > time || !blendable(picture.format) ||
        overlay.x + overlay.width > picture.width || overlay.y + overlay.height > picture.height) {
        return 0;
    }
    const int result = av_frame_make_writable(&picture);
    if (result < 0) {
        return result;
    }
    const auto blend = [](std::uint8_t& into, std::uint16_t alpha, std::uint16_t premultiplied) {
        into = static_cast<std::uint8_t>((into * (255 - alpha) + premultiplied + 127) / 255);
    };
    for (int row = 0; row < overlay.height; ++row) {
        std::uint8_t* line = picture.data[0] +
                             static_cast<std::ptrdiff_t>(overlay.y + row) * picture.linesize[0] +
                             overlay.x;
        const auto at = static_cast<std::size_t>(row) * overlay.width;
        for (int column = 0; column < overlay.width; ++column) {
            blend(line[column], overlay.alpha[at + column], overlay.luma[at + column]);
        }
    }
    for (int plane = 1; plane <= 2; ++plane) {
        const std::vector<std::uint16_t>& colour = plane == 1 ? overlay.chroma_u : overlay.chroma_v;
        for (int row = 0; row < overlay.height / 2; ++row) {
            std::uint8_t* line =
                picture.data[plane] +
                static_cast<std::ptrdiff_t>(overlay.y / 2 + row) * picture.linesize[plane] +
                overlay.x / 2;
            const auto at = static_cast<std::size_t>(row) * (overlay.width / 2);
            for (int column = 0; column < overlay.width / 2; ++column) {
                blend(line[column], overlay.chroma_alpha[at + column], colour[at + column]);
            }
        }
    }
    return 0;
}

} // namespace morvane
