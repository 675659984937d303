// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/ipod_sender.h"

#include "engine/media_tags.h"
#include "platform/atomic_file.h"
#include "platform/free_space.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <gpod/itdb.h>
}

namespace morvane {

namespace {

// Room for what a file costs beyond its bytes: its last cluster on the iPod's FAT, its
// directory entry, and its share of the database and artwork files written at the end.
constexpr std::uint64_t space_beyond_the_bytes = 256 * 1024;

// GError's message, and the error freed.
std::string taken_message(GError* error) {
    std::string text = error != nullptr && error->message != nullptr ? error->message : "";
    if (error != nullptr) {
        g_error_free(error);
    }
    return text.empty() ? "libgpod gave no reason" : text;
}

// A string libgpod allocated, as ours.
std::string taken_string(gchar* text) {
    std::string copy = text != nullptr ? text : "";
    g_free(text);
    return copy;
}

std::optional<std::string> whole_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream contents;
    contents << file.rdbuf();
    if (!file || file.bad()) {
        return std::nullopt;
    }
    return contents.str();
}

// Flushes what was written to `path` onto the device; false when the device refused.
bool flushed(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    const bool done = ::fsync(descriptor) == 0;
    ::close(descriptor);
    return done;
}

std::string lower_extension(const std::string& file) {
    std::string extension = std::filesystem::path(file).extension().string();
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension;
}

// The kind of file as the iPod's own library names it.
std::string file_type(const std::string& file) {
    const std::string extension = lower_extension(file);
    if (extension == ".mp4" || extension == ".m4v" || extension == ".mov") {
        return "MPEG-4 video file";
    }
    if (extension == ".m4a" || extension == ".aac") {
        return "AAC audio file";
    }
    if (extension == ".mp3") {
        return "MPEG audio file";
    }
    return "audio file";
}

bool is_closed_to_us(Itdb_IpodGeneration generation) {
    switch (generation) {
    case ITDB_IPOD_GENERATION_TOUCH_1:
    case ITDB_IPOD_GENERATION_TOUCH_2:
    case ITDB_IPOD_GENERATION_TOUCH_3:
    case ITDB_IPOD_GENERATION_TOUCH_4:
    case ITDB_IPOD_GENERATION_IPHONE_1:
    case ITDB_IPOD_GENERATION_IPHONE_2:
    case ITDB_IPOD_GENERATION_IPHONE_3:
    case ITDB_IPOD_GENERATION_IPHONE_4:
    case ITDB_IPOD_GENERATION_IPAD_1:
        return true;
    default:
        return false;
    }
}

// How a model's firmware checks that a database is its own; libgpod keeps its own answer to
// itself.
enum class Signature { none, firewire_id, hash_info, closed };

Signature signature_of(Itdb_IpodGeneration generation) {
    switch (generation) {
    case ITDB_IPOD_GENERATION_CLASSIC_1:
    case ITDB_IPOD_GENERATION_CLASSIC_2:
    case ITDB_IPOD_GENERATION_CLASSIC_3:
    case ITDB_IPOD_GENERATION_NANO_3:
    case ITDB_IPOD_GENERATION_NANO_4:
        return Signature::firewire_id;
    case ITDB_IPOD_GENERATION_NANO_5:
        return Signature::hash_info;
    case ITDB_IPOD_GENERATION_NANO_6:
        return Signature::closed;
    default:
        return Signature::none;
    }
}

bool holds(const std::string& file, const std::string& text) {
    const std::optional<std::string> contents = whole_file(file);
    return contents && contents->find(text) != std::string::npos;
}

// Why libgpod could not sign this iPod's database; nothing when it can. Asked before anything
// is written: libgpod only finds out while it writes, after it rewrote the artwork database.
std::optional<std::string> cannot_sign(const std::string& root, const Itdb_Device* device,
                                       Itdb_IpodGeneration generation) {
    const std::string device_folder = root + "iPod_Control/Device/";
    switch (signature_of(generation)) {
    case Signature::none:
        return std::nullopt;
    case Signature::firewire_id: {
        const std::string guid = taken_string(itdb_device_get_sysinfo(device, "FirewireGuid"));
        if (!guid.empty() || holds(device_folder + "SysInfoExtended", "FireWireGUID")) {
            return std::nullopt;
        }
        return std::string("it needs the iPod's FireWire ID, from "
                           "iPod_Control/Device/SysInfoExtended or a FirewireGuid line in SysInfo");
    }
    case Signature::hash_info:
        if (::access((device_folder + "HashInfo").c_str(), R_OK) == 0) {
            return std::nullopt;
        }
        return std::string("it needs iPod_Control/Device/HashInfo, which only a database "
                           "written by iTunes gives");
    case Signature::closed:
        break;
    }
    return std::string("its signature is one libgpod cannot make");
}

} // namespace

