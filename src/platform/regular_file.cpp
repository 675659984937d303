// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {

std::optional<std::string> read_regular_file(const std::string& path, std::size_t limit) {
    // O_NONBLOCK: a FIFO in its place must not hang us.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (descriptor < 0) {
        return std::nullopt;
    }
    std::optional<std::string> contents;
    struct stat status {};
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
        contents.emplace();
        char block[64 * 1024];
        while (contents && contents->size() < limit) {
            const ssize_t count =
                ::read(descriptor, block, std::min(sizeof block, limit - contents->size()));
            if (count == 0) {
                break;
            }
            if (count < 0 && errno != EINTR) {
                contents.reset();
            } else if (count > 0) {
                contents->append(block, static_cast<std::size_t>(count));
            }
        }
    }
    ::close(descriptor);
    return contents;
}

} // namespace morvane
