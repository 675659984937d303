// SPDX-License-Identifier: GPL-3.0-or-later
// Stand-in players in temporary folders: what a root says it is, and files sent to a PSP's
// memory stick, landing or failing with nothing left behind.
#include "players/player_root.h"
#include "players/psp_sender.h"
#include "support/temp_folder.h"

#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <set>
#include <sstream>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace morvane {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

void write_file(const fs::path& path, const std::string& contents) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
}

std::set<std::string> names_in(const fs::path& folder) {
    std::set<std::string> names;
    if (fs::is_directory(folder)) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.insert(entry.path().filename().string());
        }
    }
    return names;
}

TEST(PlayerRoot, TellsPlayersByTheirRootAndNeverTrustsSysInfo) {
    struct Case {
        const char* layout;
        std::function<void(const fs::path&)> make;
        std::optional<PlayerKind> kind;
        std::string model_number;
    };
    const std::string sysinfo = "iPod_Control/Device/SysInfo";
    const std::vector<Case> cases = {
        {"an ordinary folder", [](const fs::path& root) { write_file(root / "a.mp3", "x"); },
         std::nullopt, ""},
        {"a memory stick", [](const fs::path& root) { fs::create_directories(root / "PSP/GAME"); },
         PlayerKind::psp, ""},
        {"an iPod",
         [&](const fs::path& root) {
             write_file(root / sysinfo, "BoardHwName: iPod Q98\r\nModelNumStr: xA623\r\n"
                                        "pszSerialNumber: 8K1234\r\n");
         },
         PlayerKind::ipod, "xA623"},
        {"an iPod without SysInfo",
         [](const fs::path& root) { fs::create_directories(root / "iPod_Control/Music"); },
         PlayerKind::ipod, ""},
        {"a SysInfo of garbage",
         [&](const fs::path& root) {
             write_file(root / sysinfo, std::string("ModelNumStr: \xff\x01\0A\n", 17) +
                                            std::string(200000, '\xee'));
         },
         PlayerKind::ipod, ""},
        {"a SysInfo that is a FIFO",
         [&](const fs::path& root) {
             fs::create_directories(root / "iPod_Control/Device");
             ::mkfifo((root / sysinfo).c_str(), 0600);
         },
         PlayerKind::ipod, ""},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.layout);
        test::TempFolder folder;
        row.make(folder.path());
        const std::optional<PlayerRoot> root = find_player_root(folder.path().string());
        ASSERT_EQ(root.has_value(), row.kind.has_value());
        if (root) {
            EXPECT_EQ(root->kind, *row.kind);
            EXPECT_EQ(root->model_number, row.model_number);
            EXPECT_EQ(root->path, folder.path().string() + "/");
        }
    }
    EXPECT_FALSE(find_player_root("/no/such/player"));
}

class PspStick : public testing::Test {
protected:
    PspStick() { fs::create_directories(stick.path() / "PSP"); }
    std::string source(const std::string& name, const std::string& contents) {
        write_file(outputs.file(name), contents);
        return outputs.file(name).string();
    }
    test::TempFolder outputs;
    test::TempFolder stick;
};

TEST_F(PspStick, FilesLandInTheirFoldersUnderSafeNamesAndNeverReplaceAnything) {
    struct Case {
        std::string name;
        SentMedia media;
        std::string landed; // under the stick's root
    };
    const std::string long_name = "x" + [] {
        std::string accents;
        for (int k = 0; k < 120; ++k) {
            accents += "\xc3\xa9"; // é: the cut must not split it
        }
        return accents;
    }();
    const std::vector<Case> cases = {
        {"film.mp4", SentMedia::video, "VIDEO/film.mp4"},
        {"film.mp4", SentMedia::video, "VIDEO/film_0.mp4"}, // the first stays as it was
        {"song.mp3", SentMedia::sound, "MUSIC/song.mp3"},
        {"a:b*c?\"d<e>f|g\\h\x01.mp4", SentMedia::video, "VIDEO/a_b_c__d_e_f_g_h_.mp4"},
        {" .dotted. .mp3", SentMedia::sound, "MUSIC/dotted.mp3"},
        {"bad\xff\xc3utf8.mp3", SentMedia::sound, "MUSIC/bad__utf8.mp3"},
        {"...mp3", SentMedia::sound, "MUSIC/untitled.mp3"},
        {long_name + ".mp4", SentMedia::video, "VIDEO/" + long_name.substr(0, 195) + ".mp4"},
    };
    PspSender sender(stick.path().string());
    int count = 0;
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        const std::string contents = "file " + std::to_string(count);
        const std::string path = source("output" + std::to_string(count++), contents);
        const SendOutcome outcome = sender.send(path, row.name, row.media);
        ASSERT_TRUE(outcome.sent()) << outcome.reason;
        EXPECT_EQ(outcome.reason, "");
        EXPECT_EQ(outcome.landed_path, (stick.path() / row.landed).string());
        EXPECT_EQ(read_file(outcome.landed_path), contents);
        EXPECT_EQ(read_file(path), contents); // the output folder keeps its copy
    }
    EXPECT_EQ(read_file(stick.path() / "VIDEO/film.mp4"), "file 0");
    for (const char* folder : {"VIDEO", "MUSIC"}) {
        for (const std::string& name : names_in(stick.path() / folder)) {
            EXPECT_NE(name.front(), '.') << "left on the stick: " << name;
        }
    }
}