struct IpodSender::Library {
    Itdb_iTunesDB* database = nullptr; // owns its tracks
    ~Library() {
        if (database != nullptr) {
            itdb_free(database);
        }
    }
};

IpodSender::IpodSender(std::string root)
    : root_(root.empty() || root.back() != '/' ? root + '/' : root),
      library_(std::make_unique<Library>()) {
    GError* error = nullptr;
    library_->database = itdb_parse(root_.c_str(), &error);
    if (library_->database == nullptr) {
        refusal_ = "cannot read the iPod's database: " + taken_message(error);
        return;
    }
    Itdb_iTunesDB& database = *library_->database;
    const Itdb_IpodInfo* info = itdb_device_get_ipod_info(database.device);
    const Itdb_IpodGeneration generation =
        info != nullptr ? info->ipod_generation : ITDB_IPOD_GENERATION_UNKNOWN;
    if (is_closed_to_us(generation)) {
        refusal_ = "an iPhone, iPod touch or iPad keeps its media library closed to other programs";
    } else if (generation == ITDB_IPOD_GENERATION_UNKNOWN) {
        // Its database may need a signature; written unsigned, the iPod would show an empty
        // library.
        refusal_ = "cannot tell which iPod this is (iPod_Control/Device/SysInfo names no model "
                   "libgpod knows), so not whether its database must be signed";
    } else if (itdb_playlist_mpl(&database) == nullptr) {
        refusal_ = "the iPod's database has no main playlist";
    } else if (const auto problem = cannot_sign(root_, database.device, generation)) {
        refusal_ = std::string("libgpod cannot sign the database of this iPod (") +
                   itdb_info_get_ipod_generation_string(generation) + "): " + *problem;
    }
}

IpodSender::~IpodSender() = default;

std::string IpodSender::refusal() const {
    std::lock_guard lock(mutex_);
    return refusal_;
}

SendOutcome IpodSender::send(const FileToSend& sent) {
    std::lock_guard lock(mutex_);
    if (!refusal_.empty()) {
        return not_sent(refusal_);
    }
    if (finished_) {
        return not_sent("the iPod's database was already written for this batch");
    }
    return add(sent);
}

