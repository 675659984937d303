// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/ipod_journal.h"

#include "platform/regular_file.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace morvane {

namespace {

// A batch of ten thousand copies notes about 400 kB; more than this is no journal of ours.
constexpr std::size_t longest_journal = 16 * 1024 * 1024;

bool same_name(const std::string& name, const char* expected) {
    if (name.size() != std::strlen(expected)) {
        return false;
    }
    for (std::size_t index = 0; index < name.size(); ++index) {
        if (std::tolower(static_cast<unsigned char>(name[index])) !=
            std::tolower(static_cast<unsigned char>(expected[index]))) {
            return false;
        }
    }
    return true;
}

// The parts of `relative` when it names a copy as libgpod makes them,
// iPod_Control/Music/<folder>/<file>; nothing for any other path.
std::optional<std::vector<std::string>> copy_parts(const std::string& relative) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = relative.find('/', start);
        parts.push_back(relative.substr(start, end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    if (parts.size() != 4 || !same_name(parts[0], "iPod_Control") ||
        !same_name(parts[1], "Music")) {
        return std::nullopt;
    }
    for (const std::string& part : parts) {
        if (part.empty() || part == "." || part == ".." || part.find('\0') != std::string::npos) {
            return std::nullopt;
        }
    }
    return parts;
}

// Removes the plain file the parts name, never following a link on the way; false when it
// is there but could not be removed.
bool remove_copy(const std::string& root, const std::vector<std::string>& parts) {
    int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (std::size_t index = 0; folder >= 0 && index + 1 < parts.size(); ++index) {
        const int inner =
            ::openat(folder, parts[index].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(folder);
        folder = inner;
    }
    if (folder < 0) {
        // No such folder, or a link or a file where one should be: nothing of ours is there.
        return errno == ENOENT || errno == ELOOP || errno == ENOTDIR;
    }
    // Anything but a plain file is no copy of ours, and stays.
    struct stat status {};
    bool removed = true;
    if (::fstatat(folder, parts.back().c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
        removed = !S_ISREG(status.st_mode) || ::unlinkat(folder, parts.back().c_str(), 0) == 0;
    } else {
        removed = errno == ENOENT;
    }
    ::fsync(folder);
    ::close(folder);
    return removed;
}

} // namespace

IpodJournal::IpodJournal(std::string root) : root_(std::move(root)) {}

std::optional<std::string> IpodJournal::note(const std::string& copy) {
    if (copy.compare(0, root_.size(), root_) != 0) {
        return "the copy " + copy + " is not on the iPod";
    }
    const std::string line = copy.substr(root_.size()) + "\n";
    const int descriptor = ::open((root_ + name).c_str(),
                                  O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        return std::string(std::strerror(errno));
    }
    struct stat status {};
    std::optional<std::string> problem;
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        problem = "it is not a regular file";
    } else if (::write(descriptor, line.data(), line.size()) != static_cast<ssize_t>(line.size()) ||
               ::fsync(descriptor) != 0) {
        problem = std::strerror(errno);
    }
    ::close(descriptor);
    return problem;
}

void IpodJournal::remove_unlisted(const std::function<bool(const std::string&)>& listed) {
    const std::string notes = read_regular_file(root_ + name, longest_journal).value_or("");
    bool all_gone = true;
    std::size_t start = 0;
    while (start < notes.size()) {
        std::size_t end = notes.find('\n', start);
        if (end == std::string::npos) {
            end = notes.size();
        }
        const std::string relative = notes.substr(start, end - start);
        start = end + 1;
        if (const auto parts = copy_parts(relative); parts && !listed(relative)) {
            all_gone = remove_copy(root_, *parts) && all_gone;
        }
    }
    // A copy that could not be removed is tried again by the next sender.
    if (all_gone) {
        clear();
    }
}

void IpodJournal::clear() {
    ::unlink((root_ + name).c_str());
}

} // namespace morvane
