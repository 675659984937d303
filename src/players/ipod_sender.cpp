// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/ipod_sender.h"

#include "engine/media_tags.h"
#include "jobs/tag_file.h"
#include "platform/free_space.h"
#include "platform/regular_file.h"
#include "players/copy_identity.h"
#include "players/ipod_database_check.h"
#include "players/ipod_database_files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <gpod/itdb.h>
}

namespace morvane {

namespace {

constexpr const char* films_refused = "this iPod plays no video";

// Room for what a file costs beyond its bytes: its last cluster on the iPod's FAT, its
// directory entry, and its share of the database and artwork files written at the end.
constexpr std::uint64_t space_beyond_the_bytes = 256 * 1024;
// Two tracks whose lengths differ by more than this were not made from one source.
constexpr std::int64_t length_tolerance_ms = 1000;

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

// Whether the regular file at `path` holds `text` (SysInfoExtended is a small plist).
bool holds(const std::string& path, const std::string& text) {
    constexpr std::size_t longest = 1024 * 1024;
    return read_regular_file(path, longest).value_or("").find(text) != std::string::npos;
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

// "3/12" as 3 and 12; a missing part is 0.
std::pair<int, int> number_and_total(const std::string& text) {
    const auto number = [](std::string_view part) {
        while (!part.empty() && part.front() == ' ') {
            part.remove_prefix(1);
        }
        int value = 0;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        return error == std::errc() && value > 0 ? value : 0;
    };
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) {
        return {number(text), 0};
    }
    return {number(std::string_view(text).substr(0, slash)),
            number(std::string_view(text).substr(slash + 1))};
}

// The year of a date as tags write it ("1997", "1997-05-03").
int year_of(const std::string& date) {
    int year = 0;
    const auto [end, error] = std::from_chars(date.data(), date.data() + date.size(), year);
    return error == std::errc() && end - date.data() == 4 && year > 0 ? year : 0;
}

// Sound Check from a ReplayGain track gain ("-3.20 dB"): 1000 * 10^(-gain/10), as the iPod
// reads it; 0 (none) when the tag is missing or makes no sense.
guint32 sound_check(const std::string& gain_text) {
    std::string_view text = gain_text;
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double gain = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), gain);
    if (error != std::errc() || !std::isfinite(gain) || std::fabs(gain) > 60) {
        return 0;
    }
    return static_cast<guint32>(std::lround(1000 * std::pow(10.0, -gain / 10)));
}

gchar* copied_or_null(const std::string& text) {
    return text.empty() ? nullptr : g_strdup(text.c_str());
}

// A new track with what the converted file says of itself.
Itdb_Track* new_track(const TrackTags& tags, const MediaTags& media, const std::string& title,
                      SentMedia kind, const std::string& file) {
    const auto tag = [&](const char* key) { return first_tag(tags, key); };
    Itdb_Track* track = itdb_track_new();
    track->title = g_strdup(title.c_str());
    track->artist = copied_or_null(tags.empty() ? media.artist : tag("ARTIST"));
    track->album = copied_or_null(tags.empty() ? media.album : tag("ALBUM"));
    track->albumartist = copied_or_null(tag("ALBUMARTIST"));
    track->composer = copied_or_null(tag("COMPOSER"));
    track->genre = copied_or_null(tag("GENRE"));
    track->sort_title = copied_or_null(tag("TITLESORT"));
    track->sort_artist = copied_or_null(tag("ARTISTSORT"));
    track->sort_album = copied_or_null(tag("ALBUMSORT"));
    track->sort_albumartist = copied_or_null(tag("ALBUMARTISTSORT"));
    track->sort_composer = copied_or_null(tag("COMPOSERSORT"));
    track->filetype = g_strdup(file_type(file).c_str());
    std::tie(track->track_nr, track->tracks) = number_and_total(tag("TRACKNUMBER"));
    if (tags.empty()) {
        track->track_nr = media.track_number;
    }
    std::tie(track->cd_nr, track->cds) = number_and_total(tag("DISCNUMBER"));
    track->year = year_of(tag("DATE"));
    track->compilation = tag("COMPILATION") == "1" ? 1 : 0;
    track->soundcheck = sound_check(tag("REPLAYGAIN_TRACK_GAIN"));
    track->tracklen = static_cast<gint32>(
        std::min<std::int64_t>(media.duration_ms, std::numeric_limits<gint32>::max()));
    track->time_added = std::time(nullptr);
    track->time_modified = track->time_added;
    track->mediatype = kind == SentMedia::video ? ITDB_MEDIATYPE_MOVIE : ITDB_MEDIATYPE_AUDIO;
    track->movie_flag = kind == SentMedia::video ? 1 : 0;
    return track;
}

