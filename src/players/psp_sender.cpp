// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/psp_sender.h"

#include "engine/video_thumbnail.h"
#include "jobs/temporary_output.h"
#include "platform/free_space.h"
#include "players/fat_file_name.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
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

} // namespace

PspSender::PspSender(std::string root) : root_(std::move(root)) {}

SendOutcome PspSender::send(const FileToSend& file) {
    std::lock_guard lock(sending_);
    return send_one(file);
}

SendOutcome PspSender::send_one(const FileToSend& file) {
    std::string folder = root_;
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    folder += file.media == SentMedia::video ? "VIDEO" : "MUSIC";
    // A stick fresh from the shop may lack the folder; the player reads it at the root.
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        return not_sent("cannot create " + folder + " on the player: " + error_text(errno));
    }
    TemporaryOutput::remove_stale(folder);

    const Descriptor source(::open(file.path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (source.value < 0 || ::fstat(source.value, &status) != 0) {
        return not_sent("cannot read the converted file: " + error_text(errno));
    }
    const auto space = free_space(folder);
    if (const auto* problem = std::get_if<std::string>(&space)) {
        return not_sent("cannot tell the player's free space: " + *problem);
    }
    const std::uint64_t needed =
        static_cast<std::uint64_t>(status.st_size) + space_beyond_the_bytes;
    const std::uint64_t available = std::get<std::uint64_t>(space);
    if (needed > available) {
        return not_enough_space(needed, available);
    }

    const std::string safe_name = fat_file_name(file.name);
    const std::size_t dot = safe_name.find_last_of('.');
    const std::string extension = dot == std::string::npos ? std::string() : safe_name.substr(dot);

    // The temporary goes away with this object unless it was committed.
    TemporaryOutput temporary;
    if (const auto problem = temporary.create(folder, extension)) {
        return not_sent("cannot write in " + folder + " on the player: " + *problem);
    }
    {
        const Descriptor target(::open(temporary.path().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
        if (target.value < 0) {
            return not_sent("cannot write on the player: " + error_text(errno));
        }
        if (const auto problem = copy_all(source.value, target.value)) {
            return not_sent("copying onto the player failed: " + *problem);
        }
    }
    std::string landed;
    if (const auto problem = temporary.commit(folder + "/" + safe_name, extension, landed)) {
        return not_sent("copying onto the player failed: " + *problem);
    }
    if (file.media == SentMedia::video) {
        add_thumbnail(file.path, landed);
    }
    SendOutcome outcome;
    outcome.landed_path = landed;
    return outcome;
}

} // namespace morvane
