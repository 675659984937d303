// SPDX-License-Identifier: GPL-3.0-or-later
// config.ini as the main window and the worker use it: defaults, hand edits, saving back.
#include "settings/settings_file.h"
#include "support/temp_folder.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/mount.h>
#include <unistd.h>

namespace morvane {
namespace {

namespace fs = std::filesystem;

class SettingsFileTest : public testing::Test {
protected:
    AppSettings load_text(const std::string& contents) {
        fs::create_directories(location_.config_directory);
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
                               folder_.path().string() + "/home/.local/share/Morvane/",
                               folder_.path().string() + "/home/.config/morvane/"};
};

TEST_F(SettingsFileTest, NoFileGivesTheDefaultsAndAKeylessFileSavesEveryKey) {
    const AppSettings defaults = loaded();
    EXPECT_EQ(defaults.output_folder, location_.default_output_folder);
    EXPECT_TRUE(fs::is_directory(location_.default_output_folder));
    EXPECT_EQ(defaults.shutdown_after_batch, 0);
    EXPECT_EQ(defaults.open_output_after_batch, 1);
    EXPECT_EQ(defaults.send_to_player, 1);
    EXPECT_EQ(defaults.stay_on_top, 0);
    EXPECT_EQ(defaults.device_index, 0);
    EXPECT_EQ(defaults.keep_folders, 0);
    EXPECT_EQ(defaults.video_codec, "mpeg4");
    EXPECT_TRUE(defaults.preferred_languages.empty()) << "the desktop's language";
    EXPECT_EQ(defaults.subtitles, AppSettings::Subtitles::foreign);
    EXPECT_EQ(defaults.crop, 1);
    EXPECT_EQ(defaults.fill, 0);
    EXPECT_EQ(defaults.video_quality, AppSettings::Quality::device);
    EXPECT_EQ(defaults.picture_size, AppSettings::PictureSize::screen);
    EXPECT_FALSE(fs::exists(location_.config_file())) << "loading never writes";

    ASSERT_EQ(save_settings(load_text("; mine\n[Common]\n"), location_), std::nullopt);
    EXPECT_EQ(on_disk(),
              "; mine\n[Common]\nOutputFolder=" + location_.default_output_folder +
                  "\nOpenOutput=1\nShutdown=0\nSendToPlayer=1\nTopmost=0\nDeviceIndex=0\n"
                  "KeepFolders=0\nVideoCodec=mpeg4\nPreferredLanguages=\nSubtitles=foreign\n"
                  "Crop=auto\nFill=0\nVideoQuality=\nPictureSize=screen\n");
    EXPECT_EQ(loaded(), defaults) << "the keys left empty read as unset";
}

TEST_F(SettingsFileTest, HandEditedValuesReadAsTheyStandAndFlagsGoBackAsZeroOrOne) {
    AppSettings settings = load_text("[common]\noutputfolder=/media/player\nTOPMOST=5\n"
                                     "Shutdown=1\nOpenOutput=0\nDeviceIndex=4\nSendToPlayer=0\n"
                                     "KeepFolders=1\nvideocodec=h264\n"
                                     "preferredlanguages= FR , eng,,fre,fr\nSUBTITLES=Always\n"
                                     "crop=OFF\nFill=3\nVideoQuality=lower\nPictureSize=tv\n");
    EXPECT_EQ(settings.output_folder, "/media/player/") << "a folder, not a name prefix";
    EXPECT_EQ(settings.stay_on_top, 5);
    EXPECT_EQ(settings.shutdown_after_batch, 1);
    EXPECT_EQ(settings.open_output_after_batch, 0);
    EXPECT_EQ(settings.send_to_player, 0);
    EXPECT_EQ(settings.device_index, 4);
    EXPECT_EQ(settings.keep_folders, 1);
    EXPECT_EQ(settings.video_codec, "h264");
    EXPECT_EQ(settings.preferred_languages, (std::vector<std::string>{"fr", "eng", "fre"}))
        << "in the owner's order, each once, blanks and empty entries ignored";
    EXPECT_EQ(settings.subtitles, AppSettings::Subtitles::always);
    EXPECT_EQ(settings.crop, 0);
    EXPECT_EQ(settings.fill, 3);
    EXPECT_EQ(settings.video_quality, AppSettings::Quality::lower);
    EXPECT_EQ(settings.picture_size, AppSettings::PictureSize::tv);
    ASSERT_EQ(save_settings(settings, location_), std::nullopt);
    EXPECT_EQ(on_disk(), "[common]\noutputfolder=/media/player/\nTOPMOST=1\nShutdown=1\n"
                         "OpenOutput=0\nDeviceIndex=4\nSendToPlayer=0\nKeepFolders=1\n"
                         "videocodec=h264\npreferredlanguages=fr,eng,fre\nSUBTITLES=always\n"
                         "crop=off\nFill=1\nVideoQuality=lower\nPictureSize=tv\n");
    EXPECT_EQ(loaded().preferred_languages, settings.preferred_languages);

    fs::remove_all(location_.default_output_folder);
    EXPECT_EQ(load_text("[Common]\nOutputFolder=/media/player/\n").output_folder, "/media/player/");
    EXPECT_TRUE(fs::is_directory(location_.default_output_folder)) << "created all the same";

    // Empty, relative, or a file: the default folder, never the current directory.
    { std::ofstream(folder_.file("a-file")) << "x"; }
    for (const std::string& stored :
         {std::string(), std::string("music"), folder_.file("a-file").string()}) {
        EXPECT_EQ(load_text("[Common]\nOutputFolder=" + stored + "\n").output_folder,
                  location_.default_output_folder)
            << stored;
    }
}

TEST_F(SettingsFileTest, OnlyChangedKeysAreWrittenSoTwoWindowsKeepEachOthersChoices) {
    const AppSettings stored = load_text("; mine\n[Common]\nTopmost=5\nOpenOutput=0\n");
    EXPECT_EQ(save_changed_settings(stored, stored, location_), std::nullopt);
    EXPECT_EQ(on_disk(), "; mine\n[Common]\nTopmost=5\nOpenOutput=0\n") << "nothing changed";

    // One window chooses the nano, another keeps its windows on top; each writes its key
    // alone, into the file as the other left it.
    AppSettings nano = stored;
    nano.device_index = 1;
    AppSettings on_top = stored;
    on_top.stay_on_top = 0;
    on_top.keep_folders = 1;
    ASSERT_EQ(save_changed_settings(stored, nano, location_), std::nullopt);
    ASSERT_EQ(save_changed_settings(stored, on_top, location_), std::nullopt);
    EXPECT_EQ(on_disk(), "; mine\n[Common]\nTopmost=0\nOpenOutput=0\nDeviceIndex=1\n"
                         "KeepFolders=1\n");
    const AppSettings both = loaded();
    EXPECT_EQ(both.device_index, 1);
    EXPECT_EQ(both.stay_on_top, 0);
    EXPECT_EQ(both.keep_folders, 1);
}

// Which indexes name a row is the device table's to say (valid_device_index): an index this
// table lacks, or no number at all, comes through as it reads and goes back so.
TEST_F(SettingsFileTest, ADeviceIndexIsReadAsItStandsForTheTableToJudge) {
    for (const auto& [stored, read] : {std::pair{"-1", -1}, std::pair{"5", 5}, std::pair{"abc", 0},
                                       std::pair{"99999999999", 2147483647}}) {
        const AppSettings settings =
            load_text(std::string("[Common]\nDeviceIndex=") + stored + "\n");
        EXPECT_EQ(settings.device_index, read) << stored;
        ASSERT_EQ(save_settings(settings, location_), std::nullopt);
        EXPECT_NE(on_disk().find("DeviceIndex=" + std::to_string(read) + "\n"), std::string::npos)
            << stored;
    }
}

// A choice about films edited by hand into something it cannot be gives its default, and
// never anything else: a damaged list of languages is not half read.
TEST_F(SettingsFileTest, AFilmChoiceNoValueNamesReadsAsItsDefault) {
    const std::string long_list = [] {
        std::string list;
        for (char first = 'a'; first <= 'z'; ++first) {
            list += std::string(",") + first + "a," + first + "b";
        }
        return list;
    }();
    const std::pair<std::string, std::string> rows[] = {
        {"PreferredLanguages", "fra,en-GB"},
        {"PreferredLanguages", "fra;eng"},
        {"PreferredLanguages", "f"},
        {"PreferredLanguages", "fren"},
        {"PreferredLanguages", "fr\xC3\xA9"},
        {"PreferredLanguages", long_list},
        {"PreferredLanguages", ","},
        {"Subtitles", "never"},
        {"Subtitles", ""},
        {"Subtitles", "1"},
        {"Crop", "on"},
        {"Crop", "0"},
        {"Fill", "yes"},
        {"VideoQuality", "best"},
        {"VideoQuality", "3"},
        {"VideoQuality", "device"},
        {"PictureSize", "640x480"},
        {"PictureSize", "screen tv"},
    };
    const AppSettings defaults = loaded();
    for (const auto& [key, value] : rows) {
        EXPECT_EQ(load_text("[Common]\n" + key + "=" + value + "\n"), defaults)
            << key << "=" << value;
    }
}

TEST_F(SettingsFileTest, DamagedFilesGiveDefaultsAndSurviveASave) {
    const std::string damaged = std::string("\x00\x01\xFE junk\nTopmost=1\n[Common]\n", 28) +
                                std::string(100000, 'z') + "\n";
    AppSettings settings = load_text(damaged);
    EXPECT_EQ(settings.stay_on_top, 0) << "a key outside any section does not count";
    settings.stay_on_top = 1;
    ASSERT_EQ(save_settings(settings, location_), std::nullopt);
    EXPECT_TRUE(on_disk().starts_with(damaged));
    EXPECT_EQ(loaded().stay_on_top, 1);

    fs::remove(location_.config_file());
    fs::create_directory(location_.config_file());
    EXPECT_EQ(loaded().device_index, 0);
    EXPECT_TRUE(save_settings(settings, location_)) << "a folder in the file's place stays";
}

TEST_F(SettingsFileTest, FoldersRoundTripUncutUnlessNoLineCanCarryThem) {
    AppSettings settings;
    for (const std::string& folder : {"/" + std::string(600, 'v') + "/", std::string("/ 视频/")}) {
        settings.output_folder = folder;
        ASSERT_EQ(save_settings(settings, location_), std::nullopt);
        EXPECT_EQ(loaded().output_folder, folder);
    }
    settings.output_folder = "/two\nlines/";
    settings.device_index = 3;
    EXPECT_TRUE(save_settings(settings, location_));
    EXPECT_EQ(loaded().output_folder, "/ 视频/") << "the last stored folder stays";
    EXPECT_EQ(loaded().device_index, 3) << "the other keys are written";
}

TEST_F(SettingsFileTest, TheFileLivesInTheConfigHomeAndAFailedSaveSaysWhy) {
    // The process's own location follows XDG_CONFIG_HOME, else ~/.config.
    const char* saved_config = std::getenv("XDG_CONFIG_HOME");
    const char* saved_home = std::getenv("HOME");
    const std::string restore_config = saved_config ? saved_config : "";
    const std::string restore_home = saved_home ? saved_home : "";
    setenv("XDG_CONFIG_HOME", (folder_.path() / "xdg").c_str(), 1);
    EXPECT_EQ(SettingsLocation::of_this_process().config_file(),
              folder_.path().string() + "/xdg/morvane/config.ini");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", (folder_.path() / "home").c_str(), 1);
    EXPECT_EQ(SettingsLocation::of_this_process().config_file(),
              folder_.path().string() + "/home/.config/morvane/config.ini");
    saved_config ? setenv("XDG_CONFIG_HOME", restore_config.c_str(), 1)
                 : unsetenv("XDG_CONFIG_HOME");
    saved_home ? setenv("HOME", restore_home.c_str(), 1) : unsetenv("HOME");

    // The folder is made on the first save.
    AppSettings settings;
    settings.device_index = 2;
    ASSERT_EQ(save_settings(settings, location_), std::nullopt);
    EXPECT_EQ(loaded().device_index, 2);

    // A file where the folder should be, then a folder we may not write: the save says why,
    // in one line (root may write anywhere, so only the first holds for it).
    SettingsLocation blocked = location_;
    blocked.config_directory = folder_.file("a-file").string() + "/morvane/";
    { std::ofstream(folder_.file("a-file")) << "x"; }
    const std::optional<std::string> blocked_failure = save_settings(settings, blocked);
    ASSERT_TRUE(blocked_failure);
    EXPECT_NE(blocked_failure->find("Not a directory"), std::string::npos) << *blocked_failure;

    // Root writes into any folder whatever its mode: a read-only mount stands in for it.
    const bool as_root = ::geteuid() == 0;
    if (as_root &&
        ::mount("tmpfs", location_.config_directory.c_str(), "tmpfs", MS_RDONLY, "size=16k") != 0) {
        GTEST_SKIP() << "cannot mount a read-only tmpfs here: " << std::strerror(errno);
    }
    std::error_code ignored; // a read-only mount refuses the mode change too
    fs::permissions(location_.config_directory, fs::perms::owner_read | fs::perms::owner_exec,
                    ignored);
    const std::optional<std::string> failure = save_settings(settings, location_);
    if (as_root) {
        ::umount2(location_.config_directory.c_str(), MNT_DETACH);
    }
    fs::permissions(location_.config_directory, fs::perms::owner_all);
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->find(as_root ? "Read-only file system" : "Permission denied"),
              std::string::npos)
        << *failure;
    EXPECT_EQ(failure->find('\n'), std::string::npos);
}

} // namespace
} // namespace morvane
