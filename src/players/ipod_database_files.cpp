// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/ipod_database_files.h"

#include "platform/atomic_file.h"
#include "platform/regular_file.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {

namespace {

constexpr const char* itunes_folder = "iPod_Control/iTunes/";
constexpr const char* artwork_folder = "iPod_Control/Artwork/";
constexpr const char* backup_suffix = ".morvane-backup";
constexpr int older_generations = 2; // beside the newest backup

// What libgpod writes, renames or removes when it writes the database; `true` for the
// databases themselves, which are backed up on the iPod too.
const std::vector<std::pair<std::string, bool>> rewritten = {
    {"iPod_Control/iTunes/iTunesDB", true},         {"iPod_Control/iTunes/iTunesCDB", true},
    {"iPod_Control/iTunes/iTunesSD", true},         {"iPod_Control/Artwork/ArtworkDB", true},
    {"iPod_Control/iTunes/Play Counts", false},     {"iPod_Control/iTunes/Play Counts.bak", false},
    {"iPod_Control/iTunes/OTGPlaylistInfo", false}, {"iPod_Control/iTunes/iTunesShuffle", false},
    {"iPod_Control/iTunes/iTunesStats", false},     {"iPod_Control/iTunes/iTunesPState", false},
    {"iPod_Control/Device/SysInfo", false},
};

std::string error_text() {
    return std::strerror(errno);
}

bool exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

// Writes `contents` over the file at `path` where it is: for a full disk, on which a
// replacement beside it has no room.
bool write_in_place(const std::string& path, const std::string& contents) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        return false;
    }
    bool written = true;
    for (std::size_t done = 0; written && done < contents.size();) {
        const ssize_t count = ::write(descriptor, contents.data() + done, contents.size() - done);
        written = count > 0;
        done += written ? static_cast<std::size_t>(count) : 0;
    }
    written = ::fsync(descriptor) == 0 && written;
    return ::close(descriptor) == 0 && written;
}

// Whether the open for writing that libgpod will make can succeed (nothing is changed).
std::optional<std::string> cannot_write(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return error_text();
    }
    ::close(descriptor);
    return std::nullopt;
}

bool flushed(const std::string& path, int flags) {
    const int descriptor = ::open(path.c_str(), flags | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    const bool done = ::fsync(descriptor) == 0;
    return ::close(descriptor) == 0 && done;
}

} // namespace

IpodDatabaseFiles::IpodDatabaseFiles(std::string root, bool artwork)
    : root_(std::move(root)), artwork_(artwork) {}

std::vector<std::string> IpodDatabaseFiles::picture_files() const {
    std::vector<std::string> names;
    if (DIR* listing = ::opendir((root_ + artwork_folder).c_str())) {
        while (const dirent* entry = ::readdir(listing)) {
            const std::string name = entry->d_name;
            const std::string suffix = ".ithmb";
            if (name.size() > suffix.size() && name.front() == 'F' &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
                names.push_back(artwork_folder + name);
            }
        }
        ::closedir(listing);
    }
    return names;
}

