// What a conversion and its caller share while it runs: the sink and the byte counters.
#pragma once

#include <cstdint>

namespace morvane {

class CConverCallback;

struct TranscodeProgress {
    CConverCallback* callback = nullptr; // not owned; null means no reports and no stop
    std::int64_t total_bytes = 0;        // size of the input file, 0 when unknown
    std::int64_t bytes_read = 0;         // bytes of accepted packets read so far
    int last_percent = -1;               // last percentage sent; carries over between files
};

} // namespace morvane
