// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/input_collector.h"

#include "engine/media_formats.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {

namespace {

// Enough of a file for FFmpeg to tell its format.
constexpr std::size_t sniffed_bytes = 64 * 1024;

// The usual names of files whose formats FFmpeg tells by their content alone, naming no
// extension of their own.
constexpr const char* names_known_by_content[] = {
    "aif", "aiff", "amr", "asf", "divx", "m2ts", "mpeg", "mpg", "mts", "oga",
    "ogv", "opus", "ra",  "rm",  "rmvb", "ts",   "vob",  "wav", "wma", "wmv",
};

// Whether the file's name ends in a media extension.
bool media_extension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    if (extension.size() < 2) {
        return false;
    }
    extension.erase(0, 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::vector<std::string>& known = media_extensions();
    return std::binary_search(known.begin(), known.end(), extension);
}

} // namespace

InputCollector::InputCollector(bool recursive, const std::string& output_folder,
                               std::function<bool()> stopped, WalkProgress walk_progress)
    : recursive_(recursive), output_folder_(output_folder), stopped_(std::move(stopped)),
      walk_progress_(std::move(walk_progress)) {}

void InputCollector::add(const std::string& path) {
    struct stat status {};
    if (recursive_ && ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        walk(path, "");
    } else {
        keep(path, std::filesystem::path(path).filename().string());
    }
}

void InputCollector::keep(const std::string& path, std::string relative_path) {
    struct stat status {};
    const std::string key =
        ::stat(path.c_str(), &status) == 0
            ? std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino)
            : "name:" + path;
    const auto [first, new_file] = first_met_.emplace(key, path);
    inputs_.push_back({path, std::move(relative_path), new_file ? std::string() : first->second});
    if (new_file) {
        ++media_found_;
    }
}

void InputCollector::walk(const std::string& folder, const std::string& relative_folder) {
    struct stat here {};
    if (::stat(folder.c_str(), &here) != 0) {
        unreadable_.push_back({folder, std::strerror(errno)});
        return;
    }
    struct stat output {};
    if (!output_folder_.empty() && ::stat(output_folder_.c_str(), &output) == 0 &&
        here.st_dev == output.st_dev && here.st_ino == output.st_ino) {
        return;
    }
    if (!walked_.insert({here.st_dev, here.st_ino}).second) {
        return; // reached before, through another name or an overlapping folder
    }
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) {
        unreadable_.push_back({folder, std::strerror(errno)});
        return;
    }
    // Sorted, so that a rerun meets the files in the same order and gives the same names.
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(listing)) {
        // Hidden files include the temporaries of conversions still being written.
        if (entry->d_name[0] != '.') {
            names.emplace_back(entry->d_name);
        }
        errno = 0;
    }
    if (errno != 0) {
        unreadable_.push_back({folder, std::strerror(errno)});
    }
    ::closedir(listing);
    std::sort(names.begin(), names.end());
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + '/';
    for (const std::string& name : names) {
        if (stopped_()) {
            return;
        }
        const std::string path = prefix + name;
        const std::string relative = relative_folder.empty() ? name : relative_folder + "/" + name;
        struct stat entry {};
        // Links to folders are not followed: a link back up would never end.
        if (::lstat(path.c_str(), &entry) == 0 && S_ISDIR(entry.st_mode)) {
            walk(path, relative);
            continue;
        }
        ++files_seen_;
        if (looks_like_media(path)) {
            keep(path, relative);
        } else {
            passed_over_.push_back(path);
        }
        if (walk_progress_) {
            walk_progress_(files_seen_, media_found_);
        }
    }
}

std::optional<std::string> read_name_list(const std::string& list, bool null_separated,
                                          std::vector<std::string>& names) {
    std::ifstream file;
    if (list != "-") {
        file.open(list, std::ios::binary);
        if (!file) {
            return "cannot read the list " + list + ": " + std::strerror(errno);
        }
    }
    std::istream& in = list == "-" ? std::cin : file;
    const char separator = null_separated ? '\0' : '\n';
    for (std::string name; std::getline(in, name, separator);) {
        if (!name.empty()) {
            names.push_back(std::move(name));
        }
    }
    if (in.bad()) {
        return "cannot read the list " + list;
    }
    return std::nullopt;
}

const std::vector<std::string>& media_extensions() {
    static const std::vector<std::string> extensions = [] {
        std::vector<std::string> all = media_format_extensions();
        all.insert(all.end(), std::begin(names_known_by_content), std::end(names_known_by_content));
        std::sort(all.begin(), all.end());
        all.erase(std::unique(all.begin(), all.end()), all.end());
        return all;
    }();
    return extensions;
}

bool looks_like_media(const std::string& path) {
    // Only regular files: a named pipe or a device would wait for data forever.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        return media_extension(path); // it fails in the batch with its reason
    }
    struct stat status {};
    std::vector<std::uint8_t> start(sniffed_bytes);
    ssize_t got = -1;
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
        got = ::read(descriptor, start.data(), sniffed_bytes);
    }
    ::close(descriptor);
    if (got < 0) {
        return false;
    }
    start.resize(static_cast<std::size_t>(got));
    return sniffed_as_media(path, start) || media_extension(path);
}

} // namespace morvane
