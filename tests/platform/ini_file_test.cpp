// SPDX-License-Identifier: GPL-3.0-or-later
// The INI rules that hand-edited and older settings files rely on.
#include "platform/ini_file.h"
#include "support/temp_folder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace morvane {
namespace {

class IniFileTest : public testing::Test {
protected:
    IniFile load_text(const std::string& contents) {
        std::ofstream(path_, std::ios::binary) << contents;
        return IniFile::load(path_);
    }
    std::string on_disk() const {
        std::stringstream text;
        text << std::ifstream(path_, std::ios::binary).rdbuf();
        return text.str();
    }

    test::TempFolder folder_;
    std::string path_ = folder_.file("config.ini").string();
};

TEST_F(IniFileTest, NamesMatchWithoutCaseAndValuesLoseOuterBlanksAndQuotes) {
    const IniFile file = load_text("[common]\n  topmost =  0 \nOUTPUTFOLDER=\nQuoted=\" a \"\n"
                                   "NoEquals\n[ Other ]\nKey=other\n");
    EXPECT_EQ(file.source(), IniFile::Source::read);
    EXPECT_EQ(file.value("Common", "Topmost"), "0");
    EXPECT_EQ(file.value("Common", "OutputFolder"), "") << "present but empty is not absent";
    EXPECT_EQ(file.value("Common", "Quoted"), " a ");
    EXPECT_EQ(file.value("Common", "NoEquals"), std::nullopt);
    EXPECT_EQ(file.value("Common", "Key"), std::nullopt);
    EXPECT_EQ(file.read_string("other", "key", "none"), "other");
    EXPECT_EQ(file.read_string("Missing", "Key", "none"), "none");
}

TEST_F(IniFileTest, IntegersReadLikeTheClassicReader) {
    const IniFile file = load_text("[N]\nplain=42\nsigned=-1\nplus=+7\nsuffix=12ab\nletters=abc\n"
                                   "sign=-\nempty=\nhuge=99999999999\ntiny=-99999999999\n");
    const std::pair<const char*, int> expected[] = {
        {"plain", 42},        {"signed", -1},
        {"plus", 7},          {"suffix", 12},
        {"letters", 0},       {"sign", 0},
        {"empty", 9},         {"absent", 9},
        {"huge", 2147483647}, {"tiny", -2147483647 - 1}};
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(file.read_int("N", key, 9), value) << key;
    }
}

TEST_F(IniFileTest, FirstSectionAndFirstKeyOfANameWinForReadingAndWriting) {
    IniFile file = load_text("[Common]\nTopmost=1\ntopmost=0\n[Common]\nTopmost=0\nDevice=3\n");
    EXPECT_EQ(file.read_int("Common", "Topmost", 9), 1);
    EXPECT_EQ(file.read_int("Common", "Device", 9), 9) << "only the first section counts";
    ASSERT_TRUE(file.write_string("Common", "TOPMOST", "7"));
    ASSERT_TRUE(file.write_string("Common", "Device", "2"));
    EXPECT_EQ(file.text(), "[Common]\nTopmost=7\ntopmost=0\nDevice=2\n"
                           "[Common]\nTopmost=0\nDevice=3\n");
}

TEST_F(IniFileTest, WritingReplacesOrAddsAndKeepsEverythingElse) {
    IniFile file = IniFile::load(path_);
    EXPECT_EQ(file.source(), IniFile::Source::missing);
    ASSERT_TRUE(file.write_string("Common", "Topmost", "1"));
    ASSERT_TRUE(file.save());
    EXPECT_EQ(on_disk(), "[Common]\nTopmost=1\n");

    file = load_text("; by hand\nStray=1\n[Window]\nLeft=10\n\n"
                     "[Common]\n# folder\nOutputFolder=/old/\n\n[Last]\nX=1");
    ASSERT_TRUE(file.write_string("Common", "OutputFolder", "/new/"));
    ASSERT_TRUE(file.write_int("Common", "DeviceIndex", 4));
    ASSERT_TRUE(file.write_string("Last", "Y", "2"));
    ASSERT_TRUE(file.write_string("New", "Z", "3"));
    ASSERT_TRUE(file.save());
    EXPECT_EQ(on_disk(), "; by hand\nStray=1\n[Window]\nLeft=10\n\n"
                         "[Common]\n# folder\nOutputFolder=/new/\nDeviceIndex=4\n\n"
                         "[Last]\nX=1\nY=2\n\n[New]\nZ=3\n");
}

TEST_F(IniFileTest, CrLfFilesReadAndStayCrLf) {
    IniFile file = load_text("\xEF\xBB\xBF[Common]\r\nTopmost=0\r\n");
    EXPECT_EQ(file.read_int("Common", "Topmost", 1), 0);
    ASSERT_TRUE(file.write_string("Common", "Shutdown", "1"));
    EXPECT_EQ(file.text(), "\xEF\xBB\xBF[Common]\r\nTopmost=0\r\nShutdown=1\r\n");
}

TEST_F(IniFileTest, AnyValueALineCanCarryRoundTripsAndNoOtherIsWritten) {
    const std::vector<std::string> values = {"/home/u/My Videos/", " leading", "trailing\t",
                                             "\"quoted\"",         "'single'", "\"",
                                             "/home/u/视频/",      "a=b;c#d",  ""};
    IniFile file = IniFile::load(path_);
    for (size_t i = 0; i < values.size(); ++i) {
        ASSERT_TRUE(file.write_string("S", "k" + std::to_string(i), values[i]));
    }
    ASSERT_TRUE(file.save());
    const IniFile reread = IniFile::load(path_);
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(reread.value("S", "k" + std::to_string(i)), values[i]) << i;
    }

    const std::string before = file.text();
    EXPECT_FALSE(file.write_string("S", "k0", "two\nlines"));
    EXPECT_FALSE(file.write_string("S", "k0", std::string("nul\0", 4)));
    EXPECT_FALSE(file.write_string("S", "a=b", "v"));
    EXPECT_EQ(file.text(), before);
}

TEST_F(IniFileTest, DamagedContentIsReadAroundAndKeptOnSave) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) {
        garbage += static_cast<char>((i * 131 + 7) % 256); // no "\r\n" in it
    }
    const std::string long_folder = "/" + std::string(5000, 'f') + "/";
    const std::string damaged = garbage + "\n[Common\nTopmost=0\n" + std::string("\0\0=\0", 4) +
                                "\n[Common]\n" + std::string(200000, 'x') +
                                "\nOutputFolder=" + long_folder + "\n\xFF\xFE=\x80\n";
    IniFile file = load_text(damaged);
    EXPECT_EQ(file.read_string("Common", "OutputFolder", ""), long_folder);
    EXPECT_EQ(file.read_int("Common", "Topmost", 1), 1);
    ASSERT_TRUE(file.write_string("Common", "Topmost", "0"));
    ASSERT_TRUE(file.save());
    EXPECT_EQ(on_disk(), damaged + "Topmost=0\n");
}

TEST_F(IniFileTest, APipeInTheFilesPlaceIsUnreadableRatherThanAWaitForEver) {
    ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
    IniFile file = IniFile::load(path_);
    EXPECT_EQ(file.source(), IniFile::Source::unreadable);
    ASSERT_TRUE(file.write_string("Common", "Topmost", "0"));
    EXPECT_FALSE(file.save()) << "what could not be read is not replaced";
}

} // namespace
} // namespace morvane
