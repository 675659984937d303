// SPDX-License-Identifier: GPL-3.0-or-later
// Stand-in players in temporary folders: what a root says it is, files sent to a PSP's
// memory stick, landing or failing with nothing left behind, and converted files added to an
// iPod's database (laid out and read back by libgpod itself).
#include "engine/engine.h"
#include "jobs/conversion_job.h"
#include "jobs/device_table.h"
#include "jobs/output_mark.h"
#include "jobs/sent_media.h"
#include "jobs/tag_file.h"
#include "players/ipod_journal.h"
#include "players/ipod_sender.h"
#include "players/mount_table.h"
#include "players/player_model_name.h"
#include "players/player_root.h"
#include "players/psp_sender.h"
#include "standin_ipod.h"
#include "support/file_size_limit.h"
#include "support/media_info.h"
#include "support/media_presets.h"
#include "support/media_writer.h"
#include "support/small_disk.h"
#include "support/stream_decoder.h"
#include "support/temp_folder.h"

#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <linux/fs.h>
#include <map>
#include <set>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace morvane {
namespace {

namespace fs = std::filesystem;

using test::names_in;
using test::read_file;

// A converted file as the batch hands it to a player.
FileToSend sendable(const std::string& path, const std::string& name, SentMedia media) {
    FileToSend file;
    file.path = path;
    file.name = name;
    file.media = media;
    return file;
}

void write_file(const fs::path& path, const std::string& contents) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
}

TEST(PlayerRoot, TellsPlayersByTheirRootAndNeverTrustsSysInfo) {
    struct Case {
        const char* layout;
        std::function<void(const fs::path&)> make;
        std::optional<PlayerKind> kind;
        std::string model_number;
        std::string shown_as = ""; // what the window calls it
    };
    const std::string sysinfo = "iPod_Control/Device/SysInfo";
    const std::vector<Case> cases = {
        {"an ordinary folder", [](const fs::path& root) { write_file(root / "a.mp3", "x"); },
         std::nullopt, ""},
        {"a memory stick", [](const fs::path& root) { fs::create_directories(root / "PSP/GAME"); },
         PlayerKind::psp, "", "PSP"},
        {"an iPod",
         [&](const fs::path& root) {
             write_file(root / sysinfo, "BoardHwName: iPod Q98\r\nModelNumStr: xA623\r\n"
                                        "pszSerialNumber: 8K1234\r\n");
         },
         PlayerKind::ipod, "xA623", "iPod touch"},
        {"an iPod classic",
         [&](const fs::path& root) { write_file(root / sysinfo, "ModelNumStr: MB029\n"); },
         PlayerKind::ipod, "MB029", "iPod classic"},
        {"an iPod without SysInfo",
         [](const fs::path& root) { fs::create_directories(root / "iPod_Control/Music"); },
         PlayerKind::ipod, "", "iPod"},
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
            if (!row.shown_as.empty()) {
                EXPECT_EQ(player_model_name(*root), row.shown_as);
            }
        }
    }
    EXPECT_FALSE(find_player_root("/no/such/player"));
}

TEST(MountTable, ReadsMountPointsAsTheKernelEscapesThemAndLooksOnlyAtRemovableKinds) {
    // Optional fields vary in number; names with spaces or backslashes come escaped; the
    // last line has no line break.
    const std::string table =
        "22 28 0:21 / /proc rw,nosuid shared:13 - proc proc rw\n"
        "95 30 8:17 / /media/alex/Alex\\040s\\134iPod rw,nosuid master:1 shared:50 - vfat "
        "/dev/sdb1 rw,uid=1000\n"
        "not a line the kernel writes\n"
        "96 30 8:33 / /media/alex/STICK rw - exfat /dev/sdc1 rw\n"
        "97 30 0:50 / /mnt/nas rw shared:7 - nfs4 server:/ rw";
    const std::vector<MountedFileSystem> mounts = parse_mountinfo(table);
    ASSERT_EQ(mounts.size(), 4u);
    EXPECT_EQ(mounts[1].mount_point, "/media/alex/Alex s\\iPod");
    EXPECT_EQ(mounts[1].type, "vfat");
    EXPECT_EQ(mounts[2].mount_point, "/media/alex/STICK");
    EXPECT_EQ(mounts[3].type, "nfs4");
    std::vector<bool> looked_at;
    for (const MountedFileSystem& mount : mounts) {
        looked_at.push_back(may_be_player_file_system(mount.type));
    }
    EXPECT_EQ(looked_at, (std::vector<bool>{false, true, true, false}));
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
        std::string landed;      // under the stick's root
        std::string folder = ""; // the input's, with the folders' layout kept
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
        {"song.mp3", SentMedia::sound, "MUSIC/Ana_Ruiz/Live/song.mp3", "Ana:Ruiz/Live. "},
        {"song.mp3", SentMedia::sound, "MUSIC/Ana_Ruiz/Live/song_0.mp3", "Ana:Ruiz//Live"},
    };
    PspSender sender(stick.path().string());
    int count = 0;
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        const std::string contents = "file " + std::to_string(count);
        const std::string path = source("output" + std::to_string(count++), contents);
        FileToSend file = sendable(path, row.name, row.media);
        file.folder = row.folder;
        const SendOutcome outcome = sender.send(file);
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

