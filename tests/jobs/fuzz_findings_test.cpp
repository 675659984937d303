// SPDX-License-Identifier: GPL-3.0-or-later
// Every input the fuzzer ever caught the engine out with replays quickly and cleanly (under
// the sanitizers too), converted as the fuzz target converts it but over the whole timeline,
// as the product does. Every input kept for the parsers' targets (their seeds, and what the
// fuzzer caught them out with) keeps the promises those targets check.
#include "fuzz_conversion.h"
#include "parser_checks.h"
#include "support/temp_folder.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <utility>

namespace morvane::test {
namespace {

TEST(FuzzFindings, EachReplaysInAFewSeconds) {
    const std::filesystem::path findings = MORVANE_FUZZ_FINDINGS_DIR;
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(findings)) {
        // The parsers' findings lie in folders of their own.
        if (!entry.is_regular_file() || entry.path().extension() == ".md") {
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

TEST(FuzzFindings, ParsersKeepTheirPromisesOnEachKeptInput) {
    using Check = std::optional<std::string> (*)(std::string_view, const std::filesystem::path&);
    const std::pair<const char*, Check> parsers[] = {
        {"sysinfo", fuzz::check_sysinfo},
        {"ipod_journal", fuzz::check_ipod_journal},
        {"output_mark", fuzz::check_output_mark},
        {"config_ini", fuzz::check_config_ini},
    };
    for (const auto& [parser, check] : parsers) {
        // One folder for all of a parser's inputs, as the fuzzer has: what a check makes once
        // (the blank outputs a mark is written into) is made once.
        TempFolder folder;
        int replayed = 0;
        for (const char* kept : {MORVANE_FUZZ_SEEDS_DIR, MORVANE_FUZZ_FINDINGS_DIR}) {
            const std::filesystem::path inputs = std::filesystem::path(kept) / parser;
            if (!std::filesystem::is_directory(inputs)) {
                continue;
            }
            for (const auto& entry : std::filesystem::directory_iterator(inputs)) {
                SCOPED_TRACE(entry.path().string());
                const std::optional<std::string> broken =
                    check(read_file(entry.path()), folder.path());
                EXPECT_FALSE(broken.has_value()) << broken.value_or("");
                ++replayed;
            }
        }
        EXPECT_GT(replayed, 0) << parser;
    }
}

} // namespace
} // namespace morvane::test
