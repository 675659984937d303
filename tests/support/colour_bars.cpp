// SPDX-License-Identifier: GPL-3.0-or-later
// The colour-bar picture of generated video: table, positions and painting.
#include "support/colour_bars.h"

#include "support/av_error.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace morvane::test {
namespace {

// 75% bars in BT.601 limited range, with the usual black bar replaced by 100% white so that
// padding can be found at either edge.
constexpr std::array<YuvColour, kBarCount> kBars{{
    {180, 128, 128},
    {162, 44, 142},
    {131, 156, 44},
    {112, 72, 58},
    {84, 184, 198},
    {65, 100, 212},
    {35, 212, 114},
    {235, 128, 128},
}};

void check_bar(int bar) {
    if (bar < 0 || bar >= kBarCount) {
        throw std::out_of_range("colour bar " + std::to_string(bar));
    }
}

std::uint8_t to_full_range_luma(int y) {
    return static_cast<std::uint8_t>(
        std::clamp<long>(std::lround((y - 16) * 255.0 / 219.0), 0, 255));
}

std::uint8_t to_full_range_chroma(int c) {
    return static_cast<std::uint8_t>(
        std::clamp<long>(std::lround((c - 128) * 255.0 / 224.0 + 128.0), 0, 255));
}

bool is_full_range(const AVFrame& frame) {
    const auto format = static_cast<AVPixelFormat>(frame.format);
    return frame.color_range == AVCOL_RANGE_JPEG || format == AV_PIX_FMT_YUVJ420P ||
           format == AV_PIX_FMT_YUVJ422P || format == AV_PIX_FMT_YUVJ444P ||
           format == AV_PIX_FMT_YUVJ440P || format == AV_PIX_FMT_YUVJ411P;
}

} // namespace

YuvColour bar_colour(int bar) {
    check_bar(bar);
    return kBars[static_cast<std::size_t>(bar)];
}

int bar_left(int bar, int width) {
    check_bar(bar);
    return static_cast<int>(static_cast<long long>(bar) * width / kBarCount);
}

int bar_right(int bar, int width) {
    check_bar(bar);
    return static_cast<int>(static_cast<long long>(bar + 1) * width / kBarCount);
}

int bar_at(int x, int width) {
    if (width <= 0 || x < 0 || x >= width) {
        throw std::out_of_range("column " + std::to_string(x) + " outside a picture " +
                                std::to_string(width) + " wide");
    }
    // The first bar whose right edge lies beyond x.
    int bar = static_cast<int>(static_cast<long long>(x) * kBarCount / width);
    while (bar_right(bar, width) <= x) {
        ++bar;
    }
    return bar;
}

YuvColour bar_colour_at(int x, int width) {
    return bar_colour(bar_at(x, width));
}

int bar_centre(int bar, int width) {
    return (bar_left(bar, width) + bar_right(bar, width) - 1) / 2;
}

int colour_distance(const YuvColour& a, const YuvColour& b) {
    return std::max({std::abs(a.y - b.y), std::abs(a.u - b.u), std::abs(a.v - b.v)});
}

void paint_colour_bars(AVFrame& frame) {
    const auto format = static_cast<AVPixelFormat>(frame.format);
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    if (descriptor == nullptr || (descriptor->flags & AV_PIX_FMT_FLAG_RGB) ||
        !(descriptor->flags & AV_PIX_FMT_FLAG_PLANAR) || descriptor->nb_components < 3 ||
        descriptor->comp[0].depth != 8 || descriptor->comp[0].plane != 0 ||
        descriptor->comp[1].plane != 1 || descriptor->comp[2].plane != 2) {
        av::fail(std::string("colour bars cannot be painted in pixel format ") +
                 (descriptor != nullptr ? descriptor->name : "unknown"));
    }
    const bool full_range = is_full_range(frame);
    const int width = frame.width;
    const int height = frame.height;
    const int chroma_width = AV_CEIL_RSHIFT(width, descriptor->log2_chroma_w);
    const int chroma_height = AV_CEIL_RSHIFT(height, descriptor->log2_chroma_h);

    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = frame.data[0] + static_cast<std::ptrdiff_t>(y) * frame.linesize[0];
        for (int x = 0; x < width; ++x) {
            const int luma = bar_colour_at(x, width).y;
            row[x] = full_range ? to_full_range_luma(luma) : static_cast<std::uint8_t>(luma);
        }
    }
    for (int plane = 1; plane <= 2; ++plane) {
        for (int y = 0; y < chroma_height; ++y) {
            std::uint8_t* row =
                frame.data[plane] + static_cast<std::ptrdiff_t>(y) * frame.linesize[plane];
            for (int x = 0; x < chroma_width; ++x) {
                // A chroma sample takes the colour of the first luma column it covers.
                const YuvColour colour = bar_colour_at(x << descriptor->log2_chroma_w, width);
                const int chroma = plane == 1 ? colour.u : colour.v;
                row[x] =
                    full_range ? to_full_range_chroma(chroma) : static_cast<std::uint8_t>(chroma);
            }
        }
    }
    // Fourth plane (yuva*): opaque.
    if (descriptor->nb_components == 4 && frame.data[3] != nullptr) {
        for (int y = 0; y < height; ++y) {
            std::fill_n(frame.data[3] + static_cast<std::ptrdiff_t>(y) * frame.linesize[3], width,
                        std::uint8_t{255});
        }
    }
}

} // namespace morvane::test