// A film lands with its thumbnail: the PSP's video browser shows the 160x120 JPEG of the same
// name; a wide film sits between black bands in it. A file that has the name already stays.
TEST_F(PspStick, AFilmLandsWithItsThumbnailBesideIt) {
    const fs::path film = outputs.file("clip.mp4");
    write_media(film, test::mp4_h264_aac(368, 208, {25, 1}, 1.0));
    write_file(stick.path() / "VIDEO/clip_0.THM", "someone else's");
    PspSender sender(stick.path().string());
    for (const char* landed : {"clip", "clip_0"}) {
        SCOPED_TRACE(landed);
        const SendOutcome outcome =
            sender.send(sendable(film.string(), "clip.mp4", SentMedia::video));
        ASSERT_TRUE(outcome.sent()) << outcome.reason;
        EXPECT_EQ(outcome.landed_path, (stick.path() / "VIDEO" / landed).string() + ".mp4");
    }
    EXPECT_EQ(read_file(stick.path() / "VIDEO/clip_0.THM"), "someone else's");
    const fs::path thumbnail = stick.path() / "VIDEO/clip.THM";
    const test::MediaInfo info = test::inspect_media(thumbnail);
    const auto& picture = info.stream(AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(picture.codec_id, AV_CODEC_ID_MJPEG);
    EXPECT_EQ(picture.width, 160);
    EXPECT_EQ(picture.height, 120);
    test::StreamDecoder decoder(thumbnail, AVMEDIA_TYPE_VIDEO);
    const test::av::FramePtr frame(av_frame_alloc());
    ASSERT_TRUE(decoder.next(*frame));
    const auto luma = [&](int x, int y) { return frame->data[0][y * frame->linesize[0] + x]; };
    EXPECT_LT(luma(80, 4), 20);   // the band above
    EXPECT_GT(luma(20, 60), 100); // the film's picture
    EXPECT_EQ(names_in(stick.path() / "VIDEO"),
              (std::set<std::string>{"clip.mp4", "clip.THM", "clip_0.mp4", "clip_0.THM"}));
    // Sound goes without.
    ASSERT_TRUE(
        sender.send(sendable(source("song.mp3", "s"), "song.mp3", SentMedia::sound)).sent());
    EXPECT_EQ(names_in(stick.path() / "MUSIC"), std::set<std::string>{"song.mp3"});
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
            EXPECT_TRUE(test::true_under_file_size_limit(100000, [&] {
                const SendOutcome outcome =
                    sender.send(sendable(film, "film.mp4", SentMedia::video));
                return !outcome.sent() && outcome.reason.find(row.reason) != std::string::npos;
            }));
        } else {
            const SendOutcome outcome = sender.send(sendable(film, "film.mp4", SentMedia::video));
            EXPECT_FALSE(outcome.sent());
            EXPECT_NE(outcome.reason.find(row.reason), std::string::npos) << outcome.reason;
        }
        if (fs::is_directory(video)) {
            EXPECT_EQ(names_in(video), std::set<std::string>{});
            fs::permissions(video, fs::perms::owner_all);
        }
        // The rest of the stick still takes files.
        EXPECT_TRUE(
            sender.send(sendable(source("song.mp3", "s"), "song.mp3", SentMedia::sound)).sent());
    }
}

// Converted files as the batch marks them: made from `source` for `target`.
std::string marked_song(const fs::path& path, const std::string& source, const std::string& target,
                        OutputMark::State state = OutputMark::State::complete) {
    test::write_media(path, test::mp3_audio(44100, 1, 0.5));
    OutputMark mark;
    mark.source = source;
    mark.target = target;
    mark.state = state;
    EXPECT_EQ(write_file_tags(path.string(), {{"TITLE", {"Tide"}}}, mark.entries()), std::nullopt);
    return path.string();
}

