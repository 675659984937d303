// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/player_root.h"

#include <cctype>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {

namespace {

// SysInfo is a few hundred bytes of "Key: value" lines; more is not an iPod's SysInfo.
constexpr std::size_t longest_sysinfo = 64 * 1024;
constexpr std::size_t longest_model_number = 32;

bool is_folder(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The start of a regular file, at most `limit` bytes; empty for anything else.
std::string read_start(const std::string& path, std::size_t limit) {
    // O_NONBLOCK: a FIFO in its place must not hang us.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        return {};
    }
    std::string contents;
    struct stat status {};
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
        contents.resize(limit);
        std::size_t filled = 0;
        while (filled < limit) {
            const ssize_t count = ::read(descriptor, contents.data() + filled, limit - filled);
            if (count <= 0) {
                break; // the end, or a read error: what was read is all there is
            }
            filled += static_cast<std::size_t>(count);
        }
        contents.resize(filled);
    }
    ::close(descriptor);
    return contents;
}

std::string trimmed(std::string text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.back())) {
        text.pop_back();
    }
    std::size_t start = 0;
    while (start < text.size() && blank(text[start])) {
        ++start;
    }
    return text.substr(start);
}

// The value of the "ModelNumStr:" line, when it looks like a model number.
std::string model_number(const std::string& sysinfo) {
    const std::string key = "ModelNumStr:";
    std::size_t start = 0;
    while (start < sysinfo.size()) {
        std::size_t end = sysinfo.find('\n', start);
        if (end == std::string::npos) {
            end = sysinfo.size();
        }
        if (sysinfo.compare(start, key.size(), key) == 0) {
            const std::string value =
                trimmed(sysinfo.substr(start + key.size(), end - start - key.size()));
            bool plausible = !value.empty() && value.size() <= longest_model_number;
            for (const char c : value) {
                plausible = plausible && std::isalnum(static_cast<unsigned char>(c)) != 0;
            }
            return plausible ? value : std::string();
        }
        start = end + 1;
    }
    return {};
}

} // namespace

std::optional<PlayerRoot> find_player_root(const std::string& folder) {
    PlayerRoot root;
    root.path = folder;
    if (root.path.empty() || root.path.back() != '/') {
        root.path += '/';
    }
    if (!is_folder(root.path)) {
        return std::nullopt;
    }
    if (is_folder(root.path + "iPod_Control")) {
        root.kind = PlayerKind::ipod;
        root.model_number =
            model_number(read_start(root.path + "iPod_Control/Device/SysInfo", longest_sysinfo));
        return root;
    }
    if (is_folder(root.path + "PSP")) {
        root.kind = PlayerKind::psp;
        return root;
    }
    return std::nullopt;
}

std::string player_kind_name(PlayerKind kind) {
    return kind == PlayerKind::ipod ? "iPod" : "PSP";
}

} // namespace morvane
