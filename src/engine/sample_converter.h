// Converts audio between sample formats, rates and channel layouts, rebuilding its resampler
// only when the wanted conversion changes, and keeping a reusable output buffer so that
// steady-state conversion allocates nothing.
#pragma once

#include "engine/ffmpeg_ptr.h"

#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

namespace morvane {

struct AudioShape {
    AVChannelLayout layout{};
    AVSampleFormat format = AV_SAMPLE_FMT_NONE;
    int sample_rate = 0;
};

class SampleConverter {
public:
    SampleConverter() = default;
    ~SampleConverter();
    SampleConverter(const SampleConverter&) = delete;
    SampleConverter& operator=(const SampleConverter&) = delete;

    // Prepares the conversion from `from` to `to`; cheap when nothing changed.
    // Returns 0 or a negative FFmpeg error code.
    int configure(const AVChannelLayout& from_layout, AVSampleFormat from_format, int from_rate,
                  const AVChannelLayout& to_layout, AVSampleFormat to_format, int to_rate);
    bool is_configured() const { return resampler_ != nullptr; }

    // Converts into the internal buffer, which must be of a packed format. Returns the number
    // of output samples (per channel) or a negative FFmpeg error code.
    int convert_to_buffer(const std::uint8_t* const* input, int input_samples);
    const std::uint8_t* buffer() const { return buffer_.data(); }

    // Converts into caller-owned planes with room for `capacity` samples per channel.
    int convert(std::uint8_t* const* output, int capacity, const std::uint8_t* const* input,
                int input_samples);

private:
    ResamplerPtr resampler_;
    AudioShape from_;
    AudioShape to_;
    std::vector<std::uint8_t> buffer_;
};

} // namespace morvane
