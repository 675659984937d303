// The engine's tables: the open files, and the per-stream records of the running conversion.
#pragma once

#include "engine/input_file.h"
#include "engine/input_file_record.h"
#include "engine/input_stream_record.h"
#include "engine/output_file.h"
#include "engine/output_stream_record.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace morvane {

struct EngineTables {
    static constexpr std::size_t max_files = 20;

    std::vector<InputFile> input_files;
    std::vector<OutputFile> output_files;
    std::int64_t video_bytes_written = 0;
    std::int64_t packets_written = 0; // by the last transcode

    // Built by transcode and released before it returns.
    std::vector<InputFileRecord> input_file_records;
    std::vector<std::unique_ptr<InputStreamRecord>> input_streams;
    std::vector<std::unique_ptr<OutputStreamRecord>> output_streams;
};

} // namespace morvane
