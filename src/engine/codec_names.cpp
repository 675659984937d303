// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/codec_names.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace morvane {

static_assert(static_cast<int>(AV_CODEC_ID_NONE) == static_cast<int>(CodecId::none));

std::string codec_name(CodecId codec) {
    return codec == CodecId::none ? std::string()
                                  : std::string(avcodec_get_name(static_cast<AVCodecID>(codec)));
}

bool can_decode(CodecId codec) {
    return avcodec_find_decoder(static_cast<AVCodecID>(codec)) != nullptr;
}

std::string encoded_codec_name(const std::string& encoder) {
    const AVCodec* codec = avcodec_find_encoder_by_name(encoder.c_str());
    return codec != nullptr ? codec_name(static_cast<CodecId>(codec->id)) : std::string();
}

} // namespace morvane
