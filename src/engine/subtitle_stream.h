// SPDX-License-Identifier: GPL-3.0-or-later
// One subtitle stream of the input shown in a film, its packets decoded as they are read: kept
// as a track (encoded again and written beside the film), only counted (text burned in by the
// picture's filter, which reads the file itself), or drawn into the pictures (bitmaps: the
// subtitle showing at a picture's time, made readable on the target screen and kept inside the
// picture). Damaged packets are counted and passed over: nothing here fails a film but the
// writing of a packet.
#pragma once

#include "engine/ffmpeg_ptr.h"
#include "engine/stream_encoder.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace morvane {

class SubtitleStream {
public:
    using PacketWriter = StreamEncoder::PacketWriter;

    // Where the picture lies in the encoded frame.
    struct Area {
        int left = 0;
        int top = 0;
        int width = 0;
        int height = 0;
    };

    explicit SubtitleStream(const AVStream& input);
    ~SubtitleStream();
    SubtitleStream(const SubtitleStream&) = delete;
    SubtitleStream& operator=(const SubtitleStream&) = delete;

    // Each opens the decoder and returns 0 or an FFmpeg error (the stream cannot be read).
    // Counted only.
    int open_counting();
    // Kept as a track: `encoder` (configured, not yet opened) gets the decoder's styles, and
    // `output` its parameters; the encoded packets go to `writer`.
    int open_track(AVCodecContext& encoder, AVStream& output, PacketWriter writer);
    // Drawn into the pictures' `area`, a line of text at least `text_height` pixels high;
    // `canvas_width` x `canvas_height` is what the subtitles were made for when the stream does
    // not say (the input's picture).
    int open_drawing(Area area, int text_height, int canvas_width, int canvas_height);

    // One packet of the stream (times on the engine's timeline). 0, or an error from writing.
    int send_packet(const AVPacket& packet);
    // Draws the subtitle showing at `time` (microseconds of the timeline) into `picture`
    // (8-bit 4:2:0), made writable first when something is drawn. 0 or an FFmpeg error.
    int draw(AVFrame& picture, std::int64_t time);

    // Packets read, subtitles decoded with something to show, and packets that could not be
    // decoded (a decoder may also pass a damaged packet over without a word).
    int packets() const { return packets_; }
    int shown() const { return shown_; }
    int damaged() const { return damaged_; }

private:
    enum class Use { count, track, draw };

    // A bitmap subtitle as it is blended: its place in the frame, its pixels' alpha and
    // colour (premultiplied, 0..255*255), and its 2x2 blocks' for the chroma planes.
    struct Overlay {
        std::int64_t start = 0;
        std::int64_t end = 0;
        bool empty = true; // clears the screen
        int x = 0, y = 0, width = 0, height = 0;
        std::vector<std::uint16_t> alpha, luma;
        std::vector<std::uint16_t> chroma_alpha, chroma_u, chroma_v;
    };

    int open_decoder();
    int write_track(AVSubtitle& subtitle, const AVPacket& packet);
    // The decoded bitmaps into the next overlay of the ring.
    void keep_overlay(const AVSubtitle& subtitle, const AVPacket& packet);
    void place_overlay(const AVSubtitle& subtitle, Overlay& overlay);

    const AVStream& input_;
    Use use_ = Use::count;
    CodecContextPtr decoder_;
    AVCodecContext* encoder_ = nullptr;
    AVStream* output_ = nullptr;
    PacketWriter writer_;
    std::vector<std::uint8_t> encoded_; // reused for every packet
    PacketPtr packet_;
    std::int64_t last_written_ = AV_NOPTS_VALUE; // the track's last time, kept increasing

    Area area_;
    int text_height_ = 0;
    int canvas_width_ = 0;
    int canvas_height_ = 0;
    // Overlays decoded ahead of the pictures, oldest first; reused, so that their buffers keep
    // their size.
    std::array<Overlay, 8> overlays_;
    std::size_t first_ = 0;
    std::size_t count_ = 0;
    // A subtitle's rectangles composed (alpha, luma, chroma), before it is scaled; reused.
    std::vector<std::array<std::uint8_t, 4>> composed_;

    int packets_ = 0;
    int shown_ = 0;
    int damaged_ = 0;
};

} // namespace morvane
