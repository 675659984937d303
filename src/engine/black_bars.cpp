// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/black_bars.h"

#include "engine/ffmpeg_ptr.h"
#include "engine/stream_decoder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace morvane {

namespace {

// Scenes looked at, spread over the film away from its first and last moments (titles,
// credits), and pictures decoded at each.
constexpr int scene_count = 5;
constexpr int pictures_per_scene = 3;
// Packets read after a seek before the scene is given up (a damaged or strange stretch).
constexpr int packets_per_scene = 400;
// A film shorter than this has no scenes to compare.
constexpr double shortest_film_seconds = 2.0;
// A row or column is black when its mean luma is at most this (of 255: cropdetect's default
// limit) and no more than a few of its samples are brighter: compression noise along a
// bar's edge, never a dark scene's detail.
constexpr int black_limit = 24;
constexpr int brighter_per_thousand = 15;
// Bars on opposite sides are of one size within this many lines, or a hundredth of the side.
constexpr int symmetry_lines = 4;
// Thinner bars are a dark edge of the picture.
constexpr int least_bar = 2;
// What is kept is at least this share of each side: less is a picture mostly dark, not bars.
constexpr double least_kept_share = 0.4;

// The content found in one scene: the bars on each side (pixels of the stored picture).
struct SceneBars {
    int top = 0;
    int bottom = 0;
    int left = 0;
    int right = 0;
};

// Reads luma samples of 8 to 16 bits, scaled to 8.
class LumaPlane {
public:
    // Nothing for a picture whose luma is not a plane of its own (RGB, palette, packed).
    static std::optional<LumaPlane> of(const AVFrame& frame) {
        const AVPixFmtDescriptor* format =
            av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame.format));
        if (format == nullptr || format->nb_components < 1 ||
            (format->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL |
                              AV_PIX_FMT_FLAG_BITSTREAM)) ||
            format->comp[0].plane != 0 || format->comp[0].offset != 0 || frame.data[0] == nullptr ||
            frame.width <= 0 || frame.height <= 0) {
            return std::nullopt;
        }
        const int depth = format->comp[0].depth;
        const int step = format->comp[0].step;
        if (!((depth == 8 && step == 1) || (depth > 8 && depth <= 16 && step == 2)) ||
            (format->flags & AV_PIX_FMT_FLAG_BE)) {
            return std::nullopt;
        }
        return LumaPlane(frame, depth);
    }

    int at(int x, int y) const {
        const std::uint8_t* row = data_ + static_cast<std::ptrdiff_t>(y) * stride_;
        if (depth_ == 8) {
            return row[x];
        }
        std::uint16_t sample = 0;
        std::memcpy(&sample, row + 2 * x, sizeof sample);
        return sample >> (depth_ - 8);
    }

private:
    LumaPlane(const AVFrame& frame, int depth)
        : data_(frame.data[0]), stride_(frame.linesize[0]), depth_(depth) {}

    const std::uint8_t* data_;
    int stride_;
    int depth_;
};

// Whether the `count` samples from (x, y), `dx`/`dy` apart, are black.
bool black_line(const LumaPlane& luma, int x, int y, int dx, int dy, int count) {
    int sum = 0;
    int brighter = 0;
    for (int index = 0; index < count; ++index) {
        const int value = luma.at(x + index * dx, y + index * dy);
        sum += value;
        brighter += value > black_limit ? 1 : 0;
    }
    return sum <= black_limit * count && brighter * 1000 <= brighter_per_thousand * count;
}

// The bars of one picture; nothing when it is black all over.
std::optional<SceneBars> picture_bars(const AVFrame& frame) {
    const std::optional<LumaPlane> luma = LumaPlane::of(frame);
    if (!luma) {
        return std::nullopt;
    }
    const int width = frame.width;
    const int height = frame.height;
    const auto row_black = [&](int y) { return black_line(*luma, 0, y, 1, 0, width); };
    const auto column_black = [&](int x) { return black_line(*luma, x, 0, 0, 1, height); };
    SceneBars bars;
    while (bars.top < height && row_black(bars.top)) {
        ++bars.top;
    }
    if (bars.top == height) {
        return std::nullopt;
    }
    while (row_black(height - 1 - bars.bottom)) {
        ++bars.bottom;
    }
    while (column_black(bars.left)) {
        ++bars.left;
    }
    while (column_black(width - 1 - bars.right)) {
        ++bars.right;
    }
    return bars;
}

// The bar that two thirds of the scenes have at least.
int bar_most_scenes_show(std::vector<int> bars) {
    std::sort(bars.begin(), bars.end());
    const std::size_t agreeing = (2 * bars.size() + 2) / 3;
    return bars[bars.size() - agreeing];
}

// Bars on both sides, of one size within a few lines, each made even; none otherwise (a dark
// edge on one side is part of the picture).
void keep_symmetric(int& before, int& after, int side) {
    const int tolerance = std::max(symmetry_lines, side / 100);
    if (std::min(before, after) < least_bar || std::abs(before - after) > tolerance) {
        before = after = 0;
        return;
    }
    before += before % 2; // inside the bar, never into the picture
    after += after % 2;
}

// What one look at a scene found: its bars, and the time of its first picture.
struct SceneLook {
    std::optional<SceneBars> bars;
    std::int64_t first_time = AV_NOPTS_VALUE;
};

