// SPDX-License-Identifier: GPL-3.0-or-later
// The journal check: the bytes as an iPod's iPod_Control/iTunes/morvane-journal, read back
// by the next sender on an iPod that holds, besides an unlisted copy the notes may name,
// what must stay whatever they say: a listed copy, the database, files outside
// iPod_Control/Music/, a FIFO, and links that lead out of the iPod.
#include "parser_checks.h"
#include "players/ipod_journal.h"

#include <cctype>
#include <sys/stat.h>

namespace morvane::fuzz {

namespace {

enum class Kind { file, link, fifo };

struct Planted {
    const char* path; // under the work folder
    Kind kind;
    bool stays;
};

// "ipod/" is the iPod's root; "outside/" is beside it.
constexpr Planted planted[] = {
    {"ipod/iPod_Control/Music/F00/ABCD.mp3", Kind::file, false}, // no track names it
    {"ipod/iPod_Control/Music/F01/LIST.m4a", Kind::file, true},  // a track names it
    {"ipod/iPod_Control/iTunes/iTunesDB", Kind::file, true},
    {"ipod/KEEP.txt", Kind::file, true},
    {"outside/KEEP.mp3", Kind::file, true},
    {"ipod/iPod_Control/Music/F02", Kind::link, true}, // -> outside/
    {"ipod/iPod_Control/Music/F03/PIPE.mp3", Kind::fifo, true},
    {"ipod/iPod_Control/Music/F04/LINK.mp3", Kind::link, true}, // -> outside/KEEP.mp3
};

constexpr const char* unlisted_copy = "iPod_Control/Music/F00/ABCD.mp3";
constexpr const char* listed_copy = "ipod_control/music/f01/list.m4a";

bool is_kind(const std::filesystem::path& path, Kind kind) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return false;
    }
    switch (kind) {
    case Kind::file:
        return S_ISREG(status.st_mode);
    case Kind::link:
        return S_ISLNK(status.st_mode);
    case Kind::fifo:
        return S_ISFIFO(status.st_mode);
    }
    return false;
}

// Makes what is planted where it is missing (the unlisted copy goes whenever a note names
// it); false when something cannot be made.
bool plant(const std::filesystem::path& work_folder) {
    for (const Planted& item : planted) {
        const std::filesystem::path path = work_folder / item.path;
        if (is_kind(path, item.kind)) {
            continue;
        }
        std::error_code error;
        std::filesystem::create_directories(path.parent_path(), error);
        switch (item.kind) {
        case Kind::file:
            if (!write_whole_file(path, "a copy")) {
                return false;
            }
            break;
        case Kind::link:
            std::filesystem::create_symlink(
                path.filename() == "F02" ? "../../../outside" : "../../../../outside/KEEP.mp3",
                path, error);
            break;
        case Kind::fifo:
            if (::mkfifo(path.c_str(), 0600) != 0) {
                return false;
            }
            break;
        }
        if (error) {
            return false;
        }
    }
    return true;
}

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool has_line(std::string_view text, std::string_view line) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        if (text.substr(start, end - start) == line) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

} // namespace

std::optional<std::string> check_ipod_journal(std::string_view bytes,
                                              const std::filesystem::path& work_folder) {
    if (!plant(work_folder)) {
        return std::nullopt;
    }
    const std::filesystem::path root = work_folder / "ipod";
    if (!write_whole_file(root / IpodJournal::name, bytes)) {
        return std::nullopt;
    }
    IpodJournal journal(root.string() + "/");
    // As the sender asks its database: in lower case, as FAT compares names.
    journal.remove_unlisted(
        [](const std::string& relative) { return lower(relative) == listed_copy; });
    for (const Planted& item : planted) {
        if (item.stays && !is_kind(work_folder / item.path, item.kind)) {
            return std::string(item.path) + " did not stay";
        }
    }
    if (has_line(bytes, unlisted_copy) && is_kind(root / unlisted_copy, Kind::file)) {
        return std::string("the unlisted copy ") + unlisted_copy + ", noted, stayed";
    }
    return std::nullopt;
}

} // namespace morvane::fuzz
