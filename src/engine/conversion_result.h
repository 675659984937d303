// SPDX-License-Identifier: GPL-3.0-or-later
// How one conversion ended.
#pragma once

#include <cstdint>
#include <string>

namespace morvane {

struct ConversionResult {
    enum class Status {
        converted, // the whole input read (or up to a read error, see read_error)
        stopped,   // the sink asked to stop: complete up to there
        failed,    // nothing usable: the output file is to be thrown away
    };
    Status status = Status::failed;
    std::string reason;         // failed: why, in FFmpeg's words or the engine's
    std::string read_error;     // why reading ended before the end of the input, if it did
    double seconds_reached = 0; // of the input's timeline, by the stream furthest on
    std::int64_t packets_written = 0;
    std::int64_t pictures_written = 0; // packets of moving pictures among them
};

} // namespace morvane