// Whether `track` may be a copy of the file: the same bytes' count, or the same title and
// length. Cheap, from the database; the mark in the track's file says for sure.
bool may_be_copy(const Itdb_Track& track, std::uint64_t size, const std::string& title,
                 std::int64_t length_ms) {
    return track.size == size || (track.title != nullptr && title == track.title &&
                                  std::llabs(static_cast<std::int64_t>(track.tracklen) -
                                             length_ms) <= length_tolerance_ms);
}

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// The files the iPod's tracks name, under the root ("ipod_control/music/f00/abcd.mp3"): in
// lower case, as FAT compares names.
std::set<std::string> listed_files(const Itdb_iTunesDB& database) {
    std::set<std::string> files;
    for (const GList* item = database.tracks; item != nullptr; item = item->next) {
        const auto* track = static_cast<const Itdb_Track*>(item->data);
        if (track->ipod_path == nullptr) {
            continue;
        }
        std::string path = lower(track->ipod_path);
        std::replace(path.begin(), path.end(), ':', '/');
        path.erase(0, std::min(path.find_first_not_of('/'), path.size()));
        files.insert(path);
    }
    return files;
}

} // namespace

struct IpodSender::Library {
    Itdb_iTunesDB* database = nullptr; // owns its tracks
    int lock = -1;                     // iPod_Control/, locked while this sender lives
    ~Library() {
        if (database != nullptr) {
            itdb_free(database);
        }
        if (lock >= 0) {
            ::close(lock);
        }
    }
};

IpodSender::IpodSender(std::string root, ImmediateQuit* quit)
    : root_(root.empty() || root.back() != '/' ? root + '/' : root), quit_(quit),
      presence_(root_, "iPod_Control"), journal_(root_), library_(std::make_unique<Library>()) {
    refusal_ = open_library();
}

IpodSender::~IpodSender() = default;