std::optional<std::string> IpodDatabaseFiles::unwritable() const {
    if (::access((root_ + itunes_folder).c_str(), W_OK) != 0) {
        return std::string(itunes_folder) + ": " + error_text();
    }
    std::vector<std::string> written = {"iPod_Control/iTunes/iTunesDB",
                                        "iPod_Control/iTunes/iTunesCDB",
                                        "iPod_Control/iTunes/iTunesSD"};
    if (artwork_) {
        // libgpod makes the artwork folder where it is missing.
        const std::string folder =
            exists(root_ + artwork_folder) ? artwork_folder : "iPod_Control/";
        if (::access((root_ + folder).c_str(), W_OK) != 0) {
            return folder + ": " + error_text();
        }
        written.push_back("iPod_Control/Artwork/ArtworkDB");
        for (std::string& picture : picture_files()) {
            written.push_back(std::move(picture));
        }
    }
    for (const std::string& name : written) {
        if (exists(root_ + name)) {
            if (const auto problem = cannot_write(root_ + name)) {
                return name + ": " + *problem;
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> IpodDatabaseFiles::keep() {
    kept_.clear();
    picture_sizes_.clear();
    for (const auto& [name, database] : rewritten) {
        KeptFile file;
        file.name = name;
        file.database = database;
        const std::string path = root_ + name;
        if (exists(path)) {
            file.contents = read_regular_file(path);
            file.regular = file.contents.has_value();
            struct stat status {};
            if (!file.regular && ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
                return "cannot read " + name + ": " + error_text();
            }
        }
        if (file.contents && file.database) {
            // A batch that changed nothing leaves the generations as they are.
            const std::string newest = path + backup_suffix;
            if (read_regular_file(newest) != file.contents) {
                for (int generation = older_generations; generation > 0; --generation) {
                    const std::string older = newest + "." + std::to_string(generation);
                    const std::string newer =
                        generation == 1 ? newest : newest + "." + std::to_string(generation - 1);
                    if (::rename(newer.c_str(), older.c_str()) != 0 && errno != ENOENT) {
                        return "cannot keep a backup of " + name + ": " + error_text();
                    }
                }
                std::string failure;
                if (!replace_file_atomically(newest, *file.contents, &failure)) {
                    // The newest backup there was is still the newest.
                    ::rename((newest + ".1").c_str(), newest.c_str());
                    return "cannot keep a backup of " + name + ": " + failure;
                }
            }
        }
        kept_.push_back(std::move(file));
    }
    artwork_folder_existed_ = exists(root_ + artwork_folder);
    for (const std::string& name : picture_files()) {
        struct stat status {};
        if (::stat((root_ + name).c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
            picture_sizes_[name] = static_cast<std::uint64_t>(status.st_size);
        }
    }
    return std::nullopt;
}

std::optional<std::string> IpodDatabaseFiles::restore() const {
    std::vector<std::string> not_restored;
    // What the write added goes first: on a full iPod its room is what the old files need.
    for (const std::string& name : picture_files()) {
        const std::string path = root_ + name;
        struct stat status {};
        const auto before = picture_sizes_.find(name);
        if (before == picture_sizes_.end()) {
            if (::unlink(path.c_str()) != 0) {
                not_restored.push_back(name);
            }
        } else if (::stat(path.c_str(), &status) == 0 &&
                   static_cast<std::uint64_t>(status.st_size) != before->second) {
            // libgpod only appends new pictures, unless it packs those of removed tracks
            // together first: what it moved cannot be moved back.
            if (static_cast<std::uint64_t>(status.st_size) < before->second ||
                ::truncate(path.c_str(), static_cast<off_t>(before->second)) != 0) {
                not_restored.push_back(name);
            }
        }
    }
    for (const KeptFile& file : kept_) {
        const std::string path = root_ + file.name;
        if (!file.regular) {
            continue;
        }
        if (!file.contents) {
            if (exists(path) && ::unlink(path.c_str()) != 0) {
                not_restored.push_back(file.name);
            }
            continue;
        }
        if (read_regular_file(path) == file.contents) {
            continue;
        }
        if (!replace_file_atomically(path, *file.contents) &&
            !write_in_place(path, *file.contents)) {
            not_restored.push_back(
                file.name + (file.database ? " (its backup is " + file.name + backup_suffix + ")"
                                           : std::string()));
        }
    }
    if (!artwork_folder_existed_) {
        ::rmdir((root_ + artwork_folder).c_str()); // only when the write left it empty
    }
    if (not_restored.empty()) {
        return std::nullopt;
    }
    std::string list;
    for (const std::string& name : not_restored) {
        list += (list.empty() ? "" : ", ") + name;
    }
    return "not put back as it was: " + list;
}

std::optional<std::string> IpodDatabaseFiles::flush() const {
    std::vector<std::string> names;
    for (const auto& [name, database] : rewritten) {
        struct stat status {};
        if (::stat((root_ + name).c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
            names.push_back(name);
        }
    }
    if (artwork_) {
        for (std::string& picture : picture_files()) {
            names.push_back(std::move(picture));
        }
    }
    for (const std::string& name : names) {
        if (!flushed(root_ + name, O_RDONLY)) {
            return name + ": " + error_text();
        }
    }
    for (const char* folder : {itunes_folder, artwork_folder}) {
        if (exists(root_ + folder) && !flushed(root_ + folder, O_RDONLY | O_DIRECTORY)) {
            return std::string(folder) + ": " + error_text();
        }
    }
    return std::nullopt;
}

} // namespace morvane
