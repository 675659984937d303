// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/temporary_output.h"

#include "jobs/output_naming.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {
namespace {

constexpr const char* prefix = ".morvane-partial-";
constexpr std::size_t random_digits = 16;

std::string with_final_slash(std::string folder) {
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

std::string error_text(int error) {
    return std::strerror(error);
}

bool is_temporary_name(const char* name) {
    const std::size_t prefix_length = std::strlen(prefix);
    if (std::strncmp(name, prefix, prefix_length) != 0 ||
        std::strlen(name) < prefix_length + random_digits) {
        return false;
    }
    for (std::size_t index = 0; index < random_digits; ++index) {
        const char digit = name[prefix_length + index];
        if (!((digit >= '0' && digit <= '9') || (digit >= 'a' && digit <= 'f'))) {
            return false;
        }
    }
    return true;
}

// Whether the open file is still the one at `path`: a cleaner may have removed the name
// between our open and our lock.
bool still_named(int descriptor, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(descriptor, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

void flush_folder(const std::string& folder) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}

// Gives `from` the name `to` unless `to` exists; errno EEXIST when it does.
bool rename_without_replacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        return false;
    }
    // The file system cannot rename without replacing: a hard link fails on an existing name.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno != EPERM && errno != EOPNOTSUPP) {
        return false;
    }
    // Neither (FAT on a player): check, then rename; only another writer racing for this
    // very name in this very instant could be replaced.
    struct stat existing {};
    if (::lstat(to.c_str(), &existing) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace

TemporaryOutput::~TemporaryOutput() {
    discard();
}

std::optional<std::string> TemporaryOutput::create(const std::string& folder,
                                                   const std::string& extension) {
    discard();
    folder_ = with_final_slash(folder);
    std::random_device random;
    std::uniform_int_distribution<int> digit(0, 15);
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::string name = prefix;
        for (std::size_t index = 0; index < random_digits; ++index) {
            name += "0123456789abcdef"[digit(random)];
        }
        const std::string path = folder_ + name + extension;
        const int descriptor =
            ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (descriptor < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return error_text(errno);
        }
        if (::flock(descriptor, LOCK_EX) != 0 || !still_named(descriptor, path)) {
            ::close(descriptor);
            continue;
        }
        descriptor_ = descriptor;
        path_ = path;
        return std::nullopt;
    }
    return "cannot create a temporary file";
}

std::optional<std::string> TemporaryOutput::commit(const std::string& planned_path,
                                                   const std::string& extension,
                                                   std::string& final_path) {
    return finish([&] {
        for (long long attempt = 0;; ++attempt) {
            const std::string candidate = output_name_candidate(planned_path, extension, attempt);
            if (rename_without_replacing(path_, candidate)) {
                final_path = candidate;
                return true;
            }
            if (errno != EEXIST) {
                return false;
            }
        }
    });
}

std::optional<std::string> TemporaryOutput::commit_replacing(const std::string& path) {
    return finish([&] { return ::rename(path_.c_str(), path.c_str()) == 0; });
}

std::optional<std::string> TemporaryOutput::finish(const std::function<bool()>& name) {
    if (descriptor_ < 0) {
        return "no temporary file";
    }
    // The data must be on disk before the name says the file is complete.
    if (::fsync(descriptor_) != 0 || !name()) {
        const std::string reason = error_text(errno);
        discard();
        return reason;
    }
    flush_folder(folder_);
    ::close(descriptor_);
    descriptor_ = -1;
    path_.clear();
    return std::nullopt;
}

void TemporaryOutput::discard() {
    if (descriptor_ < 0) {
        return;
    }
    // Unlinked while still locked, so that no cleaner can be fooled by a reused name.
    ::unlink(path_.c_str());
    ::close(descriptor_);
    descriptor_ = -1;
    path_.clear();
}

void TemporaryOutput::remove_stale(const std::string& folder) {
    const std::string base = with_final_slash(folder);
    DIR* listing = ::opendir(base.c_str());
    if (listing == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(listing)) {
        if (!is_temporary_name(entry->d_name)) {
            continue;
        }
        const std::string path = base + entry->d_name;
        const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (descriptor < 0) {
            continue;
        }
        // A live writer holds its lock: only an unlocked temporary is left over.
        struct stat status {};
        if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) &&
            ::flock(descriptor, LOCK_EX | LOCK_NB) == 0 && still_named(descriptor, path)) {
            ::unlink(path.c_str());
        }
        ::close(descriptor);
    }
    ::closedir(listing);
}

} // namespace morvane