std::string IpodSender::open_library() {
    if (!presence_.present()) {
        return PlayerPresence::gone;
    }
    // Two batches writing one database would each drop the other's tracks.
    library_->lock = ::open((root_ + "iPod_Control").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (library_->lock < 0 || ::flock(library_->lock, LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK ? "another batch is sending to this iPod"
                                    : "cannot open the iPod: " + std::string(std::strerror(errno));
    }
    // libgpod would wait for ever on a FIFO where a file should be.
    if (const auto problem = unreadable_database_file(root_)) {
        return "cannot read the iPod's database: " + *problem;
    }
    GError* error = nullptr;
    library_->database = itdb_parse(root_.c_str(), &error);
    if (library_->database == nullptr) {
        const std::string reason = taken_message(error);
        const std::string problem = database_problem(root_);
        return "cannot read the iPod's database: " + (problem.empty() ? reason : problem);
    }
    Itdb_iTunesDB& database = *library_->database;
    const Itdb_IpodInfo* info = itdb_device_get_ipod_info(database.device);
    const Itdb_IpodGeneration generation =
        info != nullptr ? info->ipod_generation : ITDB_IPOD_GENERATION_UNKNOWN;
    if (is_closed_to_us(generation)) {
        return "an iPhone, iPod touch or iPad keeps its media library closed to other programs";
    }
    if (generation == ITDB_IPOD_GENERATION_UNKNOWN) {
        // Its database may need a signature; written unsigned, the iPod would show an empty
        // library.
        return "cannot tell which iPod this is (iPod_Control/Device/SysInfo names no model "
               "libgpod knows), so not whether its database must be signed";
    }
    if (itdb_playlist_mpl(&database) == nullptr) {
        return "the iPod's database has no main playlist";
    }
    if (const auto problem = cannot_sign(root_, database.device, generation)) {
        return std::string("libgpod cannot sign the database of this iPod (") +
               itdb_info_get_ipod_generation_string(generation) + "): " + *problem;
    }
    const IpodDatabaseFiles files(root_, itdb_device_supports_artwork(database.device) != FALSE);
    if (const auto problem = files.unwritable()) {
        return "cannot write the iPod's database: " + *problem;
    }
    // What a batch cut short left behind goes before the room is measured.
    const std::set<std::string> listed = listed_files(database);
    journal_.remove_unlisted(
        [&listed](const std::string& relative) { return listed.count(lower(relative)) != 0; });
    const std::string music = taken_string(itdb_get_music_dir(root_.c_str()));
    if (music.empty()) {
        return "the iPod has no iPod_Control/Music folder";
    }
    // No file, however small, fits in less than what each costs beyond its bytes.
    const auto space = free_space(music);
    if (const auto* available = std::get_if<std::uint64_t>(&space);
        available != nullptr && *available < space_beyond_the_bytes) {
        return player_full(*available);
    }
    return {};
}

std::string IpodSender::refusal() const {
    std::lock_guard lock(mutex_);
    return refusal_;
}

std::string IpodSender::films_refusal() const {
    std::lock_guard lock(mutex_);
    if (!refusal_.empty() || library_->database == nullptr ||
        itdb_device_supports_video(library_->database->device) != FALSE) {
        return {};
    }
    return films_refused;
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
    Itdb_iTunesDB& database = *library_->database;
    const std::string& file = sent.path;
    if (sent.media == SentMedia::video && itdb_device_supports_video(database.device) == FALSE) {
        return not_sent(films_refused);
    }
    const auto read = read_media_tags(file);
    if (const auto* problem = std::get_if<std::string>(&read)) {
        return not_sent("cannot read the converted file: " + *problem);
    }
    const MediaTags& media = std::get<MediaTags>(read);
    const std::optional<FileTags> file_tags = read_file_tags(file);
    const TrackTags tags = file_tags ? file_tags->properties : TrackTags{};
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0) {
        return not_sent(std::string("cannot read the converted file: ") + std::strerror(errno));
    }
    const auto bytes = static_cast<std::uint64_t>(status.st_size);
    if (bytes > std::numeric_limits<guint32>::max()) {
        return not_sent("the file is larger than an iPod's library takes (4 GB)");
    }
    // A file without a title is named after its source, never after its output's "_<n>".
    std::string title = tags.empty() ? media.title : first_tag(tags, "TITLE");
    if (title.empty()) {
        title = std::filesystem::path(sent.name.empty() ? file : sent.name).stem().string();
    }

    const CopyIdentity identity(sent);
    for (const GList* item = database.tracks; item != nullptr; item = item->next) {
        auto* track = static_cast<Itdb_Track*>(item->data);
        if (!may_be_copy(*track, bytes, title, media.duration_ms)) {
            continue;
        }
        const std::string held = taken_string(itdb_filename_on_ipod(track));
        if (!held.empty() && identity.matches(held)) {
            SendOutcome outcome;
            outcome.landed_path = held;
            // A copy this batch made (of another input of the same content) is there only
            // once the database is written; it is this file's sending too.
            outcome.pending =
                std::find(sent_files_.begin(), sent_files_.end(), held) != sent_files_.end();
            outcome.already_there = !outcome.pending;
            return outcome;
        }
    }

    if (!presence_.present()) {
        return not_sent(PlayerPresence::gone);
    }
    const std::string music = taken_string(itdb_get_music_dir(root_.c_str()));
    const auto space = free_space(music.empty() ? root_ : music);
    if (const auto* problem = std::get_if<std::string>(&space)) {
        return failed("cannot tell the player's free space: " + *problem);
    }
    const std::uint64_t needed = bytes + space_beyond_the_bytes;
    const std::uint64_t available = std::get<std::uint64_t>(space);
    if (needed > available) {
        return not_enough_space(needed, available);
    }

    GError* error = nullptr;
    const std::string landed =
        taken_string(itdb_cp_get_dest_filename(nullptr, root_.c_str(), file.c_str(), &error));
    if (landed.empty()) {
        return failed("copying onto the iPod failed: " + taken_message(error));
    }
    // Noted before it exists: whatever ends the batch, the next send finds it.
    if (const auto problem = journal_.note(landed)) {
        return failed(std::string("cannot note the copy in ") + IpodJournal::name +
                      " on the iPod: " + *problem);
    }
    const auto discard = [&landed](const std::string& reason) {
        ::unlink(landed.c_str());
        return reason;
    };
    if (itdb_cp(file.c_str(), landed.c_str(), &error) == FALSE) {
        return failed(discard("copying onto the iPod failed: " + taken_message(error)));
    }
    // Made in a race with an unmount: it must not stay on the bare mount point.
    if (!presence_.holds(landed)) {
        return not_sent(discard(PlayerPresence::gone));
    }
    // Flushed before the database names it: a player pulled out later keeps whole files.
    if (!flushed(landed)) {
        return failed(
            discard("copying onto the iPod failed: " + std::string(std::strerror(errno))));
    }
    Itdb_Track* track = new_track(tags, media, title, sent.media, file);
    if (itdb_cp_finalize(track, root_.c_str(), landed.c_str(), &error) == nullptr) {
        itdb_track_free(track);
        return failed(discard("copying onto the iPod failed: " + taken_message(error)));
    }
    itdb_track_add(&database, track, -1);
    itdb_playlist_add_track(itdb_playlist_mpl(&database), track, -1);
    // The cover is a nicety: a picture libgpod cannot use leaves the track without one.
    if (!media.cover_art.empty() && itdb_device_supports_artwork(database.device) != FALSE) {
        itdb_track_set_thumbnails_from_data(
            track, reinterpret_cast<const guchar*>(media.cover_art.data()), media.cover_art.size());
    }
    sent_files_.push_back(landed);
    SendOutcome outcome;
    outcome.landed_path = landed;
    outcome.pending = true;
    return outcome;
}

SendOutcome IpodSender::failed(const std::string& reason) const {
    return not_sent(presence_.present() ? reason : PlayerPresence::gone);
}

SendFinish IpodSender::finish() {
    std::lock_guard lock(mutex_);
    if (finished_ || !refusal_.empty() || sent_files_.empty()) {
        finished_ = true;
        return {};
    }
    finished_ = true;
    IpodDatabaseFiles files(root_,
                            itdb_device_supports_artwork(library_->database->device) != FALSE);
    if (const auto failure = write_database(files)) {
        return {failure, {}};
    }
    journal_.clear();
    // libgpod flushed with sync(), whose failure nobody hears of: asked once more per file.
    if (const auto problem = files.flush()) {
        return {{}, "the iPod's database may not have reached the player: " + *problem};
    }
    return {};
}

std::optional<std::string> IpodSender::write_database(IpodDatabaseFiles& files) {
    if (!presence_.present()) {
        // Its copies stay noted in the journal: the next send removes them.
        return std::string(PlayerPresence::gone);
    }
    // From the first backup to the last file libgpod writes (the artwork's pictures and
    // ArtworkDB, then iTunesDB, then a shuffle's iTunesSD) or puts back: a quit in between
    // would leave them naming different tracks.
    std::optional<ImmediateQuit::Hold> whole;
    if (quit_ != nullptr) {
        whole.emplace(quit_->hold());
    }
    std::optional<std::string> failure;
    if (const auto problem = files.unwritable()) {
        failure = "cannot write the iPod's database: " + *problem;
    } else if (const auto kept = files.keep()) {
        failure = "cannot keep a backup of the iPod's database: " + *kept;
    } else if (!presence_.present()) {
        return std::string(PlayerPresence::gone);
    } else if (GError* error = nullptr; itdb_write(library_->database, &error) == FALSE) {
        failure = "cannot write the iPod's database: " + taken_message(error);
        if (const auto left = files.restore()) {
            failure = *failure + "; " + *left;
        }
    }
    if (failure) {
        forget_sent_files();
    }
    return failure;
}

void IpodSender::forget_sent_files() {
    // Not in the database the iPod keeps, they would only take its space.
    bool all_gone = true;
    for (const std::string& file : sent_files_) {
        all_gone = (::unlink(file.c_str()) == 0 || errno == ENOENT) && all_gone;
    }
    sent_files_.clear();
    if (all_gone) {
        journal_.clear();
    }
}

} // namespace morvane
