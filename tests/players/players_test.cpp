// SPDX-License-Identifier: GPL-3.0-or-later
// Stand-in players in temporary folders: what a root says it is, files sent to a PSP's
// memory stick, landing or failing with nothing left behind, and converted files added to an
// iPod's database (laid out and read back by libgpod itself).
#include "engine/engine.h"
#include "jobs/conversion_job.h"
#include "jobs/device_table.h"
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

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <set>
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
        const SendOutcome outcome = sender.send(sendable(path, row.name, row.media));
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

// Every file under `root` with its bytes: what "left as it was" compares.
std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), root).string()] = read_file(entry.path());
        }
    }
    return files;
}

class Ipod : public testing::Test {
protected:
    // A converted film and a converted song (with a cover), each with its tags.
    Ipod() {
        const DeviceTable devices = device_table("/nowhere/");
        std::size_t classic = 0;
        while (classic + 1 < devices.size() && devices[classic].display_name != "iPod classic") {
            ++classic;
        }
        Engine engine;
        ConversionJob job(engine);
        struct Quiet : ProgressSink {
            bool on_progress(int) override { return true; }
        } sink;
        auto film_input = test::mp4_h264_aac(160, 120, {25, 1}, 2.0);
        film_input.tags = {{"title", "Harbour Lights"},
                           {"artist", "Ana Ruiz"},
                           {"album", "Short Films"},
                           {"track", "2/9"}};
        auto song_input = test::mp3_with_cover_art(3.0);
        song_input.tags = {
            {"title", "Sea Song"}, {"artist", "The Pier"}, {"album", "Tides"}, {"track", "7"}};
        test::write_media(inputs.file("film.mkv"), film_input);
        test::write_media(inputs.file("song.mp3"), song_input);
        const std::string out = outputs.path().string() + "/";
        film = job.convert_one(inputs.file("film.mkv").string(), devices[classic], out, &sink)
                   .output_path;
        song = job.convert_one(inputs.file("song.mp3").string(), devices[classic], out, &sink)
                   .output_path;
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

    test::TempFolder inputs, outputs, ipod;
    std::string film, song;
};

TEST_F(Ipod, ConvertedFilesJoinItsLibraryWithTheirTagsAndEarlierTracksStay) {
    ASSERT_FALSE(film.empty());
    ASSERT_FALSE(song.empty());
    const std::string root = classic_with_an_earlier_track();
    const auto earlier = test::read_standin_tracks(root);
    ASSERT_TRUE(earlier && earlier->size() == 1);
    const std::string database = root + "/iPod_Control/iTunes/iTunesDB";
    const std::string database_before = read_file(database);

    IpodSender sender(root);
    ASSERT_EQ(sender.refusal(), "");
    // From two converter threads at once, as morvane-convert sends.
    SendOutcome film_sent, song_sent;
    std::thread other([&] { film_sent = sender.send(sendable(film, "", SentMedia::video)); });
    song_sent = sender.send(sendable(song, "", SentMedia::sound));
    other.join();
    ASSERT_TRUE(film_sent.sent()) << film_sent.reason;
    ASSERT_TRUE(song_sent.sent()) << song_sent.reason;
    EXPECT_EQ(read_file(database), database_before) << "written before the batch ended";
    ASSERT_EQ(sender.finish().failure, std::nullopt);
    EXPECT_EQ(read_file(database + ".morvane-backup"), database_before);

    const auto tracks = test::read_standin_tracks(root);
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
        {"Harbour Lights", "Ana Ruiz", "Short Films", film_sent.landed_path, film, 2,
         test::movie_media_type(), 2.0, false},
        {"Sea Song", "The Pier", "Tides", song_sent.landed_path, song, 7, test::audio_media_type(),
         3.0, true},
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
    // The batch is over: nothing more is added to a database already written.
    EXPECT_FALSE(sender.send(sendable(song, "", SentMedia::sound)).sent());
}

TEST_F(Ipod, AShuffleKeepsABackupOfTheDatabaseItPlaysFromToo) {
    const std::string root = ipod.path().string();
    ASSERT_EQ(test::make_standin_ipod(root, "MA546"), std::nullopt);
    const fs::path itunes_sd = ipod.path() / "iPod_Control/iTunes/iTunesSD";
    ASSERT_TRUE(fs::exists(itunes_sd));
    const std::string before = read_file(itunes_sd);
    IpodSender sender(root);
    ASSERT_TRUE(sender.send(sendable(song, "", SentMedia::sound)).sent());
    ASSERT_EQ(sender.finish().failure, std::nullopt);
    EXPECT_NE(read_file(itunes_sd), before) << "the song is not in the shuffle's list";
    EXPECT_EQ(read_file(itunes_sd.string() + ".morvane-backup"), before);
}

TEST_F(Ipod, WhatCannotBeWrittenIsRefusedAndTheIpodLeftAsItWas) {
    struct Case {
        const char* iPod;
        std::function<void(const fs::path& root)> spoil;
        std::string reason_holds;
    };
    const auto model = [](const std::string& number) {
        return [number](const fs::path& root) {
            write_file(root / "iPod_Control/Device/SysInfo", "ModelNumStr: " + number + "\n");
        };
    };
    const std::vector<Case> cases = {
        {"a damaged database",
         [](const fs::path& root) {
             write_file(root / "iPod_Control/iTunes/iTunesDB", std::string(5000, '\x5a'));
         },
         "cannot read the iPod's database: "},
        {"a classic without its FireWire ID", model("MB029"),
         "libgpod cannot sign the database of this iPod (Classic): it needs the iPod's FireWire "
         "ID"},
        {"a nano of the 6th generation", model("MC525"),
         "(Nano touch (6th Gen.)): its signature is one libgpod cannot make"},
        {"an iPod touch", model("MA623"), "closed to other programs"},
        {"no model at all",
         [](const fs::path& root) { fs::remove(root / "iPod_Control/Device/SysInfo"); },
         "cannot tell which iPod this is"},
    };
    ASSERT_FALSE(song.empty());
    for (const Case& row : cases) {
        SCOPED_TRACE(row.iPod);
        test::TempFolder folder;
        const std::string root = folder.path().string();
        // A 5th generation iPod needs no signature: any model can be laid over it.
        ASSERT_EQ(test::make_standin_ipod(root, "MA002"), std::nullopt);
        row.spoil(folder.path());
        const auto before = snapshot(folder.path());

        IpodSender sender(root);
        EXPECT_NE(sender.refusal().find(row.reason_holds), std::string::npos) << sender.refusal();
        const SendOutcome outcome = sender.send(sendable(song, "", SentMedia::sound));
        EXPECT_FALSE(outcome.sent());
        EXPECT_EQ(outcome.reason, sender.refusal());
        EXPECT_EQ(sender.finish().failure, std::nullopt);
        EXPECT_EQ(snapshot(folder.path()), before);
    }
}

TEST_F(Ipod, AFullIpodFailsTheFileOrTheBatchAndKeepsItsDatabase) {
    // A 5th generation iPod, and a shuffle, which plays from an iTunesSD of its own.
    for (const std::string model : {"MA002", "MA546"}) {
        SCOPED_TRACE(model);
        const test::SmallDisk disk(ipod.path() / model, "2m");
        if (!disk.unavailable().empty()) {
            GTEST_SKIP() << disk.unavailable();
        }
        const fs::path& mount_point = disk.path();
        ASSERT_EQ(test::make_standin_ipod(mount_point.string(), model), std::nullopt);
        // All but 100 kB taken: less than any file and its share of the database.
        const fs::space_info space = fs::space(mount_point);
        write_file(mount_point / "filler", std::string(space.available - 100 * 1024, 'f'));
        const fs::path music = mount_point / "iPod_Control/Music";
        const auto files_in_music = [&] {
            return std::distance(fs::recursive_directory_iterator(music), {}) -
                   std::distance(fs::directory_iterator(music), {});
        };

        IpodSender sender(mount_point.string());
        const SendOutcome refused = sender.send(sendable(song, "", SentMedia::sound));
        EXPECT_FALSE(refused.sent());
        EXPECT_NE(refused.reason.find("not enough space on the player"), std::string::npos)
            << refused.reason;
        EXPECT_EQ(files_in_music(), 0);

        fs::remove(mount_point / "filler");
        const fs::path itunes = mount_point / "iPod_Control/iTunes";
        std::map<std::string, std::string> databases_before;
        for (const char* name : {"iTunesDB", "iTunesSD"}) {
            if (fs::exists(itunes / name)) {
                databases_before[name] = read_file(itunes / name);
            }
        }
        ASSERT_EQ(databases_before.count("iTunesSD"), model == "MA546" ? 1u : 0u);
        const SendOutcome landed = sender.send(sendable(song, "", SentMedia::sound));
        ASSERT_TRUE(landed.sent()) << landed.reason;
        EXPECT_EQ(files_in_music(), 1);

        // Full again before the batch ends: the database cannot be written, so the copy
        // that only it would name goes, and the iPod keeps the databases it had.
        write_file(mount_point / "filler", std::string(fs::space(mount_point).available, 'f'));
        const std::optional<std::string> failed = sender.finish().failure;
        ASSERT_TRUE(failed);
        EXPECT_NE(failed->find("No space left on device"), std::string::npos) << *failed;
        EXPECT_EQ(files_in_music(), 0);
        for (const auto& [name, before] : databases_before) {
            EXPECT_EQ(read_file(itunes / name), before) << name;
        }
        const auto tracks = test::read_standin_tracks(mount_point.string());
        ASSERT_TRUE(tracks);
        EXPECT_TRUE(tracks->empty());
    }
}

} // namespace
} // namespace morvane
