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
    double duration_seconds = 0; // 0 when the container does not say
    std::string error;           // why probing failed: FFmpeg's own text
};

// False when the path is no regular file, or it cannot be opened, or its streams cannot be
// read. Lists the streams a conversion takes: the best video (never a cover picture) and
// the best audio stream.
bool probe_media(const std::string& path, MediaProbe& probe);

// The duration of a media file in seconds; 0 when unknown or unreadable.
double media_duration_seconds(const std::string& path);

} // namespace morvane
