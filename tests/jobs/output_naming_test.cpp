// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/output_naming.h"
#include "jobs/temporary_output.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace morvane {
namespace {

TEST(OutputNaming, BaseNameLosesFolderAndLastExtensionOnly) {
    EXPECT_EQ(output_base_name("/clips/holiday.2008.avi"), "holiday.2008");
    EXPECT_EQ(output_base_name("/clips/README"), "README");
    EXPECT_EQ(output_base_name("song.wav"), "song");
    EXPECT_EQ(output_base_name("/dotted.folder/track"), "track");
}

TEST(OutputNaming, PlannedNameAndNumberedCandidates) {
    EXPECT_EQ(planned_output_path("/out/", "song", ".mp3"), "/out/song.mp3");
    // A folder without its final separator is still a folder, never a prefix.
    EXPECT_EQ(planned_output_path("/out", "song", ".mp4"), "/out/song.mp4");
    // Too long for the file system: shortened between characters, with room for "_<n>".
    std::string wide; // 85 CJK characters: 255 bytes
    for (int count = 0; count < 85; ++count) {
        wide += "\xe6\xbc\xa2";
    }
    const std::string fitted = planned_output_path("/out/", wide, ".mp3");
    EXPECT_EQ(fitted, "/out/" + wide.substr(0, 81 * 3) + ".mp3");
    EXPECT_LE(output_name_candidate(fitted, ".mp3", 1000000).size() - 5, 255u);
    EXPECT_EQ(output_name_candidate("/out/song.mp3", ".mp3", 0), "/out/song.mp3");
    EXPECT_EQ(output_name_candidate("/out/song.mp3", ".mp3", 1), "/out/song_0.mp3");
    EXPECT_EQ(output_name_candidate("/out/song.mp3", ".mp3", 12), "/out/song_11.mp3");
}

std::vector<std::string> names_in(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(TemporaryOutput, NothingVisibleUntilCommittedThenTheFirstFreeName) {
    test::TempFolder folder;
    const std::string out = folder.path().string() + "/";
    TemporaryOutput output;
    ASSERT_FALSE(output.create(out, ".mp3"));
    EXPECT_TRUE(output.path().starts_with(out + ".morvane-partial-")) << output.path();
    EXPECT_TRUE(output.path().ends_with(".mp3"));
    { std::ofstream(output.path()) << "complete"; }
    ASSERT_EQ(names_in(folder.path()).size(), 1u);
    EXPECT_EQ(names_in(folder.path())[0][0], '.') << "hidden while it is written";

    // Taken after the name was planned (another program, a folder): the next free one.
    { std::ofstream(out + "song.mp3") << "theirs"; }
    std::filesystem::create_directory(out + "song_0.mp3");
    std::string final_path;
    ASSERT_FALSE(output.commit(out + "song.mp3", ".mp3", final_path));
    EXPECT_EQ(final_path, out + "song_1.mp3");
    EXPECT_EQ(names_in(folder.path()),
              (std::vector<std::string>{"song.mp3", "song_0.mp3", "song_1.mp3"}));
    std::ifstream theirs(out + "song.mp3");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(theirs), {}), "theirs");

    // A discarded (failed) conversion leaves nothing.
    {
        TemporaryOutput failed;
        ASSERT_FALSE(failed.create(out, ".mp3"));
        { std::ofstream(failed.path()) << "half"; }
    }
    EXPECT_EQ(names_in(folder.path()).size(), 3u);
    // A folder that is not there says why.
    TemporaryOutput nowhere;
    EXPECT_EQ(nowhere.create(out + "missing/", ".mp3"), "No such file or directory");
}

TEST(TemporaryOutput, StaleTemporariesGoButOneALiveWriterHoldsStays) {
    test::TempFolder folder;
    const std::string out = folder.path().string() + "/";
    TemporaryOutput live;
    ASSERT_FALSE(live.create(out, ".mp4"));
    // A killed run's leftover, and files that only look alike.
    const std::string stale = out + ".morvane-partial-0123456789abcdef.mp4";
    { std::ofstream(stale) << "half"; }
    for (const char* name : {".morvane-partial-mine.mp4", "morvane-partial-0123456789abcdef.mp4"}) {
        std::ofstream(out + name) << "keep";
    }
    TemporaryOutput::remove_stale(out);
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(live.path()));
    EXPECT_EQ(names_in(folder.path()).size(), 3u);
}

TEST(TemporaryOutput, ConcurrentConversionsNeverShareAName) {
    test::TempFolder folder;
    const std::string out = folder.path().string() + "/";
    std::vector<std::string> names(8);
    std::vector<std::thread> threads;
    for (std::size_t index = 0; index < names.size(); ++index) {
        threads.emplace_back([&, index] {
            TemporaryOutput output;
            if (!output.create(out, ".mp4")) {
                output.commit(out + "same.mp4", ".mp4", names[index]);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::unique(names.begin(), names.end()), names.end());
    EXPECT_EQ(std::count(names.begin(), names.end(), ""), 0);
    EXPECT_EQ(names_in(folder.path()).size(), names.size());
}

} // namespace
} // namespace morvane
