// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace morvane {
namespace {

namespace fs = std::filesystem;

bool write_all(int fd, std::string_view contents) {
    while (!contents.empty()) {
        const ssize_t written = ::write(fd, contents.data(), contents.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        contents.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// Created exclusively, so two writers never share a temporary file.
int create_temporary(const fs::path& target, std::string& temporary_path) {
    std::random_device random;
    for (int attempt = 0; attempt < 32; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        temporary_path =
            (target.parent_path() / ("." + target.filename().string() + "." + suffix + ".tmp"))
                .string();
        const int fd =
            ::open(temporary_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// The rename itself must reach the disk before a power-off, not only the data.
void flush_folder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool replace_file_atomically(const std::string& path, std::string_view contents,
                             std::string* failure) {
    auto fail = [failure](std::string reason) {
        if (failure != nullptr) {
            *failure = std::move(reason);
        }
        return false;
    };
    if (path.empty()) {
        return fail("no file name");
    }
    std::error_code error;
    fs::path target = fs::absolute(fs::path(path), error);
    if (error) {
        return fail(error.message());
    }
    if (fs::is_symlink(target, error)) {
        const fs::path resolved = fs::canonical(target, error);
        if (!error) {
            target = resolved;
        }
    }

    struct stat old_file {};
    const bool had_old_file = ::stat(target.c_str(), &old_file) == 0;
    if (had_old_file && !S_ISREG(old_file.st_mode)) {
        return fail(S_ISDIR(old_file.st_mode) ? "is a folder" : "not a regular file");
    }
    if (had_old_file && ::access(target.c_str(), W_OK) != 0) {
        return fail(std::strerror(errno));
    }

    std::string temporary_path;
    const int fd = create_temporary(target, temporary_path);
    if (fd < 0) {
        return fail(std::strerror(errno));
    }
    int saved_errno = 0;
    auto step = [&saved_errno](bool ok) {
        if (!ok && saved_errno == 0) {
            saved_errno = errno;
        }
        return ok;
    };
    bool ok = step(write_all(fd, contents));
    if (ok && had_old_file) {
        ok = step(::fchmod(fd, old_file.st_mode & 07777) == 0);
    }
    ok = ok && step(::fsync(fd) == 0);
    ok = step(::close(fd) == 0) && ok;
    ok = ok && step(::rename(temporary_path.c_str(), target.c_str()) == 0);
    if (!ok) {
        ::unlink(temporary_path.c_str());
        return fail(std::strerror(saved_errno != 0 ? saved_errno : EIO));
    }
    flush_folder(target.parent_path());
    return true;
}

} // namespace morvane