TEST_F(PspStick, WhatTheStickHoldsAlreadyIsNotCopiedAgain) {
    struct Case {
        const char* what;
        std::string source, target;
        OutputMark::State state;
        std::string landed; // under MUSIC/
        bool already_there;
    };
    const std::string mp3 = "mp3 mp3 44100x2";
    const std::vector<Case> cases = {
        {"a song", "2 1000 aa", mp3, OutputMark::State::complete, "tide.mp3", false},
        {"another song of that name", "2 2000 bb", mp3, OutputMark::State::complete, "tide_0.mp3",
         false},
        {"the first song made for another player", "2 1000 aa", "mp3 mp3 48000x2",
         OutputMark::State::complete, "tide_1.mp3", false},
        {"the second song again", "2 2000 bb", mp3, OutputMark::State::complete, "tide_0.mp3",
         true},
        {"the first song again", "2 1000 aa", mp3, OutputMark::State::complete, "tide.mp3", true},
        {"a song a stop cut short, sent by an earlier version", "2 3000 cc", mp3,
         OutputMark::State::stopped, "tide_2.mp3", false},
        {"that song whole", "2 3000 cc", mp3, OutputMark::State::complete, "tide_3.mp3", false},
    };
    PspSender sender(stick.path().string());
    int count = 0;
    const auto song = [&](const Case& row) {
        FileToSend file =
            sendable(marked_song(outputs.file("out" + std::to_string(count++) + ".mp3"), row.source,
                                 row.target, row.state),
                     "tide.mp3", SentMedia::sound);
        file.source = row.source;
        file.target = row.target;
        return file;
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        const SendOutcome outcome = sender.send(song(row));
        EXPECT_EQ(outcome.landed_path, (stick.path() / "MUSIC" / row.landed).string())
            << outcome.reason;
        EXPECT_EQ(outcome.already_there, row.already_there);
    }
    EXPECT_EQ(names_in(stick.path() / "MUSIC").size(), 5u);

    // The first song removed from the stick: the second is still found past the gap, and the
    // first goes again.
    fs::remove(stick.path() / "MUSIC/tide.mp3");
    EXPECT_TRUE(sender.send(song(cases[1])).already_there);
    EXPECT_EQ(sender.send(song(cases[0])).landed_path, (stick.path() / "MUSIC/tide.mp3").string());
}

// Only root may mount the small tmpfs disks that stand in for sticks here.
TEST_F(PspStick, AStickThatTakesNoFileIsRefusedBeforeAnythingConvertsAndAPulledOutOneGetsNothing) {
    struct Case {
        const char* what;
        std::function<void(test::SmallDisk& disk, const fs::path& root)> spoil;
        std::string refusal;
    };
    const std::vector<Case> cases = {
        {"a read-only stick",
         [](test::SmallDisk& disk, const fs::path&) {
             EXPECT_EQ(disk.make_read_only(), std::nullopt);
         },
         "the memory stick is read-only (mounted read-only, or its lock switch is on)"},
        {"a full stick",
         [](test::SmallDisk&, const fs::path& root) {
             write_file(root / "filler", std::string(fs::space(root).available - 40 * 1024, 'f'));
         },
         "the player is full (0.04 MB free)"},
        {"a stick pulled out",
         [](test::SmallDisk&, const fs::path& root) { test::SmallDisk::pull_out(root); },
         "the player was disconnected"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        test::SmallDisk disk(stick.path() / "disk", "256k");
        if (!disk.unavailable().empty()) {
            GTEST_SKIP() << disk.unavailable();
        }
        // Mounted where its user chose, as a file manager mounts it.
        const fs::path root = stick.path() / "STICK";
        ASSERT_EQ(disk.show_at(root), std::nullopt);
        fs::create_directories(root / "PSP");
        PspSender opened_before(root.string());
        ASSERT_EQ(opened_before.refusal(), "");
        row.spoil(disk, root);

        const FileToSend song = sendable(source("song.mp3", "s"), "song.mp3", SentMedia::sound);
        EXPECT_FALSE(opened_before.send(song).sent());
        PspSender opened_after(root.string());
        EXPECT_EQ(opened_after.refusal(), row.refusal);
        EXPECT_EQ(opened_after.send(song).reason, row.refusal);
        // Nothing is left on the stick, nor on the bare folder a pulled-out one leaves.
        EXPECT_FALSE(fs::exists(root / "MUSIC"));
        EXPECT_FALSE(fs::exists(disk.path() / "MUSIC"));
    }
}

// A stick too small for a file: only root may mount a small tmpfs to stand in for it.
TEST_F(PspStick, AFullStickRefusesTheFileBeforeWritingAndTakesWhatFits) {
    const test::SmallDisk disk(stick.path() / "mounted", "256k");
    if (!disk.unavailable().empty()) {
        GTEST_SKIP() << disk.unavailable();
    }
    const fs::path& mount_point = disk.path();
    fs::create_directories(mount_point / "PSP");
    PspSender sender(mount_point.string());

    const SendOutcome refused = sender.send(
        sendable(source("big.mp4", std::string(400000, 'b')), "big.mp4", SentMedia::video));
    EXPECT_FALSE(refused.sent());
    EXPECT_NE(refused.reason.find("not enough space on the player"), std::string::npos)
        << refused.reason;
    EXPECT_EQ(names_in(mount_point / "VIDEO"), std::set<std::string>{});

    const SendOutcome landed = sender.send(
        sendable(source("small.mp4", std::string(50000, 's')), "small.mp4", SentMedia::video));
    EXPECT_TRUE(landed.sent()) << landed.reason;
    EXPECT_EQ(names_in(mount_point / "VIDEO"), std::set<std::string>{"small.mp4"});
}

// Every file under `root` with its bytes, but Morvane's backups of the iPod's databases: what
// "left as it was" compares.
std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = entry.path().lexically_relative(root).string();
        if (entry.is_regular_file() && name.find(".morvane-backup") == std::string::npos) {
            files[name] = read_file(entry.path());
        }
    }
    return files;
}

