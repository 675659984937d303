#include "engine/sample_converter.h"

extern "C" {
#include <libavutil/error.h>
}

namespace morvane {

namespace {

bool same_shape(const AudioShape& shape, const AVChannelLayout& layout, AVSampleFormat format,
                int rate) {
    return shape.format == format && shape.sample_rate == rate &&
           av_channel_layout_compare(&shape.layout, &layout) == 0;
}

void assign(AudioShape& shape, const AVChannelLayout& layout, AVSampleFormat format, int rate) {
    av_channel_layout_uninit(&shape.layout);
    av_channel_layout_copy(&shape.layout, &layout);
    shape.format = format;
    shape.sample_rate = rate;
}

} // namespace

SampleConverter::~SampleConverter() {
    av_channel_layout_uninit(&from_.layout);
    av_channel_layout_uninit(&to_.layout);
}

int SampleConverter::configure(const AVChannelLayout& from_layout, AVSampleFormat from_format,
                               int from_rate, const AVChannelLayout& to_layout,
                               AVSampleFormat to_format, int to_rate) {
    if (resampler_ && same_shape(from_, from_layout, from_format, from_rate) &&
        same_shape(to_, to_layout, to_format, to_rate)) {
        return 0;
    }
    resampler_.reset();
    SwrContext* context = nullptr;
    // FFmpeg 5.1 takes the layouts through non-const pointers but only reads them.
    int result = swr_alloc_set_opts2(&context, const_cast<AVChannelLayout*>(&to_layout), to_format,
                                     to_rate, const_cast<AVChannelLayout*>(&from_layout),
                                     from_format, from_rate, 0, nullptr);
    if (result < 0) {
        return result;
    }
    ResamplerPtr resampler(context);
    result = swr_init(resampler.get());
    if (result < 0) {
        return result;
    }
    resampler_ = std::move(resampler);
    assign(from_, from_layout, from_format, from_rate);
    assign(to_, to_layout, to_format, to_rate);
    return 0;
}

int SampleConverter::convert_to_buffer(const std::uint8_t* const* input, int input_samples) {
    if (!resampler_ || av_sample_fmt_is_planar(to_.format)) {
        return AVERROR(EINVAL);
    }
    const int capacity = swr_get_out_samples(resampler_.get(), input_samples);
    if (capacity < 0) {
        return capacity;
    }
    const int bytes =
        av_samples_get_buffer_size(nullptr, to_.layout.nb_channels, capacity, to_.format, 1);
    if (bytes < 0) {
        return bytes;
    }
    if (buffer_.size() < static_cast<std::size_t>(bytes)) {
        buffer_.resize(static_cast<std::size_t>(bytes));
    }
    std::uint8_t* planes[1] = {buffer_.data()};
    return swr_convert(resampler_.get(), planes, capacity, const_cast<const std::uint8_t**>(input),
                       input_samples);
}

int SampleConverter::convert(std::uint8_t* const* output, int capacity,
                             const std::uint8_t* const* input, int input_samples) {
    if (!resampler_) {
        return AVERROR(EINVAL);
    }
    return swr_convert(resampler_.get(), const_cast<std::uint8_t**>(output), capacity,
                       const_cast<const std::uint8_t**>(input), input_samples);
}

} // namespace morvane
