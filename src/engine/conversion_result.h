// SPDX-License-Identifier: GPL-3.0-or-later
// How one conversion ended.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

struct ConversionResult {
    enum class Status {
        converted, // the whole input read (or up to a read error, see read_error)
        stopped,   // the sink asked to stop: complete up to there
        failed,    // nothing usable: the output file is to be thrown away
    };
    Status status = Status::failed;
    std::string reason; // failed: why, in FFmpeg's words or the engine's
    // failed, of a plan that copies the sound: a frame of it did not decode (or changed its
    // shape), so a copy would carry the damage; converting it instead may mend it.
    bool damaged_copy = false;
    std::string read_error;     // why reading ended before the end of the input, if it did
    double seconds_reached = 0; // of the input's timeline, by the stream furthest on
    std::int64_t packets_written = 0;
    std::int64_t pictures_written = 0; // packets of moving pictures among them

    // Each output track made from an input stream (seconds of the input's timeline; negative
    // when unknown): where the frames decoded from the input stream end, and where what was
    // encoded ends.
    struct Track {
        enum class Kind { picture, sound };
        Kind kind = Kind::sound;
        double input_end = -1;
        double output_end = -1;
    };
    std::vector<Track> tracks; // converted and stopped only
    // The latest time that was taken for damage and dropped (seconds), negative when none: a
    // duration the container counted up to it is not the input's.
    double dropped_time = -1;
    // Stamps taken for damage and ignored on the way, the frame placed after the one before
    // it: how many (a packet cut into several frames counts once), and how far off the
    // furthest was (seconds).
    struct IgnoredStamps {
        int count = 0;
        double largest_offset = 0;
    };
    IgnoredStamps ignored_picture_stamps;
    IgnoredStamps ignored_sound_stamps;
    // How often every stream started again: recordings joined end to end, read one after the
    // other.
    int restarts = 0;
    // The sound's integrated loudness (LUFS, EBU R 128) when the plan asked for it and there
    // was enough sound to measure.
    std::optional<double> loudness;
    // The subtitles the plan shows (burned in or kept as a track): how many were shown, how
    // many packets could not be read, and why none are shown when none are (empty: some are,
    // or the plan shows none). The film converts without them all the same.
    struct Subtitles {
        int shown = 0;
        int damaged = 0;
        std::string left_out;
    };
    Subtitles subtitles;
};

} // namespace morvane