// The names of the files that differ between two snapshots.
std::set<std::string> changed(const std::map<std::string, std::string>& before,
                              const std::map<std::string, std::string>& after) {
    std::set<std::string> names;
    for (const auto& [one, other] : {std::pair{&before, &after}, std::pair{&after, &before}}) {
        for (const auto& [name, contents] : *one) {
            const auto found = other->find(name);
            if (found == other->end() || found->second != contents) {
                names.insert(name);
            }
        }
    }
    return names;
}

// The copies in an iPod's music folders.
std::set<std::string> music_files(const fs::path& root) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root / "iPod_Control/Music")) {
        if (!entry.is_directory()) {
            files.insert(entry.path().string());
        }
    }
    return files;
}

// Sets or clears a file's immutable attribute, which binds root too; false where the file
// system has none.
bool set_immutable(const fs::path& path, bool immutable) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    bool done = descriptor >= 0 && ::ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0;
    flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ::ioctl(descriptor, FS_IOC_SETFLAGS, &flags) == 0;
    if (descriptor >= 0) {
        ::close(descriptor);
    }
    return done;
}

class Ipod : public testing::Test {
protected:
    // A converted film and a converted song (with a cover and every tag a library shows), as
    // the batch hands them to a player.
    Ipod() {
        const DeviceTable devices = device_table("/nowhere/");
        for (const DeviceProfile& device : devices) {
            if (device.display_name == "iPod classic") {
                classic = device;
            }
        }
        auto film_input = test::mp4_h264_aac(160, 120, {25, 1}, 2.0);
        film_input.tags = {{"title", "Harbour Lights"},
                           {"artist", "Ana Ruiz"},
                           {"album", "Short Films"},
                           {"track", "2/9"}};
        auto song_input = test::mp3_with_cover_art(3.0);
        song_input.tags = {{"title", "Sea Song"},
                           {"artist", "The Pier"},
                           {"album", "Tides"},
                           {"album_artist", "Harbour Choir"},
                           {"composer", "Jo Marsh"},
                           {"genre", "Folk"},
                           {"date", "1997-05-03"},
                           {"track", "7/12"},
                           {"disc", "1/2"},
                           {"compilation", "1"},
                           {"TITLESORT", "Song, Sea"},
                           {"ARTISTSORT", "Pier, The"},
                           {"ALBUMSORT", "Tides, The"},
                           {"ALBUMARTISTSORT", "Choir, Harbour"},
                           {"COMPOSERSORT", "Marsh, Jo"},
                           {"REPLAYGAIN_TRACK_GAIN", "-3.20 dB"}};
        test::write_media(inputs.file("film.mkv"), film_input);
        test::write_media(inputs.file("song.mp3"), song_input);
        film = converted("film.mkv", outputs.path());
        song = converted("song.mp3", outputs.path());
    }

    FileToSend converted(const std::string& input, const fs::path& folder) {
        fs::create_directories(folder);
        struct Quiet : ProgressSink {
            bool on_progress(int) override { return true; }
        } sink;
        const JobOutcome outcome =
            job.convert_one(inputs.file(input).string(), classic, folder.string() + "/", &sink);
        // The MP3 plays on the iPod as it is: it is copied, the film converted.
        const bool sound = fs::path(input).extension() == ".mp3";
        EXPECT_EQ(outcome.status, sound ? JobStatus::copied : JobStatus::converted)
            << outcome.reason;
        return file_to_send(outcome);
    }

    // A copy of the song that says nothing of itself (no tags, no mark) but its cover: a
    // track of its own each time, named after the name it is sent under.
    FileToSend untitled_song(const std::string& copy, const std::string& name) {
        const fs::path path = outputs.file(copy);
        fs::copy_file(song.path, path, fs::copy_options::overwrite_existing);
        EXPECT_EQ(write_file_tags(path.string(), {}, {}), std::nullopt);
        return sendable(path.string(), name, SentMedia::sound);
    }

