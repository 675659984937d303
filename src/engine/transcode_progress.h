// What a conversion and its caller share while it runs: the sink, and how far the input has
// been converted.
#pragma once

#include <cstdint>

namespace morvane {

class CConverCallback;

struct TranscodeProgress {
    CConverCallback* callback = nullptr; // not owned; null means no reports and no stop
    // The input's timeline (microseconds from its start): its duration, 0 when unknown, and
    // the end of the last frame decoded so far.
    std::int64_t duration = 0;
    std::int64_t position = 0;
    // Where the duration is unknown: the file's size (0 when unknown) and how far into it
    // the reading is, counting every byte read.
    std::int64_t total_bytes = 0;
    std::int64_t bytes_read = 0;
    int file_percent = 0;  // the highest of the current file: progress never goes back
    int last_percent = -1; // last percentage sent; carries over between files
};

} // namespace morvane
