// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: one input file, made of the fuzzer's bytes, converted for the iPod nano
// and for the iPod Shuffle (fuzz_conversion.h). Whatever the bytes, the engine must neither
// crash nor hang; failing is fine.
#include "fuzz_conversion.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

namespace {

const std::filesystem::path& work_folder() {
    static const std::filesystem::path folder = [] {
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("morvane-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

// A minute of each input's timeline: an input of a few bytes may describe hours, and
// converting them is work, not a hang.
constexpr std::int64_t fuzzed_timeline = 60 * 1000000LL;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    (void)quiet;
    const std::filesystem::path input = work_folder() / "input";
    if (std::FILE* file = std::fopen(input.c_str(), "wb")) {
        const bool written = std::fwrite(data, 1, size, file) == size;
        if (std::fclose(file) != 0 || !written) {
            return 0;
        }
    } else {
        return 0;
    }
    morvane::fuzz::convert_for_fuzzing(input, work_folder(), fuzzed_timeline);
    return 0;
}
