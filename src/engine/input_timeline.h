// SPDX-License-Identifier: GPL-3.0-or-later
// The input's packet times judged stream by stream before anything is decoded.
//
// A jump in a stream's times is held back until what follows tells what it was:
// - the stream's own next packets go back to where it stood: the jump was one bad stamp (or
//   one bad run, a packet cut into frames), which loses its time and follows its predecessor;
// - in formats that declare discontinuities (MPEG-TS and alike), every stream jumps to a new
//   clock: a recording that starts again (recordings joined end to end), read after the last,
//   each stream from its own end and all in step;
// - the other streams catch up with it: a gap of that stream, kept;
// - the other streams go on in the old clock: that stream's clock alone moved (ahead: it goes
//   on from where it stood; back: as it is, and what does not move forward is dropped later).
// Formats without discontinuities keep every stream's time its own, and also drop a time that
// lies hours from where its stream stands or far past the container's stated end. Each
// stream's order is always kept.
#pragma once

#include "engine/conversion_result.h"
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
    // Stamps ignored as damage so far, for pictures or for sound.
    const ConversionResult::IgnoredStamps& ignored(AVMediaType type) const {
        return type == AVMEDIA_TYPE_VIDEO ? ignored_pictures_ : ignored_sound_;
    }
    // How often every stream started again (each a recording joined to the one before).
    int restarts() const { return restarts_; }

private:
    struct Stream {
        AVRational time_base{1, 1};
        AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
        bool clocked = false;
        std::int64_t offset = 0;            // this stream's own, beside the file's
        std::int64_t next = AV_NOPTS_VALUE; // where its next packet is expected
        std::int64_t last = AV_NOPTS_VALUE; // its last decoding time
        // A jump waits, with the packets after it, until what follows tells what it was.
        std::vector<PacketPtr> held;
        std::int64_t held_at = 0;     // the jump's time (microseconds)
        std::int64_t held_latest = 0; // the latest time among the held packets
        bool pending() const { return !held.empty(); }
    };

    std::int64_t time_of(const AVPacket& packet) const; // microseconds, AV_NOPTS_VALUE: none
    void judge_own_clock(Stream& stream, PacketPtr packet);
    void judge_discontinuous(Stream& stream, PacketPtr packet);
    // Whether a time at `time` is a jump from where `stream` stands worth waiting on.
    bool jumps(const Stream& stream, std::int64_t time) const;
    bool big_jump(const Stream& stream, std::int64_t time) const;
    void hold(Stream& stream, PacketPtr packet, std::int64_t time);
    // Decides every held jump that what has come since tells about.
    void settle();
    // Every stream that is going jumped to a new clock together: true when it did.
    bool restart_if_all_jumped();
    // The furthest time the streams other than `stream` have come to.
    std::int64_t others_horizon(const Stream& stream) const;
    // The latest time any stream has come to, and whether a stream has kept near it.
    std::int64_t latest_time() const;
    bool going(const Stream& stream, std::int64_t latest) const;
    // No stream but `stream` is going.
    bool is_alone(const Stream& stream, std::int64_t latest) const;
    // The held packets of `stream` released with their times.
    void release(Stream& stream);
    // The held jump was bad stamps: they lose their times and follow their predecessor.
    void release_as_damage(Stream& stream);
    // The stream's clock alone moved ahead: it goes on from where it stood.
    void release_reanchored(Stream& stream);
    // The file's clock restarted: every stream moves by `delta` from here on.
    void move_clock(std::int64_t delta);
    void shift(AVPacket& packet, std::int64_t delta) const;
    void drop_time(AVPacket& packet);
    void note_ignored(const Stream& stream, std::int64_t offset);
    // Ready to be decoded: the stream's clock moves on past it.
    void emit(PacketPtr packet);
    PacketPtr spare();

    std::vector<Stream> streams_;
    bool discontinuous_ = false;
    std::int64_t offset_ = 0; // added to every time: the file's clock starts at 0
    std::int64_t stated_end_ = 0;
    std::int64_t dropped_time_ = AV_NOPTS_VALUE;
    ConversionResult::IgnoredStamps ignored_pictures_;
    ConversionResult::IgnoredStamps ignored_sound_;
    int restarts_ = 0;
    int pending_ = 0; // streams holding a jump
    std::vector<PacketPtr> ready_;
    std::size_t first_ready_ = 0;
    std::vector<PacketPtr> spares_;
};

} // namespace morvane