    // A classic signs its database with a key made from its FireWire ID: the writes here
    // are signed as on a real one.
    std::string classic_with_an_earlier_track() {
        const std::string root = ipod.path().string();
        EXPECT_EQ(test::make_standin_ipod(root, "MB029", "0x000A27001A2B3C4D"), std::nullopt);
        write_file(inputs.file("earlier.mp3"), std::string(4096, 'e'));
        EXPECT_EQ(test::add_track_to_standin(root, inputs.file("earlier.mp3").string(), "Earlier"),
                  std::nullopt);
        return root;
    }

    Engine engine;
    ConversionJob job{engine};
    DeviceProfile classic;
    test::TempFolder inputs, outputs, ipod;
    FileToSend film, song;
};

TEST_F(Ipod, ConvertedFilesJoinItsLibraryWholeAndOnceAndEarlierTracksStay) {
    ASSERT_FALSE(film.path.empty());
    ASSERT_FALSE(song.path.empty());
    const std::string root = classic_with_an_earlier_track();
    const auto earlier = test::read_standin_tracks(root);
    ASSERT_TRUE(earlier && earlier->size() == 1);
    const std::string database = root + "/iPod_Control/iTunes/iTunesDB";
    const std::string database_before = read_file(database);

    SendOutcome film_sent, song_sent;
    {
        IpodSender sender(root);
        ASSERT_EQ(sender.refusal(), "");
        // From two converter threads at once, as morvane-convert sends.
        std::thread other([&] { film_sent = sender.send(film); });
        song_sent = sender.send(song);
        other.join();
        ASSERT_TRUE(film_sent.sent() && film_sent.pending) << film_sent.reason;
        ASSERT_TRUE(song_sent.sent() && song_sent.pending) << song_sent.reason;
        // Another input of the same content in the same batch shares the song's copy.
        const SendOutcome twice = sender.send(song);
        EXPECT_TRUE(twice.pending && !twice.already_there);
        EXPECT_EQ(twice.landed_path, song_sent.landed_path);
        EXPECT_EQ(read_file(database), database_before) << "written before the batch ended";
        ASSERT_EQ(sender.finish().failure, std::nullopt);
        EXPECT_EQ(read_file(database + ".morvane-backup"), database_before);
        // The batch is over: nothing more is added to a database already written.
        EXPECT_FALSE(sender.send(song).sent());
    }

    auto tracks = test::read_standin_tracks(root);
    ASSERT_TRUE(tracks);
    ASSERT_EQ(tracks->size(), 3u);
    std::map<std::string, test::IpodTrack> by_title;
    for (const auto& track : *tracks) {
        by_title[track.title] = track;
        EXPECT_TRUE(track.in_main_playlist) << track.title;
        EXPECT_TRUE(fs::is_regular_file(track.file)) << track.file;
        EXPECT_EQ(track.file.rfind(root + "/iPod_Control/Music/", 0), 0u) << track.file;
    }
    EXPECT_EQ(by_title.at("Earlier").file, earlier->front().file);
    EXPECT_EQ(by_title.at("Earlier").size, earlier->front().size);

    struct Expected {
        std::string title, artist, album, landed, source;
        int track_number;
        std::uint32_t media_type;
        double seconds;
        bool artwork;
    };
    const std::vector<Expected> expected = {
        {"Harbour Lights", "Ana Ruiz", "Short Films", film_sent.landed_path, film.path, 2,
         test::movie_media_type(), 2.0, false},
        {"Sea Song", "The Pier", "Tides", song_sent.landed_path, song.path, 7,
         test::audio_media_type(), 3.0, true},
    };
    for (const Expected& row : expected) {
        SCOPED_TRACE(row.title);
        const test::IpodTrack& track = by_title.at(row.title);
        EXPECT_EQ(track.artist, row.artist);
        EXPECT_EQ(track.album, row.album);
        EXPECT_EQ(track.track_number, row.track_number);
        EXPECT_EQ(track.media_type, row.media_type);
        EXPECT_NEAR(track.length_ms, row.seconds * 1000, 150);
        EXPECT_EQ(track.file, row.landed);
        EXPECT_EQ(track.size, fs::file_size(row.source));
        EXPECT_EQ(read_file(track.file), read_file(row.source));
        EXPECT_EQ(track.has_artwork, row.artwork);
    }
    // What the iPod's menus sort and group by, and its volume levelled by Sound Check
    // (1000 * 10^(3.2 / 10) for a track gain of -3.20 dB).
    const test::IpodTrack& sea = by_title.at("Sea Song");
    EXPECT_EQ(sea.album_artist, "Harbour Choir");
    EXPECT_EQ(sea.composer, "Jo Marsh");
    EXPECT_EQ(sea.genre, "Folk");
    EXPECT_EQ(sea.year, 1997);
    EXPECT_EQ(sea.track_total, 12);
    EXPECT_EQ(sea.disc_number, 1);
    EXPECT_EQ(sea.disc_total, 2);
    EXPECT_TRUE(sea.compilation);
    EXPECT_EQ(sea.sort_title, "Song, Sea");
    EXPECT_EQ(sea.sort_artist, "Pier, The");
    EXPECT_EQ(sea.sort_album, "Tides, The");
    EXPECT_EQ(sea.sort_album_artist, "Choir, Harbour");
    EXPECT_EQ(sea.sort_composer, "Marsh, Jo");
    EXPECT_EQ(sea.sound_check, 2089u);

    // The same album again, converted into another folder: the iPod holds it already.
    const FileToSend song_again = converted("song.mp3", outputs.path() / "again");
    IpodSender again(root);
    for (const auto& [file, landed] : std::vector<std::pair<FileToSend, std::string>>{
             {film, film_sent.landed_path}, {song_again, song_sent.landed_path}}) {
        const SendOutcome outcome = again.send(file);
        EXPECT_TRUE(outcome.already_there) << outcome.reason;
        EXPECT_FALSE(outcome.pending);
        EXPECT_EQ(outcome.landed_path, landed);
    }
    EXPECT_EQ(again.finish().failure, std::nullopt);
    tracks = test::read_standin_tracks(root);
    ASSERT_TRUE(tracks);
    EXPECT_EQ(tracks->size(), 3u);
}

