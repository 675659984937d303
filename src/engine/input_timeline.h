// SPDX-License-Identifier: GPL-3.0-or-later
// The input's packet times judged stream by stream before anything is decoded.
//
// Formats that declare discontinuities (MPEG-TS and alike) restart their clock: the file's
// offset moves only when the streams jump together; a jump in one stream alone is a gap of
// that stream. Elsewhere a stream's times are its own: a gap stays a gap of that stream, and
// a packet whose time lies hours from where its stream stands, far past the container's
// stated end, or that its stream's following packets contradict, loses its time (the decoder
// then dates it from its predecessor). Deciding may hold a stream's packets back until
// another packet tells; each stream's order is always kept.
#pragma once

#include "engine/ffmpeg_ptr.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace morvane {

class InputTimeline {
public:
    // `clocked`: per stream of `container`, whether its packets are read (sound and
    // pictures); `stated_end`: the end the container states (microseconds), 0 when none.
    InputTimeline(const AVFormatContext& container, std::vector<bool> clocked,
                  std::int64_t stated_end);
    InputTimeline(const InputTimeline&) = delete;
    InputTimeline& operator=(const InputTimeline&) = delete;

    // Takes the packet's contents (the packet is left blank). 0 or an FFmpeg error.
    int push(AVPacket& packet);
    // The input ended: whatever was held back comes out.
    void end();
    // Moves the next judged packet into `packet`; false when none is ready.
    bool take(AVPacket& packet);

    // The latest time (microseconds) that a packet lost as damage; AV_NOPTS_VALUE when none.
    std::int64_t dropped_time() const { return dropped_time_; }

private:
    struct Stream {
        AVRational time_base{1, 1};
        bool clocked = false;
        std::int64_t next = AV_NOPTS_VALUE; // where its next packet is expected
        std::int64_t last = AV_NOPTS_VALUE; // its last decoding time
        // A jump waits for the next packet (of this stream elsewhere, of another stream in
        // formats with discontinuities) to tell whether it is real.
        std::vector<PacketPtr> held;
        std::int64_t held_at = 0; // the first held packet's time (microseconds)
        std::int64_t jump = 0;    // how far it jumped
    };

    std::int64_t time_of(const AVPacket& packet) const; // microseconds, AV_NOPTS_VALUE: none
    void judge_own_clock(Stream& stream, PacketPtr packet);
    void judge_discontinuous(Stream& stream, PacketPtr packet);
    // The held packets of `stream` released with their times, or without.
    void release(Stream& stream, bool keep_times);
    // The file's clock restarted: every stream moves by `delta` from here on.
    void move_clock(std::int64_t delta);
    void shift(AVPacket& packet, std::int64_t delta) const;
    void drop_time(AVPacket& packet);
    // Ready to be decoded: the stream's clock moves on past it.
    void emit(PacketPtr packet);
    PacketPtr spare();

    std::vector<Stream> streams_;
    bool discontinuous_ = false;
    std::int64_t offset_ = 0; // added to every time: the file's clock starts at 0
    std::int64_t stated_end_ = 0;
    std::int64_t dropped_time_ = AV_NOPTS_VALUE;
    std::vector<PacketPtr> ready_;
    std::size_t first_ready_ = 0;
    std::vector<PacketPtr> spares_;
};

} // namespace morvane
