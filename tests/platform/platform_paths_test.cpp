// SPDX-License-Identifier: GPL-3.0-or-later
// The executable's folder, the program's data folder and the user's data folders.
#include "platform/program_folder.h"
#include "platform/user_environment.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(ModuleDirectory, IsTheAbsoluteFolderHoldingThisExecutable) {
    const std::string folder = program_folder();
    ASSERT_TRUE(folder.starts_with('/') && folder.ends_with('/')) << folder;
    bool found = false;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::error_code error;
        found = found || std::filesystem::equivalent(entry.path(), "/proc/self/exe", error);
    }
    EXPECT_TRUE(found);
}

TEST(DataFolder, IsTheProgramFolderInABuildTreeElseTheInstalledShareFolder) {
    test::TempFolder root;
    const std::string prefix = root.path().string() + "/";
    struct Case {
        std::string skins; // created, unless empty
        std::string program;
        std::string installed_relative;
        std::string expected;
    };
    const Case cases[] = {
        {"build/bin/Skins", "build/bin/", "../../share/morvane", "build/bin/"},
        {"usr/share/morvane/Skins", "usr/lib/morvane/", "../../share/morvane",
         "usr/share/morvane/"},
        {"usr/share/morvane/Skins", "usr/lib/x86_64-linux-gnu/morvane/", "../../../share/morvane/",
         "usr/share/morvane/"},
        // Nothing found anywhere: the installed folder, where the missing skin is reported.
        {"", "opt/lib/morvane/", "../../share/morvane", "opt/share/morvane/"},
        {"", "opt/morvane/", "", "opt/morvane/"}};
    for (const Case& c : cases) {
        if (!c.skins.empty()) {
            std::filesystem::create_directories(prefix + c.skins);
        }
        EXPECT_EQ(data_folder(prefix + c.program, c.installed_relative), prefix + c.expected)
            << c.program;
    }
}

TEST(UserEnvironment, DataAndConfigHomesFollowTheBaseDirectoryRules) {
    const std::pair<UserEnvironment, std::string> cases[] = {
        {{"/data/share//", "/home/u", "/tmp", ""}, "/data/share/Morvane/"},
        {{"", "/home/u/", "/tmp", ""}, "/home/u/.local/share/Morvane/"},
        {{"relative/share", "/home/u", "/tmp", ""}, "/home/u/.local/share/Morvane/"},
        {{"", "", "/var/tmp", ""}, "/var/tmp/Morvane/"},
        {{"", "", "", ""}, "/tmp/Morvane/"},
        {{"/", "", "", ""}, "/Morvane/"}};
    for (const auto& [environment, expected] : cases) {
        EXPECT_EQ(environment.default_output_folder(), expected);
    }
    // The config home follows the same rules, with its own variable.
    const std::pair<UserEnvironment, std::string> config_cases[] = {
        {{"", "/home/u", "/tmp", "/etc/xdg//"}, "/etc/xdg/"},
        {{"/data", "/home/u/", "/tmp", ""}, "/home/u/.config/"},
        {{"", "/home/u", "/tmp", "relative"}, "/home/u/.config/"},
        {{"", "", "/var/tmp", ""}, "/var/tmp/"}};
    for (const auto& [environment, expected] : config_cases) {
        EXPECT_EQ(environment.config_home(), expected);
    }
    EXPECT_TRUE(UserEnvironment::of_this_process().home.starts_with('/'));
}

} // namespace
} // namespace morvane
