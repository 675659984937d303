// SPDX-License-Identifier: GPL-3.0-or-later
// Stand-in iPods for tests: a folder laid out and read back by libgpod itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvane::test {

// Lays out `root` as a blank iPod of `model_number` ("MB029") with libgpod's itdb_init_ipod;
// `firewire_guid` ("0x000A27001A2B3C4D"), when given, goes into SysInfo first, as a classic
// needs to sign its database. Nothing on success, else libgpod's reason.
std::optional<std::string> make_standin_ipod(const std::string& root,
                                             const std::string& model_number,
                                             const std::string& firewire_guid = "");

struct IpodTrack {
    std::string title, artist, album, file_type;
    std::string album_artist, composer, genre;
    std::string sort_title, sort_artist, sort_album, sort_album_artist, sort_composer;
    int track_number = 0, track_total = 0, disc_number = 0, disc_total = 0;
    int year = 0;
    bool compilation = false;
    std::uint32_t sound_check = 0;
    std::int64_t length_ms = 0;
    std::uint32_t size = 0;
    std::uint32_t media_type = 0;
    bool in_main_playlist = false;
    bool has_artwork = false;
    std::string file; // its path under the root
};

// Adds a track of `file` titled `title` to the iPod's database, as another program would.
std::optional<std::string> add_track_to_standin(const std::string& root, const std::string& file,
                                                const std::string& title);

// The iPod's tracks as libgpod reads them back; nothing when it cannot read the database.
std::optional<std::vector<IpodTrack>> read_standin_tracks(const std::string& root);

// The iPod's media types, for comparisons.
std::uint32_t movie_media_type();
std::uint32_t audio_media_type();

} // namespace morvane::test
