#include "engine/padded_picture_pool.h"

#include <cstring>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace morvane {

namespace {

// 8-bit planar YUV: the border colour can be written plane by plane as Y, Cb, Cr.
bool is_planar_yuv8(const AVPixFmtDescriptor* descriptor) {
    if (descriptor == nullptr || !(descriptor->flags & AV_PIX_FMT_FLAG_PLANAR) ||
        (descriptor->flags & AV_PIX_FMT_FLAG_RGB) || descriptor->nb_components < 3) {
        return false;
    }
    for (int component = 0; component < 3; ++component) {
        if (descriptor->comp[component].depth != 8 || descriptor->comp[component].step != 1 ||
            descriptor->comp[component].plane != component) {
            return false;
        }
    }
    return true;
}

} // namespace

int PaddedPicturePool::configure(AVPixelFormat format, int width, int height,
                                 const PictureBorders& borders,
                                 const std::array<std::uint8_t, 3>& border_colour) {
    pictures_.clear();
    format_ = format;
    width_ = width;
    height_ = height;
    borders_ = borders;
    border_colour_ = border_colour;
    FramePtr first = make_picture();
    if (!first) {
        return AVERROR(ENOMEM);
    }
    pictures_.push_back(std::move(first));
    return 0;
}

AVFrame* PaddedPicturePool::writable_picture() {
    for (FramePtr& picture : pictures_) {
        if (av_frame_is_writable(picture.get())) {
            return picture.get();
        }
    }
    FramePtr picture = make_picture();
    if (!picture) {
        return nullptr;
    }
    pictures_.push_back(std::move(picture));
    return pictures_.back().get();
}

void PaddedPicturePool::interior(const AVFrame* picture, std::uint8_t* planes[4],
                                 int linesizes[4]) const {
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format_);
    for (int plane = 0; plane < 4; ++plane) {
        planes[plane] = picture->data[plane];
        linesizes[plane] = picture->linesize[plane];
    }
    if (descriptor == nullptr) {
        return;
    }
    for (int component = 0; component < descriptor->nb_components; ++component) {
        const AVComponentDescriptor& comp = descriptor->comp[component];
        if (comp.offset != 0 && !(descriptor->flags & AV_PIX_FMT_FLAG_PLANAR)) {
            continue; // packed formats: the first component positions the whole pixel
        }
        const bool chroma = component == 1 || component == 2;
        const int x_shift = chroma ? descriptor->log2_chroma_w : 0;
        const int y_shift = chroma ? descriptor->log2_chroma_h : 0;
        planes[comp.plane] =
            picture->data[comp.plane] +
            static_cast<std::ptrdiff_t>(borders_.top >> y_shift) * picture->linesize[comp.plane] +
            static_cast<std::ptrdiff_t>(borders_.left >> x_shift) * comp.step;
    }
}

FramePtr PaddedPicturePool::make_picture() const {
    FramePtr picture(av_frame_alloc());
    if (!picture) {
        return nullptr;
    }
    picture->format = format_;
    picture->width = width_;
    picture->height = height_;
    if (av_frame_get_buffer(picture.get(), 0) < 0) {
        return nullptr;
    }
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format_);
    if (is_planar_yuv8(descriptor)) {
        for (int plane = 0; plane < 3; ++plane) {
            const int plane_height =
                plane == 0 ? height_ : AV_CEIL_RSHIFT(height_, descriptor->log2_chroma_h);
            std::memset(picture->data[plane], border_colour_[static_cast<std::size_t>(plane)],
                        static_cast<std::size_t>(picture->linesize[plane]) *
                            static_cast<std::size_t>(plane_height));
        }
    } else {
        std::ptrdiff_t linesizes[4];
        for (int plane = 0; plane < 4; ++plane) {
            linesizes[plane] = picture->linesize[plane];
        }
        av_image_fill_black(picture->data, linesizes, format_, AVCOL_RANGE_MPEG, width_, height_);
    }
    return picture;
}

} // namespace morvane
