// The codecs a file may use to be converted at all: one list for video, one for audio.
#pragma once

#include <cstdint> // FFmpeg's headers need the integer constant macros
#include <vector>

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace morvane {

class SupportedCodecs {
public:
    SupportedCodecs();

    // A pair is refused when its video codec (if any) is not listed, or its audio codec
    // (if any) is not listed. A file with neither passes.
    bool is_supported(AVCodecID video, AVCodecID audio) const;
    bool is_supported_video(AVCodecID codec) const;
    bool is_supported_audio(AVCodecID codec) const;

    const std::vector<AVCodecID>& video() const { return video_; }
    const std::vector<AVCodecID>& audio() const { return audio_; }

private:
    std::vector<AVCodecID> video_;
    std::vector<AVCodecID> audio_;
};

} // namespace morvane
