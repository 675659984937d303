#include "jobs/output_naming.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace morvane {
namespace {

DeviceProfile player() {
    DeviceProfile device;
    device.video_extension = ".mp4";
    device.audio_extension = ".mp3";
    return device;
}

TEST(OutputNaming, BaseNameLosesFolderAndLastExtensionOnly) {
    EXPECT_EQ(output_base_name("/clips/holiday.2008.avi"), "holiday.2008");
    EXPECT_EQ(output_base_name("/clips/README"), "README");
    EXPECT_EQ(output_base_name("song.wav"), "song");
    EXPECT_EQ(output_base_name("/dotted.folder/track"), "track");
}

TEST(OutputNaming, FirstFreeNameIsReservedOnDisk) {
    test::TempFolder folder;
    const std::string out = folder.path().string() + "/";
    const auto first = make_output_path(player(), "/in/song.wav", false, out);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, out + "song.mp3");
    EXPECT_TRUE(std::filesystem::exists(*first)); // reserved, so nobody else takes it

    // Numbering starts at 0 on the second candidate; a folder of that name is taken too.
    std::filesystem::create_directory(out + "song_0.mp3");
    const auto second = make_output_path(player(), "/other/song.flac", false, out);
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, out + "song_1.mp3");

    const auto video = make_output_path(player(), "/in/song.wav", true, out);
    ASSERT_TRUE(video);
    EXPECT_EQ(*video, out + "song.mp4");
}

TEST(OutputNaming, FolderIsAPlainPrefix) {
    test::TempFolder folder;
    // A hand-edited folder without its final separator joins the name straight on.
    const std::string prefix = folder.path().string() + "/out";
    const auto path = make_output_path(player(), "/in/a.wav", false, prefix);
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, prefix + "a.mp3");
}

TEST(OutputNaming, ImpossibleFolderGivesNoName) {
    test::TempFolder folder;
    EXPECT_FALSE(
        make_output_path(player(), "/in/a.wav", false, folder.path().string() + "/missing/"));
    // A name longer than the file system allows is refused, not cut.
    EXPECT_FALSE(make_output_path(player(), "/in/" + std::string(300, 'n') + ".wav", false,
                                  folder.path().string() + "/"));
}

TEST(OutputNaming, ConcurrentConversionsNeverShareAName) {
    test::TempFolder folder;
    const std::string out = folder.path().string() + "/";
    std::vector<std::string> names(8);
    std::vector<std::thread> threads;
    for (std::size_t index = 0; index < names.size(); ++index) {
        threads.emplace_back([&, index] {
            names[index] = make_output_path(player(), "/in/same.avi", true, out).value_or("");
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::unique(names.begin(), names.end()), names.end());
    EXPECT_EQ(std::count(names.begin(), names.end(), ""), 0);
}

} // namespace
} // namespace morvane
