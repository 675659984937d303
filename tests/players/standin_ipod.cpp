// SPDX-License-Identifier: GPL-3.0-or-later
#include "standin_ipod.h"

#include <filesystem>
#include <fstream>

extern "C" {
#include <gpod/itdb.h>
}

namespace morvane::test {

namespace {

std::string taken_message(GError* error) {
    std::string text = error != nullptr ? error->message : "no reason given";
    if (error != nullptr) {
        g_error_free(error);
    }
    return text;
}

std::string text_of(const gchar* text) {
    return text != nullptr ? text : "";
}

} // namespace

std::optional<std::string> make_standin_ipod(const std::string& root,
                                             const std::string& model_number,
                                             const std::string& firewire_guid) {
    if (!firewire_guid.empty()) {
        std::filesystem::create_directories(root + "/iPod_Control/Device");
        std::ofstream(root + "/iPod_Control/Device/SysInfo")
            << "FirewireGuid: " << firewire_guid << "\n";
    }
    GError* error = nullptr;
    if (itdb_init_ipod(root.c_str(), model_number.c_str(), "Test iPod", &error) == FALSE) {
        return taken_message(error);
    }
    return std::nullopt;
}

std::optional<std::string> add_track_to_standin(const std::string& root, const std::string& file,
                                                const std::string& title) {
    GError* error = nullptr;
    Itdb_iTunesDB* database = itdb_parse(root.c_str(), &error);
    if (database == nullptr) {
        return taken_message(error);
    }
    Itdb_Track* track = itdb_track_new();
    track->title = g_strdup(title.c_str());
    track->filetype = g_strdup("MPEG audio file");
    track->mediatype = ITDB_MEDIATYPE_AUDIO;
    itdb_track_add(database, track, -1);
    itdb_playlist_add_track(itdb_playlist_mpl(database), track, -1);
    std::optional<std::string> problem;
    if (itdb_cp_track_to_ipod(track, file.c_str(), &error) == FALSE ||
        itdb_write(database, &error) == FALSE) {
        problem = taken_message(error);
    }
    itdb_free(database);
    return problem;
}

std::optional<std::vector<IpodTrack>> read_standin_tracks(const std::string& root) {
    GError* error = nullptr;
    Itdb_iTunesDB* database = itdb_parse(root.c_str(), &error);
    if (database == nullptr) {
        taken_message(error);
        return std::nullopt;
    }
    std::vector<IpodTrack> tracks;
    Itdb_Playlist* main_playlist = itdb_playlist_mpl(database);
    for (GList* item = database->tracks; item != nullptr; item = item->next) {
        auto* track = static_cast<Itdb_Track*>(item->data);
        IpodTrack read;
        read.title = text_of(track->title);
        read.artist = text_of(track->artist);
        read.album = text_of(track->album);
        read.file_type = text_of(track->filetype);
        read.album_artist = text_of(track->albumartist);
        read.composer = text_of(track->composer);
        read.genre = text_of(track->genre);
        read.sort_title = text_of(track->sort_title);
        read.sort_artist = text_of(track->sort_artist);
        read.sort_album = text_of(track->sort_album);
        read.sort_album_artist = text_of(track->sort_albumartist);
        read.sort_composer = text_of(track->sort_composer);
        read.track_number = track->track_nr;
        read.track_total = track->tracks;
        read.disc_number = track->cd_nr;
        read.disc_total = track->cds;
        read.year = track->year;
        read.compilation = track->compilation != 0;
        read.sound_check = track->soundcheck;
        read.length_ms = track->tracklen;
        read.size = track->size;
        read.media_type = track->mediatype;
        read.in_main_playlist =
            main_playlist != nullptr && itdb_playlist_contains_track(main_playlist, track);
        read.has_artwork = itdb_track_has_thumbnails(track) != FALSE;
        gchar* file = itdb_filename_on_ipod(track);
        read.file = text_of(file);
        g_free(file);
        tracks.push_back(read);
    }
    itdb_free(database);
    return tracks;
}

std::uint32_t movie_media_type() {
    return ITDB_MEDIATYPE_MOVIE;
}

std::uint32_t audio_media_type() {
    return ITDB_MEDIATYPE_AUDIO;
}

} // namespace morvane::test
