// Per-input state of a running conversion.
#pragma once

namespace morvane {

struct InputFileRecord {
    bool ended = false;
    int first_stream = 0; // index of its first InputStreamRecord
    int stream_count = 0;
};

} // namespace morvane
