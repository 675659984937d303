// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/psp_sender.h"

#include "engine/video_thumbnail.h"
#include "jobs/temporary_output.h"
#include "platform/free_space.h"
#include "players/copy_identity.h"
#include "players/fat_file_name.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <variant>
#include <vector>

namespace morvane {

namespace {

// Room for what a file costs beyond its bytes: its last cluster (up to 32 KiB on the FAT
// of a memory stick) and its directory entries.
constexpr std::uint64_t space_beyond_the_bytes = 64 * 1024;
constexpr std::size_t copy_block = 1024 * 1024;

std::string error_text(int error) {
    return std::strerror(error);
}

// Closes the descriptor when it goes out of scope.
struct Descriptor {
    explicit Descriptor(int descriptor) : value(descriptor) {}
    ~Descriptor() {
        if (value >= 0) {
            ::close(value);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int value;
};

// Copies all of `from` into `to`; nothing on success, else the system's reason.
std::optional<std::string> copy_all(int from, int to) {
    std::vector<char> block(copy_block);
    for (;;) {
        const ssize_t count = ::read(from, block.data(), block.size());
        if (count == 0) {
            return std::nullopt;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return "cannot read the converted file: " + error_text(errno);
        }
        for (ssize_t written = 0; written < count;) {
            const ssize_t step =
                ::write(to, block.data() + written, static_cast<std::size_t>(count - written));
            if (step < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return error_text(errno);
            }
            written += step;
        }
    }
}

// The PSP's video browser shows a film with the picture in the JPEG of the same name and
// ".THM" beside it. Made from the film as it landed, only where no such file is there yet; a
// film without one still plays, so a failure here fails nothing.
void add_thumbnail(const std::string& film, const std::string& landed) {
    const std::size_t slash = landed.find_last_of('/');
    const std::size_t dot = landed.find_last_of('.');
    const std::string base =
        dot != std::string::npos && dot > slash ? landed.substr(0, dot) : landed;
    const std::string thumbnail = base + ".THM";
    struct stat status {};
    if (::lstat(thumbnail.c_str(), &status) == 0 || errno != ENOENT) {
        return;
    }
    TemporaryOutput temporary;
    std::string written;
    if (!temporary.create(landed.substr(0, slash), ".THM") &&
        !write_video_thumbnail(film, temporary.path())) {
        temporary.commit(thumbnail, ".THM", written);
    }
}

// "VIDEO" or "MUSIC", then each of the input's folders made FAT-safe: "MUSIC/Artist/Album".
std::string folder_on_stick(const FileToSend& file) {
    std::string folder = file.media == SentMedia::video ? "VIDEO" : "MUSIC";
    std::size_t start = 0;
    while (start < file.folder.size()) {
        std::size_t end = file.folder.find('/', start);
        if (end == std::string::npos) {
            end = file.folder.size();
        }
        if (end > start) {
            folder += '/' + fat_file_name(file.folder.substr(start, end - start));
        }
        start = end + 1;
    }
    return folder;
}

std::string extension_of(const std::string& name) {
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

// Whether `entry` is one of the names the naming rule gives `name`: the name itself, or its
// stem, "_<n>" and its extension.
bool named_after(const std::string& entry, const std::string& name) {
    if (entry == name) {
        return true;
    }
    const std::string extension = extension_of(name);
    const std::string stem = name.substr(0, name.size() - extension.size()) + "_";
    if (entry.size() <= stem.size() + extension.size() ||
        entry.compare(0, stem.size(), stem) != 0 ||
        entry.compare(entry.size() - extension.size(), extension.size(), extension) != 0) {
        return false;
    }
    const std::string_view number =
        std::string_view(entry).substr(stem.size(), entry.size() - stem.size() - extension.size());
    return std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

PspSender::PspSender(std::string root)
    : root_(root.empty() || root.back() != '/' ? root + '/' : root), presence_(root_, "PSP"),
      refusal_(stick_refusal()) {}

std::string PspSender::stick_refusal() const {
    if (!presence_.present()) {
        return PlayerPresence::gone;
    }
    struct statvfs status {};
    if (::statvfs(root_.c_str(), &status) == 0 && (status.f_flag & ST_RDONLY) != 0) {
        return "the memory stick is read-only (mounted read-only, or its lock switch is on)";
    }
    if (::access(root_.c_str(), W_OK) != 0) {
        return "cannot write on the memory stick: " + error_text(errno);
    }
    // No file, however small, fits in less than what each costs beyond its bytes.
    const auto space = free_space(root_);
    if (const auto* available = std::get_if<std::uint64_t>(&space);
        available != nullptr && *available < space_beyond_the_bytes) {
        return player_full(*available);
    }
    return {};
}

SendOutcome PspSender::send(const FileToSend& file) {
    std::lock_guard lock(sending_);
    return send_one(file);
}

SendOutcome PspSender::send_one(const FileToSend& file) {
    if (!refusal_.empty()) {
        return not_sent(refusal_);
    }
    if (!presence_.present()) {
        return not_sent(PlayerPresence::gone);
    }
    const std::string relative = folder_on_stick(file);
    const std::string folder = root_ + relative;
    const std::string safe_name = fat_file_name(file.name);
    if (const std::string held = held_copy(folder, safe_name, file); !held.empty()) {
        SendOutcome outcome;
        outcome.landed_path = held;
        outcome.already_there = true;
        return outcome;
    }

    const Descriptor source(::open(file.path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (source.value < 0 || ::fstat(source.value, &status) != 0) {
        return not_sent("cannot read the converted file: " + error_text(errno));
    }
    const auto space = free_space(root_);
    if (const auto* problem = std::get_if<std::string>(&space)) {
        return failed("cannot tell the player's free space: " + *problem);
    }
    const std::uint64_t needed =
        static_cast<std::uint64_t>(status.st_size) + space_beyond_the_bytes;
    const std::uint64_t available = std::get<std::uint64_t>(space);
    if (needed > available) {
        return not_enough_space(needed, available);
    }
    if (const auto problem = make_folder(relative)) {
        return failed(*problem);
    }
    TemporaryOutput::remove_stale(folder);

    const std::string extension = extension_of(safe_name);
    // The temporary goes away with this object unless it was committed.
    TemporaryOutput temporary;
    if (const auto problem = temporary.create(folder, extension)) {
        return failed("cannot write in " + folder + " on the player: " + *problem);
    }
    {
        const Descriptor target(::open(temporary.path().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
        if (target.value < 0) {
            return failed("cannot write on the player: " + error_text(errno));
        }
        if (!presence_.holds(temporary.path())) {
            return not_sent(PlayerPresence::gone);
        }
        if (const auto problem = copy_all(source.value, target.value)) {
            return failed("copying onto the player failed: " + *problem);
        }
    }
    std::string landed;
    if (const auto problem = temporary.commit(folder + "/" + safe_name, extension, landed)) {
        return failed("copying onto the player failed: " + *problem);
    }
    if (file.media == SentMedia::video) {
        add_thumbnail(file.path, landed);
    }
    SendOutcome outcome;
    outcome.landed_path = landed;
    return outcome;
}

std::optional<std::string> PspSender::make_folder(const std::string& relative) const {
    // A stick fresh from the shop may lack MUSIC/ or VIDEO/; the player reads them at the root.
    for (std::size_t end = relative.find('/');; end = relative.find('/', end + 1)) {
        const std::string folder = root_ + relative.substr(0, end);
        if (::mkdir(folder.c_str(), 0777) == 0) {
            // Made in a race with an unmount: it must not stay on the bare mount point.
            if (!presence_.holds(folder)) {
                ::rmdir(folder.c_str());
                return std::string(PlayerPresence::gone);
            }
        } else if (errno != EEXIST) {
            return "cannot create " + folder + " on the player: " + error_text(errno);
        }
        if (end == std::string::npos) {
            return std::nullopt;
        }
    }
}

std::string PspSender::held_copy(const std::string& folder, const std::string& name,
                                 const FileToSend& file) const {
    // Every name of the rule the folder holds, not only those up to the first free one: the
    // files people remove from a stick leave gaps.
    std::vector<std::string> candidates;
    if (DIR* listing = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(listing)) {
            if (named_after(entry->d_name, name)) {
                candidates.push_back(folder + "/" + entry->d_name);
            }
        }
        ::closedir(listing);
    }
    std::sort(candidates.begin(), candidates.end());
    const CopyIdentity identity(file);
    for (const std::string& candidate : candidates) {
        struct stat status {};
        if (::lstat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
            identity.matches(candidate)) {
            return candidate;
        }
    }
    return {};
}

SendOutcome PspSender::failed(const std::string& reason) const {
    return not_sent(presence_.present() ? reason : PlayerPresence::gone);
}

} // namespace morvane
