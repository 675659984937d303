// A quick look at a file's streams before it is converted.
#pragma once

#include <array>
#include <cstdint> // FFmpeg's headers need the integer constant macros
#include <string>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/avutil.h>
}

namespace morvane {

struct MediaProbe {
    struct Stream {
        AVCodecID codec_id = AV_CODEC_ID_NONE;
        AVMediaType media_type = AVMEDIA_TYPE_UNKNOWN;
    };
    static constexpr int max_streams = 6;

    int stream_count = 0; // a file with more streams reports its first six
    std::array<Stream, max_streams> streams{};
};

// False when the path is no regular file, or it cannot be opened, or its streams cannot be
// read. Lists the streams a conversion takes: the best video (never a cover picture) and
// the best audio stream.
bool probe_media(const std::string& path, MediaProbe& probe);

} // namespace morvane
