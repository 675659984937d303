// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/player_root.h"

#include "platform/regular_file.h"

#include <cctype>
#include <sys/stat.h>

namespace morvane {

namespace {

// SysInfo is a few hundred bytes of "Key: value" lines; more is not an iPod's SysInfo.
constexpr std::size_t longest_sysinfo = 64 * 1024;
constexpr std::size_t longest_model_number = 32;

bool is_folder(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
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
        root.model_number = model_number(
            read_regular_file(root.path + "iPod_Control/Device/SysInfo", longest_sysinfo)
                .value_or(""));
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
