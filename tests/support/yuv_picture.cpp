// SPDX-License-Identifier: GPL-3.0-or-later
// Decoded video frames as YUV 4:2:0 planes for pixel checks.
#include "support/yuv_picture.h"

#include "support/av_error.h"
#include "support/stream_decoder.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace morvane::test {
namespace {

void copy_planes(const AVFrame& frame, YuvPicture& picture) {
    for (int index = 0; index < 3; ++index) {
        for (int row = 0; row < picture.plane_height(index); ++row) {
            std::memcpy(picture.plane(index) +
                            static_cast<std::ptrdiff_t>(row) * picture.plane_width(index),
                        frame.data[index] +
                            static_cast<std::ptrdiff_t>(row) * frame.linesize[index],
                        static_cast<std::size_t>(picture.plane_width(index)));
        }
    }
}

YuvPicture to_picture(const AVFrame& frame) {
    YuvPicture picture(frame.width, frame.height);
    const auto format = static_cast<AVPixelFormat>(frame.format);
    if (format == AV_PIX_FMT_YUV420P && frame.color_range != AVCOL_RANGE_JPEG) {
        copy_planes(frame, picture);
    } else {
        av::ScalerPtr scaler(sws_getContext(frame.width, frame.height, format, frame.width,
                                            frame.height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr,
                                            nullptr, nullptr));
        if (!scaler) {
            av::fail(std::string("cannot convert decoded ") + av_get_pix_fmt_name(format) +
                     " to yuv420p");
        }
        if (frame.color_range == AVCOL_RANGE_JPEG) {
            // yuvj* formats say so themselves; others only through the frame's range.
            const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
            av::check(sws_setColorspaceDetails(scaler.get(), coefficients, 1, coefficients, 0, 0,
                                               1 << 16, 1 << 16),
                      "setting the range of a decoded frame");
        }
        std::uint8_t* planes[4] = {picture.plane(0), picture.plane(1), picture.plane(2), nullptr};
        int strides[4] = {picture.plane_width(0), picture.plane_width(1), picture.plane_width(2),
                          0};
        av::check(
            sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides),
            "converting a decoded frame");
    }
    if (frame.best_effort_timestamp != AV_NOPTS_VALUE && frame.time_base.den != 0) {
        picture.set_seconds(static_cast<double>(frame.best_effort_timestamp) *
                            av_q2d(frame.time_base));
    }
    return picture;
}

} // namespace

YuvPicture::YuvPicture(int width, int height) : width_(width), height_(height) {
    if (width <= 0 || height <= 0) {
        throw std::invalid_argument("a picture needs a size");
    }
    for (int index = 0; index < 3; ++index) {
        planes_[index].assign(static_cast<std::size_t>(plane_width(index)) *
                                  static_cast<std::size_t>(plane_height(index)),
                              0);
    }
}

YuvColour YuvPicture::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        throw std::out_of_range("pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                                ") outside a " + std::to_string(width_) + "x" +
                                std::to_string(height_) + " picture");
    }
    const auto chroma = static_cast<std::size_t>(y / 2) * static_cast<std::size_t>(plane_width(1)) +
                        static_cast<std::size_t>(x / 2);
    return {planes_[0][static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                       static_cast<std::size_t>(x)],
            planes_[1][chroma], planes_[2][chroma]};
}

bool YuvPicture::area_is(int left, int top, int right, int bottom, const YuvColour& colour,
                         int tolerance) const {
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            if (colour_distance(pixel(x, y), colour) > tolerance) {
                return false;
            }
        }
    }
    return true;
}

YuvPicture decode_video_frame(const std::filesystem::path& path, int frame_index) {
    StreamDecoder decoder(path, AVMEDIA_TYPE_VIDEO);
    av::FramePtr frame(av_frame_alloc());
    if (!frame) {
        av::fail("cannot allocate a frame");
    }
    for (int index = 0; decoder.next(*frame); ++index) {
        if (index == frame_index) {
            frame->time_base = decoder.stream().time_base;
            return to_picture(*frame);
        }
        av_frame_unref(frame.get());
    }
    av::fail(path.string() + " has no video frame " + std::to_string(frame_index));
}

YuvPicture decode_middle_video_frame(const std::filesystem::path& path) {
    int frames = 0;
    {
        StreamDecoder decoder(path, AVMEDIA_TYPE_VIDEO);
        av::FramePtr frame(av_frame_alloc());
        if (!frame) {
            av::fail("cannot allocate a frame");
        }
        while (decoder.next(*frame)) {
            ++frames;
            av_frame_unref(frame.get());
        }
    }
    if (frames == 0) {
        av::fail(path.string() + " has no video frame");
    }
    return decode_video_frame(path, frames / 2);
}

} // namespace morvane::test
