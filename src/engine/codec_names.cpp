// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/codec_names.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace morvane {

std::string codec_name(AVCodecID codec) {
    return codec == AV_CODEC_ID_NONE ? std::string() : std::string(avcodec_get_name(codec));
}

bool can_decode(AVCodecID codec) {
    return avcodec_find_decoder(codec) != nullptr;
}

std::string encoded_codec_name(const std::string& encoder) {
    const AVCodec* codec = avcodec_find_encoder_by_name(encoder.c_str());
    return codec != nullptr ? codec_name(codec->id) : std::string();
}

} // namespace morvane
