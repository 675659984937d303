// config.ini as the main window and the worker use it: defaults, hand edits, saving back.
#include "settings/settings_file.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace morvane {
namespace {

namespace fs = std::filesystem;

class SettingsFileTest : public testing::Test {
protected:
    AppSettings load_text(const std::string& contents) {
        std::ofstream(location_.config_file(), std::ios::binary) << contents;
        return loaded();
    }
    AppSettings loaded() const {
        AppSettings settings;
        load_settings(settings, location_);
        return settings;
    }
    std::string on_disk() const {
        std::stringstream text;
        text << std::ifstream(location_.config_file(), std::ios::binary).rdbuf();
        return text.str();
    }

    test::TempFolder folder_;
    // The data home is missing two levels deep, as on a fresh account.
    SettingsLocation location_{folder_.path().string() + "/",
                               folder_.path().string() + "/home/.local/share/Morvane/"};
};

TEST_F(SettingsFileTest, NoFileGivesTheDefaultsAndAKeylessFileSavesAllFiveKeys) {
    const AppSettings defaults = loaded();
    EXPECT_EQ(defaults.output_folder, location_.default_output_folder);
    EXPECT_TRUE(fs::is_directory(location_.default_output_folder));
    EXPECT_EQ(defaults.shutdown_after_batch, 0);
    EXPECT_EQ(defaults.open_output_after_batch, 1);
    EXPECT_EQ(defaults.topmost, 1);
    EXPECT_EQ(defaults.device_index, 0);
    EXPECT_FALSE(fs::exists(location_.config_file())) << "loading never writes";

    ASSERT_TRUE(save_settings(load_text("; mine\n[Common]\n"), location_));
    EXPECT_EQ(on_disk(), "; mine\n[Common]\nOutputFolder=" + location_.default_output_folder +
                             "\nOpenOutput=1\nShutdown=0\nTopmost=1\nDeviceIndex=0\n");
}

TEST_F(SettingsFileTest, HandEditedValuesReadAsTheyStandAndFlagsGoBackAsZeroOrOne) {
    AppSettings settings = load_text("[common]\noutputfolder=\nTOPMOST=5\nShutdown=1\n"
                                     "OpenOutput=0\nDeviceIndex=4\n");
    EXPECT_EQ(settings.output_folder, "") << "present but empty is not absent";
    EXPECT_EQ(settings.topmost, 5);
    EXPECT_EQ(settings.shutdown_after_batch, 1);
    EXPECT_EQ(settings.open_output_after_batch, 0);
    EXPECT_EQ(settings.device_index, 4);
    ASSERT_TRUE(save_settings(settings, location_));
    EXPECT_EQ(on_disk(), "[common]\noutputfolder=\nTOPMOST=1\nShutdown=1\nOpenOutput=0\n"
                         "DeviceIndex=4\n");

    fs::remove_all(location_.default_output_folder);
    EXPECT_EQ(load_text("[Common]\nOutputFolder=/media/player/\n").output_folder, "/media/player/");
    EXPECT_TRUE(fs::is_directory(location_.default_output_folder)) << "created all the same";
}

TEST_F(SettingsFileTest, ADeviceIndexOutsideTheTableSelectsTheFirstRowAndIsSavedSo) {
    for (const std::string stored : {"-1", "5", "abc", "99999999999"}) {
        const AppSettings settings = load_text("[Common]\nDeviceIndex=" + stored + "\n");
        EXPECT_EQ(settings.device_index, 0) << stored;
        ASSERT_TRUE(save_settings(settings, location_));
        EXPECT_NE(on_disk().find("DeviceIndex=0\n"), std::string::npos) << stored;
    }
}

TEST_F(SettingsFileTest, DamagedFilesGiveDefaultsAndSurviveASave) {
    const std::string damaged = std::string("\x00\x01\xFE junk\nTopmost=0\n[Common]\n", 28) +
                                std::string(100000, 'z') + "\n";
    AppSettings settings = load_text(damaged);
    EXPECT_EQ(settings.topmost, 1) << "a key outside any section does not count";
    settings.topmost = 0;
    ASSERT_TRUE(save_settings(settings, location_));
    EXPECT_TRUE(on_disk().starts_with(damaged));
    EXPECT_EQ(loaded().topmost, 0);

    fs::remove(location_.config_file());
    fs::create_directory(location_.config_file());
    EXPECT_EQ(loaded().device_index, 0);
    EXPECT_FALSE(save_settings(settings, location_)) << "a folder in the file's place stays";
}

TEST_F(SettingsFileTest, FoldersRoundTripUncutUnlessNoLineCanCarryThem) {
    AppSettings settings;
    for (const std::string& folder : {"/" + std::string(600, 'v') + "/", std::string(" /视频/")}) {
        settings.output_folder = folder;
        ASSERT_TRUE(save_settings(settings, location_));
        EXPECT_EQ(loaded().output_folder, folder);
    }
    settings.output_folder = "/two\nlines/";
    settings.device_index = 3;
    EXPECT_FALSE(save_settings(settings, location_));
    EXPECT_EQ(loaded().output_folder, " /视频/") << "the last stored folder stays";
    EXPECT_EQ(loaded().device_index, 3) << "the other keys are written";
}

} // namespace
} // namespace morvane
