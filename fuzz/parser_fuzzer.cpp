// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for one parser of files others write: built once per check of
// parser_checks.h, named by MORVANE_FUZZ_CHECK. A broken promise aborts, so that the fuzzer
// keeps the input like a crash.
#include "parser_checks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#ifndef MORVANE_FUZZ_CHECK
#error "MORVANE_FUZZ_CHECK names the check this target runs"
#endif

namespace {

// A folder of this process's own, gone when the fuzzer ends without a finding.
class WorkFolder {
public:
    WorkFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("morvane-fuzz-parser-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ~WorkFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const WorkFolder work_folder;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (const auto broken = morvane::fuzz::MORVANE_FUZZ_CHECK(bytes, work_folder.path())) {
        std::fprintf(stderr, "broken promise: %s\n", broken->c_str());
        std::abort();
    }
    return 0;
}