TEST_F(Ipod, AShuffleTakesSoundOnlyAndKeepsThreeGenerationsOfItsDatabases) {
    const std::string root = ipod.path().string();
    ASSERT_EQ(test::make_standin_ipod(root, "MA546"), std::nullopt);
    const fs::path itunes = ipod.path() / "iPod_Control/iTunes";
    // The database, and the list a shuffle plays from.
    std::map<std::string, std::vector<std::string>> before_each_batch;
    for (int batch = 0; batch < 4; ++batch) {
        SCOPED_TRACE(batch);
        for (const char* name : {"iTunesDB", "iTunesSD"}) {
            before_each_batch[name].push_back(read_file(itunes / name));
        }
        IpodSender sender(root);
        ASSERT_EQ(sender.refusal(), "");
        if (batch == 0) {
            EXPECT_EQ(sender.send(film).reason, "this iPod plays no video");
        }
        const SendOutcome sent =
            sender.send(untitled_song("Morning_" + std::to_string(batch) + ".m4a", "Morning.m4a"));
        ASSERT_TRUE(sent.sent()) << sent.reason;
        ASSERT_EQ(sender.finish().failure, std::nullopt);
    }
    const auto tracks = test::read_standin_tracks(root);
    ASSERT_TRUE(tracks);
    ASSERT_EQ(tracks->size(), 4u);
    for (const auto& track : *tracks) {
        // Named after its source, not after the output folder's "_<n>".
        EXPECT_EQ(track.title, "Morning");
        EXPECT_EQ(track.media_type, test::audio_media_type());
    }
    for (const auto& [name, before] : before_each_batch) {
        SCOPED_TRACE(name);
        const std::string backup = (itunes / name).string() + ".morvane-backup";
        EXPECT_NE(read_file(itunes / name), before[3]) << "the last batch is not in it";
        EXPECT_EQ(read_file(backup), before[3]);
        EXPECT_EQ(read_file(backup + ".1"), before[2]);
        EXPECT_EQ(read_file(backup + ".2"), before[1]);
        EXPECT_FALSE(fs::exists(backup + ".3"));
    }
}