TEST_F(PspStick, AFailedSendSaysWhyAndLeavesNothingOnTheStick) {
    const std::string film = source("film.mp4", std::string(300000, 'v'));
    struct Case {
        const char* what;
        bool needs_file_modes; // root writes whatever the modes say
        std::function<void(const fs::path& video)> spoil;
        std::string reason;
        bool in_a_child = false; // limits that must not reach the test itself
    };
    const std::vector<Case> cases = {
        {"VIDEO is a file", false, [](const fs::path& video) { write_file(video, "x"); },
         "Not a directory"},
        {"VIDEO is read-only", true,
         [](const fs::path& video) {
             fs::create_directories(video);
             fs::permissions(video, fs::perms::owner_read | fs::perms::owner_exec);
         },
         "Permission denied"},
        // A write refused mid-copy, as when the stick fills up or is pulled out.
        {"the copy breaks off", false, [](const fs::path&) {}, "File too large", true},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        if (row.needs_file_modes && ::geteuid() == 0) {
            std::cout << "[ skipped  ] " << row.what << ": root ignores file modes\n";
            continue;
        }
        test::TempFolder player;
        fs::create_directories(player.path() / "PSP");
        const fs::path video = player.path() / "VIDEO";
        row.spoil(video);
        PspSender sender(player.path().string());
        if (row.in_a_child) {
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{100000, 100000};
                ::setrlimit(RLIMIT_FSIZE, &limit);
                const SendOutcome outcome = sender.send(film, "film.mp4", SentMedia::video);
                ::_exit(!outcome.sent() && outcome.reason.find(row.reason) != std::string::npos
                            ? 0
                            : 1);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        } else {
            const SendOutcome outcome = sender.send(film, "film.mp4", SentMedia::video);
            EXPECT_FALSE(outcome.sent());
            EXPECT_NE(outcome.reason.find(row.reason), std::string::npos) << outcome.reason;
        }
        if (fs::is_directory(video)) {
            EXPECT_EQ(names_in(video), std::set<std::string>{});
            fs::permissions(video, fs::perms::owner_all);
        }
        // The rest of the stick still takes files.
        EXPECT_TRUE(sender.send(source("song.mp3", "s"), "song.mp3", SentMedia::sound).sent());
    }
}

// A stick too small for a file: only root may mount a small tmpfs to stand in for it.
TEST_F(PspStick, AFullStickRefusesTheFileBeforeWritingAndTakesWhatFits) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "a full stick needs a tmpfs mount, which needs root";
    }
    const fs::path mount_point = stick.path() / "mounted";
    fs::create_directories(mount_point);
    if (::mount("tmpfs", mount_point.c_str(), "tmpfs", 0, "size=256k") != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    }
    struct Unmount {
        fs::path path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mount_point};
    fs::create_directories(mount_point / "PSP");
    PspSender sender(mount_point.string());

    const SendOutcome refused =
        sender.send(source("big.mp4", std::string(400000, 'b')), "big.mp4", SentMedia::video);
    EXPECT_FALSE(refused.sent());
    EXPECT_NE(refused.reason.find("not enough space on the player"), std::string::npos)
        << refused.reason;
    EXPECT_EQ(names_in(mount_point / "VIDEO"), std::set<std::string>{});

    const SendOutcome landed =
        sender.send(source("small.mp4", std::string(50000, 's')), "small.mp4", SentMedia::video);
    EXPECT_TRUE(landed.sent()) << landed.reason;
    EXPECT_EQ(names_in(mount_point / "VIDEO"), std::set<std::string>{"small.mp4"});
}

} // namespace
} // namespace morvane
