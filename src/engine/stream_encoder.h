// SPDX-License-Identifier: GPL-3.0-or-later
// The last step of an output stream: frames into its encoder, and every packet it gives out
// to the muxer, with times in the output stream's time base and decoding times strictly
// increasing (the muxer refuses anything else). Pictures keep within the encoder's maximum
// rate over any second, even where its quantizer cannot (see PictureRateCap).
#pragma once

#include "engine/ffmpeg_ptr.h"
#include "engine/picture_rate_cap.h"

#include <cstdint>
#include <functional>

namespace morvane {

class StreamEncoder {
public:
    // Writes one encoded packet (stream index and timestamps already set); 0 or an error.
    using PacketWriter = std::function<int(AVPacket&)>;

    // `encoder` is open.
    StreamEncoder(AVCodecContext& encoder, AVStream& output, PacketWriter writer);
    StreamEncoder(const StreamEncoder&) = delete;
    StreamEncoder& operator=(const StreamEncoder&) = delete;

    bool allocated() const { return encoded_ != nullptr; }
    AVCodecContext& context() const { return encoder_; }

    // One frame (nullptr: the end) into the encoder, and every packet it gives out.
    int encode(AVFrame* frame);

private:
    AVCodecContext& encoder_;
    AVStream& output_;
    PacketWriter writer_;
    PacketPtr encoded_;
    PictureRateCap rate_cap_;
    std::int64_t last_written_dts_ = AV_NOPTS_VALUE;
};

} // namespace morvane
