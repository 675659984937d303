// SPDX-License-Identifier: GPL-3.0-or-later
// What a generated media file holds: a plain description that tests fill in (or take from
// media_presets.h) and hand to write_media().
#pragma once

// FFmpeg's headers want the C99 integer constant macros, which <cstdint> gives C++.
#include <cstdint>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace morvane::test {

struct MediaDescription {
    // Flat colour bars (colour_bars.h), the same in every frame; frame i has pts i in the time
    // base 1 / frame_rate. A key frame every second; libx264 keeps B-frames.
    struct Video {
        int width = 320;
        int height = 240;
        AVRational frame_rate{25, 1};
        double duration_seconds = 2.0;
        AVCodecID codec = AV_CODEC_ID_H264;
        // Empty: the usual encoder of the codec (libx264 for H.264, libmp3lame for MP3...).
        std::string encoder_name;
        // yuv420p by default. MJPEG gets the full-range twin (yuvj420p) of what is asked.
        AVPixelFormat pixel_format = AV_PIX_FMT_YUV420P;
        // {0, 1}: unknown, as most files say.
        AVRational sample_aspect_ratio{0, 1};
        // 0: the encoder's constant-quality default.
        long long bit_rate = 0;
        // What the frames show instead of the bars: a white flash on black (see
        // flash_and_beep), a white bar on black that moves 8 pixels between the two fields
        // of each frame, coded interlaced, top field first (DV: bottom field first, as PAL DV
        // always is), so that weaving the fields shows combs, or random values over the whole
        // range that change in every frame (the hardest thing to code).
        enum class Pattern { colour_bars, flash, moving_bar, noise };
        Pattern pattern = Pattern::colour_bars;
        // With the moving bar: whether the stream's header in the container states the field
        // order (Matroska's and MOV's field order do). false: it says nothing (unknown), as a
        // camcorder's DV in AVI leaves it, and only each coded picture says it is interlaced.
        // AVI never states it; MPEG-2 and H.264 state it in their own headers whatever this
        // says.
        bool container_states_field_order = true;
        // Degrees the picture must be turned clockwise to be upright (the display matrix).
        int clockwise_turn = 0;
        // Frames last 20, 40, 30 and 50 ms in turn (time base 1/1000); frame_rate is ignored.
        bool variable_frame_rate = false;
        // Frames that start within [gap_from, gap_to) seconds are left out: a gap in this
        // track alone, the others go on. From 0: the track starts late; over the whole
        // duration: the container declares the track but it has no packets at all.
        double gap_from_seconds = 0.0;
        double gap_to_seconds = 0.0;
    };

    // A sine tone of one frequency on every channel; sample i has pts i in the time base
    // 1 / sample_rate.
    struct Audio {
        int sample_rate = 44100;
        // The default channel layout of the count (mono, stereo, ...).
        int channels = 2;
        double duration_seconds = 2.0;
        AVCodecID codec = AV_CODEC_ID_AAC;
        std::string encoder_name;
        double tone_hz = 440.0;
        // The tone rises this much every second (a rising tone tells where in time it is).
        double tone_rise_hz_per_second = 0.0;
        // Peak amplitude, full scale 1.0.
        double amplitude = 0.5;
        long long bit_rate = 0;
        // Silence with a beep instead of the tone (see flash_and_beep).
        bool beeps = false;
        // As Video's gap; the sound goes on exactly at gap_to (its frames start there again).
        double gap_from_seconds = 0.0;
        double gap_to_seconds = 0.0;
    };

    // A picture attached to the file (cover art): a stream with the attached-picture
    // disposition and one packet, the colour bars encoded as PNG or MJPEG.
    struct CoverArt {
        int width = 64;
        int height = 64;
        AVCodecID codec = AV_CODEC_ID_PNG;
    };

    // A stream of KLV metadata packets (AV_CODEC_ID_SMPTE_KLV), which MPEG-TS carries and
    // FFmpeg reads back as a data stream.
    struct Data {
        double duration_seconds = 2.0;
        int packets_per_second = 10;
    };

    // Empty: the container is chosen from the file name's extension; otherwise a muxer name
    // ("mp4", "mpegts", "matroska", "vob", "wav", "mp3"...).
    std::string format_name;
    std::optional<Video> video;
    std::vector<Audio> audio;
    std::optional<CoverArt> cover_art;
    std::optional<Data> data;
    // Every timestamp of every track this many seconds later than with 0, as a recording that
    // goes on from an earlier part: a part written with the length of the parts before it
    // continues their timeline exactly when the files are joined byte for byte (join_files),
    // as a recorder's split files are. Flashes and beeps stay on the whole seconds of the
    // part's own content (1 s, 2 s... after its start). Containers that take no negative
    // times (MPEG-TS and -PS, AVI, Matroska) move a file whose codecs start before 0 (B-frames,
    // priming) later by that delay; every part gets the same delay, so the parts still meet.
    double start_seconds = 0.0;
    // When not zero, every timestamp of every stream from half of the longest track's
    // duration on is moved this many seconds later.
    double timestamp_jump_seconds = 0.0;
    // The first packet of a type whose pts is at or after `at_seconds` is stamped
    // `ahead_seconds` later (its pts only: the muxer wants decoding times in order), as a
    // damaged recorder leaves it.
    struct StampedAhead {
        AVMediaType type = AVMEDIA_TYPE_AUDIO;
        double at_seconds = 0.0;
        double ahead_seconds = 0.0;
    };
    std::vector<StampedAhead> stamped_ahead;
    // Container tags ("title", "artist"...).
    std::vector<std::pair<std::string, std::string>> tags;
};

// Flash and beep: from 1 s on, every whole second a flash starts on the first video frame at
// or after it, and a beep (1 kHz) at that frame's time; both last 0.1 s. Without flashing
// video the beeps start on the whole seconds.
inline constexpr double kFlashSeconds = 0.1;
inline constexpr double kBeepHz = 1000.0;

} // namespace morvane::test
