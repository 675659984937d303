// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/input_collector.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
}

namespace morvane {

namespace {

// Enough of a file for FFmpeg to tell its format.
constexpr std::size_t sniffed_bytes = 64 * 1024;

// Formats of pictures and text, which FFmpeg opens too but which are nobody's song or film.
bool picture_or_text(std::string_view format) {
    static constexpr std::string_view formats[] = {
        "image2",     "tty",         "bin",       "xbin",        "idf",       "adf",
        "ffmetadata", "srt",         "ass",       "webvtt",      "subviewer", "subviewer1",
        "microdvd",   "mpl2",        "mpsub",     "pjs",         "realtext",  "sami",
        "stl",        "jacosub",     "vplayer",   "aqtitle",     "lrc",       "scc",
        "mcc",        "tedcaptions", "vobsub",    "sup",         "dvbsub",    "dvbtxt",
        "apng",       "gif",         "alias_pix", "brender_pix", "fits",      "webp_pipe",
    };
    return std::find(std::begin(formats), std::end(formats), format) != std::end(formats) ||
           (format.size() > 5 && format.substr(format.size() - 5) == "_pipe");
}

// A sound or film format whose extensions include the file's.
bool media_extension(const std::string& path) {
    void* state = nullptr;
    while (const AVInputFormat* format = av_demuxer_iterate(&state)) {
        if (format->extensions != nullptr && !picture_or_text(format->name) &&
            av_match_ext(path.c_str(), format->extensions) != 0) {
            return true;
        }
    }
    return false;
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

bool looks_like_media(const std::string& path) {
    // Only regular files: a named pipe or a device would wait for data forever.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        return media_extension(path); // it fails in the batch with its reason
    }
    struct stat status {};
    std::vector<unsigned char> start(sniffed_bytes + AVPROBE_PADDING_SIZE, 0);
    ssize_t got = -1;
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
        got = ::read(descriptor, start.data(), sniffed_bytes);
    }
    ::close(descriptor);
    if (got < 0) {
        return false;
    }
    AVProbeData probe{};
    probe.filename = path.c_str();
    probe.buf = start.data();
    probe.buf_size = static_cast<int>(got);
    int score = 0;
    const AVInputFormat* format = av_probe_input_format3(&probe, 1, &score);
    // Above what a file name alone or a few lucky bytes earn.
    if (format != nullptr && score > AVPROBE_SCORE_EXTENSION && !picture_or_text(format->name)) {
        return true;
    }
    return media_extension(path);
}

} // namespace morvane
