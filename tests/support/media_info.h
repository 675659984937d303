// SPDX-License-Identifier: GPL-3.0-or-later
// What a media file holds, read back for tests: its streams, their parameters and every
// packet's timestamps, as FFmpeg's demuxer reports them.
#pragma once

// FFmpeg's headers want the C99 integer constant macros, which <cstdint> gives C++.
#include <cstdint>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/codec_id.h>
#include <libavutil/avutil.h>
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace morvane::test {

struct MediaInfo {
    struct Packet {
        // In the stream's time base; AV_NOPTS_VALUE when the container gives none.
        std::int64_t pts = 0;
        std::int64_t dts = 0;
        std::int64_t duration = 0;
        int size = 0;
        bool key = false;
    };

    struct Stream {
        int index = 0;
        AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
        AVCodecID codec_id = AV_CODEC_ID_NONE;
        std::string codec_name;
        int width = 0;
        int height = 0;
        AVPixelFormat pixel_format = AV_PIX_FMT_NONE;
        AVRational sample_aspect_ratio{0, 1};
        // As the container, or the codec's own header, states it.
        AVFieldOrder field_order = AV_FIELD_UNKNOWN;
        AVRational avg_frame_rate{0, 1};
        AVRational r_frame_rate{0, 1};
        AVRational time_base{0, 1};
        int sample_rate = 0;
        int channels = 0;
        // FF_PROFILE_* and the level as the codec numbers it (H.264: 30 for 3.0).
        int profile = FF_PROFILE_UNKNOWN;
        int level = FF_LEVEL_UNKNOWN;
        bool attached_pic = false;
        // From the container; negative when it does not say.
        double duration_seconds = -1.0;
        std::vector<Packet> packets;

        // Every packet has a dts and each is larger than the one before.
        bool dts_strictly_increasing() const;
        // The largest step between consecutive dts, in seconds (0 with fewer than 2 packets).
        double largest_dts_step_seconds() const;
        // The most bits the packets of any one second hold (by decoding time).
        std::int64_t most_bits_in_a_second() const;
        // Bits per second over the whole stream.
        double average_bit_rate() const;
        // From the first packet's pts to the end of the last packet, in seconds.
        double packet_span_seconds() const;
        // Presentation end of the last packet, in seconds.
        double end_seconds() const;
        // Whether some picture is shown before one decoded earlier: B-frames.
        bool reordered() const;
    };

    std::string format_name;
    // The container's tags.
    std::map<std::string, std::string> tags;
    // Of the whole file; negative when FFmpeg cannot tell.
    double duration_seconds = -1.0;
    std::vector<Stream> streams;
    // Empty when every packet was read up to the end of the file; otherwise why reading
    // stopped early (a truncated or damaged file).
    std::string read_error;

    int count(AVMediaType type) const;
    // The `ordinal`-th stream of a type, attached pictures left out of video; throws
    // std::out_of_range when there is none.
    const Stream& stream(AVMediaType type, int ordinal = 0) const;
    // The attached picture (cover art) stream; throws std::out_of_range when there is none.
    const Stream& attached_picture() const;
};

// Opens, probes and reads every packet of a file; throws std::runtime_error when FFmpeg
// cannot open or probe it.
MediaInfo inspect_media(const std::filesystem::path& path);

} // namespace morvane::test
