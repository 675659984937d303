// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/stream_decoder.h"

namespace morvane {

int make_stream_decoder(const AVStream& stream, CodecContextPtr& decoder) {
    const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
    if (codec == nullptr) {
        return AVERROR_DECODER_NOT_FOUND;
    }
    decoder.reset(avcodec_alloc_context3(codec));
    if (!decoder) {
        return AVERROR(ENOMEM);
    }
    const int result = avcodec_parameters_to_context(decoder.get(), stream.codecpar);
    if (result < 0) {
        decoder.reset();
        return result;
    }
    decoder->pkt_timebase = stream.time_base;
    return 0;
}

} // namespace morvane