// Decodes the first pictures from where the reader stands; their bars, merged (what any of
// them shows is picture). No bars when all were black or none decoded.
SceneLook look_at_scene(AVFormatContext& reader, const AVStream& stream, AVCodecContext& decoder,
                        AVPacket& packet, AVFrame& frame) {
    SceneLook look;
    std::optional<SceneBars>& scene = look.bars;
    int pictures = 0;
    bool ended = false;
    for (int read = 0; read < packets_per_scene && pictures < pictures_per_scene && !ended;) {
        int result = av_read_frame(&reader, &packet);
        if (result < 0) {
            ended = true;
            avcodec_send_packet(&decoder, nullptr);
        } else {
            ++read;
            if (packet.stream_index == stream.index) {
                result = avcodec_send_packet(&decoder, &packet);
            }
            av_packet_unref(&packet);
        }
        while (pictures < pictures_per_scene && avcodec_receive_frame(&decoder, &frame) >= 0) {
            if (pictures++ == 0) {
                look.first_time = frame.best_effort_timestamp;
            }
            // A picture of another size (the stream changed midway) says nothing of these bars.
            const std::optional<SceneBars> bars =
                frame.width == stream.codecpar->width && frame.height == stream.codecpar->height
                    ? picture_bars(frame)
                    : std::nullopt;
            av_frame_unref(&frame);
            if (!bars) {
                continue;
            }
            if (!scene) {
                scene = bars;
            } else {
                scene->top = std::min(scene->top, bars->top);
                scene->bottom = std::min(scene->bottom, bars->bottom);
                scene->left = std::min(scene->left, bars->left);
                scene->right = std::min(scene->right, bars->right);
            }
        }
    }
    return look;
}

CodecContextPtr scene_decoder(const AVStream& stream) {
    CodecContextPtr decoder;
    if (make_stream_decoder(stream, decoder) < 0) {
        return nullptr;
    }
    decoder->max_pixels = MediaInput::max_pixels;
    // One thread: pictures come out at once after a seek. Pictures nothing is predicted from
    // are passed over: the others show the scene as well.
    decoder->thread_count = 1;
    decoder->skip_frame = AVDISCARD_NONREF;
    // Smoothing block edges changes no row or column of a bar.
    decoder->skip_loop_filter = AVDISCARD_ALL;
    if (avcodec_open2(decoder.get(), nullptr, nullptr) < 0) {
        return nullptr;
    }
    return decoder;
}

} // namespace

std::optional<PictureCrop> find_black_bars(const MediaInput& input) {
    const int stream_index = input.streams().video;
    const double seconds = input.duration_seconds();
    if (stream_index < 0 || seconds < shortest_film_seconds) {
        return std::nullopt;
    }
    const AVStream& source = *input.container().streams[stream_index];
    const int width = source.codecpar->width;
    const int height = source.codecpar->height;
    MediaInput::SecondReader reader = input.second_reader();
    // The header's streams must be the probe's: the same index, the same kind.
    if (width <= 0 || height <= 0 || !reader.container ||
        static_cast<int>(reader.container->nb_streams) <= stream_index ||
        reader.container->streams[stream_index]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO ||
        reader.container->streams[stream_index]->codecpar->codec_id != source.codecpar->codec_id) {
        return std::nullopt;
    }
    AVFormatContext& look = *reader.container;
    for (unsigned index = 0; index < look.nb_streams; ++index) {
        if (static_cast<int>(index) != stream_index) {
            look.streams[index]->discard = AVDISCARD_ALL;
        }
    }
    AVStream& stream = *look.streams[stream_index];
    const CodecContextPtr decoder = scene_decoder(source);
    const PacketPtr packet(av_packet_alloc());
    const FramePtr frame(av_frame_alloc());
    if (!decoder || !packet || !frame) {
        return std::nullopt;
    }
    const std::int64_t start =
        input.container().start_time != AV_NOPTS_VALUE ? input.container().start_time : 0;
    std::vector<SceneBars> scenes;
    // Seeks land on keyframes: two that land on the same one are one scene.
    std::vector<std::int64_t> seen;
    for (int scene = 1; scene <= scene_count; ++scene) {
        const auto at =
            start + static_cast<std::int64_t>(seconds * AV_TIME_BASE * scene / (scene_count + 1));
        const std::int64_t time = av_rescale_q(at, AV_TIME_BASE_Q, stream.time_base);
        if (av_seek_frame(&look, stream_index, time, AVSEEK_FLAG_BACKWARD) < 0) {
            return std::nullopt;
        }
        avcodec_flush_buffers(decoder.get());
        const SceneLook found = look_at_scene(look, source, *decoder, *packet, *frame);
        if (std::find(seen.begin(), seen.end(), found.first_time) != seen.end()) {
            continue;
        }
        seen.push_back(found.first_time);
        if (found.bars && found.bars->top + found.bars->bottom < height &&
            found.bars->left + found.bars->right < width) {
            scenes.push_back(*found.bars);
        }
    }
    // Three scenes at least, so that two thirds of them mean something.
    if (scenes.size() < 3) {
        return std::nullopt;
    }
    const auto side = [&scenes](int SceneBars::*bar) {
        std::vector<int> bars;
        for (const SceneBars& scene : scenes) {
            bars.push_back(scene.*bar);
        }
        return bar_most_scenes_show(std::move(bars));
    };
    SceneBars bars{side(&SceneBars::top), side(&SceneBars::bottom), side(&SceneBars::left),
                   side(&SceneBars::right)};
    keep_symmetric(bars.top, bars.bottom, height);
    keep_symmetric(bars.left, bars.right, width);
    if (bars.top == 0 && bars.bottom == 0 && bars.left == 0 && bars.right == 0) {
        return std::nullopt;
    }
    PictureCrop crop;
    crop.full_width = width;
    crop.full_height = height;
    crop.left = bars.left;
    crop.top = bars.top;
    crop.width = (width - bars.left - bars.right) & ~1;
    crop.height = (height - bars.top - bars.bottom) & ~1;
    if (crop.width < least_kept_share * width || crop.height < least_kept_share * height ||
        !crop.cuts()) {
        return std::nullopt;
    }
    return crop;
}

} // namespace morvane
