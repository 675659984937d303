// SPDX-License-Identifier: GPL-3.0-or-later
// Every input the fuzzer ever caught the engine out with replays quickly and cleanly (under
// the sanitizers too), converted as the fuzz target converts it but over the whole timeline,
// as the product does.
#include "fuzz_conversion.h"
#include "support/temp_folder.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>

namespace morvane::test {
namespace {

TEST(FuzzFindings, EachReplaysInAFewSeconds) {
    const std::filesystem::path findings = MORVANE_FUZZ_FINDINGS_DIR;
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(findings)) {
        if (entry.path().extension() == ".md") {
            continue;
        }
        SCOPED_TRACE(entry.path().filename().string());
        TempFolder folder;
        const auto started = std::chrono::steady_clock::now();
        fuzz::convert_for_fuzzing(entry.path(), folder.path(), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}

} // namespace
} // namespace morvane::test