TEST_F(Ipod, WhatCannotBeWrittenIsRefusedAndTheIpodLeftAsItWas) {
    struct Case {
        const char* iPod;
        // False when the iPod cannot be spoilt so here (a file system without attributes).
        std::function<bool(const fs::path& root)> spoil;
        std::string reason_holds;
        std::function<void(const fs::path& root)> mend = [](const fs::path&) {};
    };
    const fs::path database = "iPod_Control/iTunes/iTunesDB";
    const auto model = [](const std::string& number) {
        return [number](const fs::path& root) {
            write_file(root / "iPod_Control/Device/SysInfo", "ModelNumStr: " + number + "\n");
            return true;
        };
    };
    const std::vector<Case> cases = {
        {"a damaged database",
         [&](const fs::path& root) {
             write_file(root / database, std::string(5000, '\x5a'));
             return true;
         },
         "cannot read the iPod's database: iPod_Control/iTunes/iTunesDB (5000 bytes) does not "
         "begin as an iTunes database does: its first bytes are 5a 5a 5a 5a, not \"mhbd\""},
        {"a database cut short",
         [&](const fs::path& root) {
             fs::resize_file(root / database, 300);
             return true;
         },
         "cannot read the iPod's database: iPod_Control/iTunes/iTunesDB is cut short: its header "
         "says "},
        {"a FIFO where the database should be",
         [&](const fs::path& root) {
             fs::remove(root / database);
             return ::mkfifo((root / database).c_str(), 0600) == 0;
         },
         "cannot read the iPod's database: iPod_Control/iTunes/iTunesDB is not a regular file"},
        {"a database that cannot be written",
         [&](const fs::path& root) {
             if (::geteuid() != 0) {
                 fs::permissions(root / database, fs::perms::owner_read);
                 return true;
             }
             return set_immutable(root / database, true);
         },
         "cannot write the iPod's database: iPod_Control/iTunes/iTunesDB: ",
         [&](const fs::path& root) {
             set_immutable(root / database, false);
             fs::permissions(root / database, fs::perms::owner_all);
         }},
        {"a classic without its FireWire ID", model("MB029"),
         "libgpod cannot sign the database of this iPod (Classic): it needs the iPod's FireWire "
         "ID"},
        {"a nano of the 6th generation", model("MC525"),
         "(Nano touch (6th Gen.)): its signature is one libgpod cannot make"},
        {"an iPod touch", model("MA623"), "closed to other programs"},
        {"no model at all",
         [](const fs::path& root) { return fs::remove(root / "iPod_Control/Device/SysInfo"); },
         "cannot tell which iPod this is"},
    };
    ASSERT_FALSE(song.path.empty());
    for (const Case& row : cases) {
        SCOPED_TRACE(row.iPod);
        test::TempFolder folder;
        const std::string root = folder.path().string();
        // A 5th generation iPod needs no signature: any model can be laid over it.
        ASSERT_EQ(test::make_standin_ipod(root, "MA002"), std::nullopt);
        if (!row.spoil(folder.path())) {
            std::cout << "[ skipped  ] " << row.iPod << ": not on this file system\n";
            continue;
        }
        const auto before = snapshot(folder.path());

        IpodSender sender(root);
        EXPECT_NE(sender.refusal().find(row.reason_holds), std::string::npos) << sender.refusal();
        const SendOutcome outcome = sender.send(song);
        EXPECT_FALSE(outcome.sent());
        EXPECT_EQ(outcome.reason, sender.refusal());
        EXPECT_EQ(sender.finish().failure, std::nullopt);
        EXPECT_EQ(changed(before, snapshot(folder.path())), std::set<std::string>{});
        row.mend(folder.path());
    }
}

// A batch killed, or an iPod pulled out, between its copies and the database that would list
// them: the next batch removes those copies, and nothing else, whatever the journal says.
TEST_F(Ipod, CopiesABatchCutShortLeftUnlistedGoWithTheNextBatchAndNothingElse) {
    const std::string root = classic_with_an_earlier_track();
    const fs::path journal = ipod.path() / IpodJournal::name;
    std::string orphan;
    {
        IpodSender cut_short(root);
        const SendOutcome sent = cut_short.send(song);
        ASSERT_TRUE(sent.pending) << sent.reason;
        orphan = sent.landed_path;
        // Two batches writing one database would each drop the other's tracks.
        EXPECT_EQ(IpodSender(root).refusal(), "another batch is sending to this iPod");
        // Its database is never written.
    }
    ASSERT_TRUE(fs::exists(orphan));

    // Lines someone else wrote: files that are not copies, or are listed, or lie elsewhere.
    const auto earlier = test::read_standin_tracks(root);
    ASSERT_TRUE(earlier && earlier->size() == 1);
    write_file(inputs.file("outside.mp3"), "keep me");
    write_file(ipod.path() / "iPod_Control/Music/F01/stray.mp3", "not ours");
    fs::create_symlink(inputs.file("outside.mp3"), ipod.path() / "iPod_Control/Music/F02/link.mp3");
    fs::create_directories(ipod.path() / "iPod_Control/Music/F03/folder.mp3");
    std::ofstream(journal, std::ios::app)
        << fs::path(earlier->front().file).lexically_relative(root).string() << "\n"
        << "iPod_Control/iTunes/iTunesDB\n"
        << "iPod_Control/Music/../iTunes/iTunesDB\n"
        << "iPod_Control/Music/F02/link.mp3\n"
        << "iPod_Control/Music/F03/folder.mp3\n"
        << inputs.file("outside.mp3").string() << "\n"
        << "../" << fs::relative(inputs.file("outside.mp3"), ipod.path()).string() << "\n"
        << std::string("\xff\0garbage", 9);
    auto before = snapshot(ipod.path());
    before.erase(fs::path(orphan).lexically_relative(root).string());
    before.erase(IpodJournal::name);

    IpodSender next(root);
    EXPECT_EQ(next.refusal(), "");
    EXPECT_FALSE(fs::exists(orphan));
    EXPECT_FALSE(fs::exists(journal));
    EXPECT_EQ(changed(before, snapshot(ipod.path())), std::set<std::string>{});
    EXPECT_EQ(read_file(inputs.file("outside.mp3")), "keep me");
    // And the song goes onto the iPod with this batch.
    EXPECT_TRUE(next.send(song).pending);
    EXPECT_EQ(next.finish().failure, std::nullopt);
    EXPECT_FALSE(fs::exists(journal));
    const auto tracks = test::read_standin_tracks(root);
    ASSERT_TRUE(tracks);
    EXPECT_EQ(tracks->size(), 2u);
}

