// The engine's tables: the open files of the conversion being prepared or run.
#pragma once

#include "engine/input_file.h"
#include "engine/output_file.h"

#include <cstdint>
#include <vector>

namespace morvane {

struct EngineTables {
    std::vector<InputFile> input_files;   // at most one
    std::vector<OutputFile> output_files; // at most one
    std::int64_t packets_written = 0;     // by the last transcode
    std::int64_t pictures_written = 0;    // of them, packets of the moving picture
};

} // namespace morvane
