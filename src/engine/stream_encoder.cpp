// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/stream_encoder.h"

namespace morvane {

StreamEncoder::StreamEncoder(AVCodecContext& encoder, AVStream& output, PacketWriter writer)
    : encoder_(encoder), output_(output), writer_(std::move(writer)), encoded_(av_packet_alloc()),
      rate_cap_(encoder) {}

int StreamEncoder::encode(AVFrame* frame) {
    if (frame != nullptr && !rate_cap_.admits(frame->pts)) {
        return 0;
    }
    int result = avcodec_send_frame(&encoder_, frame);
    if (result < 0 && !(frame == nullptr && result == AVERROR_EOF)) {
        return result;
    }
    AVPacket* packet = encoded_.get();
    for (;;) {
        result = avcodec_receive_packet(&encoder_, packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            return 0;
        }
        if (result < 0) {
            return result;
        }
        rate_cap_.count(*packet);
        packet->stream_index = output_.index;
        av_packet_rescale_ts(packet, encoder_.time_base, output_.time_base);
        // A decoding time that does not increase takes the next free one.
        if (packet->dts != AV_NOPTS_VALUE && last_written_dts_ != AV_NOPTS_VALUE &&
            packet->dts <= last_written_dts_) {
            packet->dts = last_written_dts_ + 1;
            if (packet->pts != AV_NOPTS_VALUE && packet->pts < packet->dts) {
                packet->pts = packet->dts;
            }
        }
        if (packet->dts != AV_NOPTS_VALUE) {
            last_written_dts_ = packet->dts;
        }
        result = writer_(*packet);
        av_packet_unref(packet);
        if (result < 0) {
            return result;
        }
    }
}

} // namespace morvane