// Only root may mount the small tmpfs disks that stand in for full iPods here.
TEST_F(Ipod, AFullIpodIsRefusedAtOnceAndAFileThatDoesNotFitIsNotCopied) {
    // A 5th generation iPod, and a shuffle, which plays from an iTunesSD of its own.
    for (const std::string model : {"MA002", "MA546"}) {
        SCOPED_TRACE(model);
        const test::SmallDisk disk(ipod.path() / model, "2m");
        if (!disk.unavailable().empty()) {
            GTEST_SKIP() << disk.unavailable();
        }
        const fs::path& root = disk.path();
        ASSERT_EQ(test::make_standin_ipod(root.string(), model), std::nullopt);
        // Less room than any file costs beyond its bytes.
        write_file(root / "filler", std::string(fs::space(root).available - 100 * 1024, 'f'));
        EXPECT_EQ(IpodSender(root.string()).refusal(), "the player is full (0.10 MB free)");

        // Room for a small file, but not for this song.
        fs::remove(root / "filler");
        write_file(root / "filler", std::string(fs::space(root).available - 300 * 1024, 'f'));
        IpodSender sender(root.string());
        ASSERT_EQ(sender.refusal(), "");
        const SendOutcome refused = sender.send(song);
        EXPECT_NE(refused.reason.find("not enough space on the player"), std::string::npos)
            << refused.reason;
        EXPECT_EQ(music_files(root), std::set<std::string>{});
        EXPECT_EQ(sender.finish().failure, std::nullopt);
    }
}

TEST_F(Ipod, AFailedDatabaseWriteLeavesTheIpodAsItWasArtworkIncluded) {
    struct Case {
        const char* what;
        bool on_a_small_disk; // only root may mount one
        std::function<void(const fs::path& root)> spoil;
        std::string reason_holds;
    };
    const std::vector<Case> cases = {
        {"the iPod fills up before its database is written", true,
         [](const fs::path& root) {
             write_file(root / "filler", std::string(fs::space(root).available, 'f'));
         },
         "No space left on device"},
        // libgpod has written the databases and the artwork when it fails to tidy up after.
        {"libgpod fails after writing", false,
         [](const fs::path& root) {
             fs::create_directories(root / "iPod_Control/iTunes/iTunesShuffle/kept");
         },
         "iTunesShuffle"},
    };
    ASSERT_FALSE(song.path.empty());
    for (const Case& row : cases) {
        // A 5th generation iPod, which shows artwork, and a shuffle, which plays from an
        // iTunesSD of its own.
        for (const std::string model : {"MA002", "MA546"}) {
            SCOPED_TRACE(std::string(row.what) + ", " + model);
            test::TempFolder folder;
            fs::path root = folder.path() / "ipod";
            std::optional<test::SmallDisk> disk;
            if (row.on_a_small_disk) {
                disk.emplace(root, "2m");
                if (!disk->unavailable().empty()) {
                    std::cout << "[ skipped  ] " << row.what << ": " << disk->unavailable() << "\n";
                    break;
                }
            }
            ASSERT_EQ(test::make_standin_ipod(root.string(), model), std::nullopt);
            // An earlier batch: the database and the artwork files have tracks to lose.
            {
                IpodSender earlier(root.string());
                ASSERT_TRUE(earlier.send(song).pending);
                ASSERT_EQ(earlier.finish().failure, std::nullopt);
            }
            const auto before = snapshot(root);
            if (model == "MA002") {
                ASSERT_EQ(before.count("iPod_Control/Artwork/ArtworkDB"), 1u);
            }

            IpodSender sender(root.string());
            const SendOutcome copied = sender.send(untitled_song("copy.m4a", "Morning.m4a"));
            ASSERT_TRUE(copied.pending) << copied.reason;
            row.spoil(root);
            const std::optional<std::string> failed = sender.finish().failure;
            ASSERT_TRUE(failed);
            EXPECT_NE(failed->find(row.reason_holds), std::string::npos) << *failed;
            fs::remove(root / "filler");
            EXPECT_EQ(changed(before, snapshot(root)), std::set<std::string>{});
            const auto tracks = test::read_standin_tracks(root.string());
            ASSERT_TRUE(tracks);
            EXPECT_EQ(tracks->size(), 1u);
        }
    }
}

} // namespace
} // namespace morvane