SendOutcome IpodSender::add(const FileToSend& sent) {
    const std::string& file = sent.path;
    const SentMedia media = sent.media;
    const auto read = read_media_tags(file);
    if (const auto* problem = std::get_if<std::string>(&read)) {
        return not_sent("cannot read the converted file: " + *problem);
    }
    const MediaTags& tags = std::get<MediaTags>(read);
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0) {
        return not_sent(std::string("cannot read the converted file: ") + std::strerror(errno));
    }
    const auto bytes = static_cast<std::uint64_t>(status.st_size);
    if (bytes > std::numeric_limits<guint32>::max()) {
        return not_sent("the file is larger than an iPod's library takes (4 GB)");
    }
    const std::string music = taken_string(itdb_get_music_dir(root_.c_str()));
    if (music.empty()) {
        return not_sent("the iPod has no iPod_Control/Music folder");
    }
    const auto space = free_space(music);
    if (const auto* problem = std::get_if<std::string>(&space)) {
        return not_sent("cannot tell the player's free space: " + *problem);
    }
    const std::uint64_t needed = bytes + space_beyond_the_bytes;
    const std::uint64_t available = std::get<std::uint64_t>(space);
    if (needed > available) {
        return not_enough_space(needed, available);
    }

    Itdb_iTunesDB& database = *library_->database;
    Itdb_Track* track = itdb_track_new();
    const std::string title =
        tags.title.empty() ? std::filesystem::path(file).stem().string() : tags.title;
    track->title = g_strdup(title.c_str());
    track->artist = tags.artist.empty() ? nullptr : g_strdup(tags.artist.c_str());
    track->album = tags.album.empty() ? nullptr : g_strdup(tags.album.c_str());
    track->filetype = g_strdup(file_type(file).c_str());
    track->track_nr = tags.track_number;
    track->tracklen = static_cast<gint32>(
        std::min<std::int64_t>(tags.duration_ms, std::numeric_limits<gint32>::max()));
    track->size = static_cast<guint32>(bytes);
    track->time_added = std::time(nullptr);
    track->mediatype = media == SentMedia::video ? ITDB_MEDIATYPE_MOVIE : ITDB_MEDIATYPE_AUDIO;
    track->movie_flag = media == SentMedia::video ? 1 : 0;
    // libgpod copies into the database's own folders only a track it holds.
    itdb_track_add(&database, track, -1);
    GError* error = nullptr;
    if (itdb_cp_track_to_ipod(track, file.c_str(), &error) == FALSE) {
        itdb_track_remove(track); // libgpod removes a copy it could not finish
        return not_sent("copying onto the iPod failed: " + taken_message(error));
    }
    const std::string landed = taken_string(itdb_filename_on_ipod(track));
    // Flushed before the database names it: a player pulled out later keeps whole files.
    if (landed.empty() || !flushed(landed)) {
        const std::string reason = landed.empty() ? "libgpod lost the copy" : std::strerror(errno);
        if (!landed.empty()) {
            ::unlink(landed.c_str());
        }
        itdb_track_remove(track);
        return not_sent("copying onto the iPod failed: " + reason);
    }
    itdb_playlist_add_track(itdb_playlist_mpl(&database), track, -1);
    // The cover is a nicety: a picture libgpod cannot use leaves the track without one.
    if (!tags.cover_art.empty() && itdb_device_supports_artwork(database.device) != FALSE) {
        itdb_track_set_thumbnails_from_data(
            track, reinterpret_cast<const guchar*>(tags.cover_art.data()), tags.cover_art.size());
    }
    sent_files_.push_back(landed);
    SendOutcome outcome;
    outcome.landed_path = landed;
    outcome.pending = true;
    return outcome;
}

SendFinish IpodSender::finish() {
    std::lock_guard lock(mutex_);
    if (finished_ || !refusal_.empty() || sent_files_.empty()) {
        finished_ = true;
        return {};
    }
    finished_ = true;
    // What libgpod rewrites to tell the iPod what it holds: iTunesDB, and on a shuffle the
    // iTunesSD it plays from. Each is kept beside itself before the write.
    struct KeptFile {
        std::string path, contents;
    };
    std::vector<std::string> paths = {taken_string(itdb_get_itunesdb_path(root_.c_str()))};
    if (std::string list = taken_string(itdb_get_itunessd_path(root_.c_str())); !list.empty()) {
        paths.push_back(std::move(list));
    }
    std::vector<KeptFile> kept;
    for (const std::string& path : paths) {
        std::optional<std::string> contents = path.empty() ? std::nullopt : whole_file(path);
        if (!contents) {
            forget_sent_files();
            return {"cannot read the iPod's database to keep a backup of it", {}};
        }
        std::string failure;
        if (!replace_file_atomically(path + ".morvane-backup", *contents, &failure)) {
            forget_sent_files();
            return {"cannot keep a backup of the iPod's database: " + failure, {}};
        }
        kept.push_back({path, std::move(*contents)});
    }
    GError* error = nullptr;
    if (itdb_write(library_->database, &error) == FALSE) {
        std::string reason = "cannot write the iPod's database: " + taken_message(error);
        // What libgpod left half-written goes back to what the iPod held.
        for (const KeptFile& file : kept) {
            std::string failure;
            if (!replace_file_atomically(file.path, file.contents, &failure)) {
                reason += "; putting it back failed too (" + failure + "), its backup is " +
                          file.path + ".morvane-backup";
            }
        }
        forget_sent_files();
        return {reason, {}};
    }
    for (const KeptFile& file : kept) {
        if (!flushed(file.path)) {
            return {{},
                    std::string("the iPod's database may not have reached the player: ") +
                        std::strerror(errno)};
        }
    }
    return {};
}

void IpodSender::forget_sent_files() {
    // Not in the database the iPod keeps, they would only take its space.
    for (const std::string& file : sent_files_) {
        ::unlink(file.c_str());
    }
    sent_files_.clear();
}

} // namespace morvane
