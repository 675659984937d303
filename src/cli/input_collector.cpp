#include "cli/input_collector.h"

#include "engine/cover_art.h"
#include "engine/ffmpeg_ptr.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string_view>
#include <sys/stat.h>

namespace morvane {

namespace fs = std::filesystem;

InputCollector::InputCollector(bool recursive, const std::string& output_folder,
                               std::function<bool()> stopped)
    : recursive_(recursive), output_folder_(output_folder), stopped_(std::move(stopped)) {}

void InputCollector::add(const std::string& path) {
    std::error_code error;
    if (recursive_ && fs::is_directory(path, error)) {
        walk(path);
    } else {
        inputs_.push_back(path);
    }
}

void InputCollector::walk(const std::string& folder) {
    std::error_code error;
    if (!output_folder_.empty() && fs::equivalent(folder, output_folder_, error)) {
        return;
    }
    // Sorted, so that a rerun meets the files in the same order and gives the same names.
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error),
         end;
         !error && it != end; it.increment(error)) {
        entries.push_back(*it);
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return a.path().filename() < b.path().filename();
    });
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + '/';
    for (const fs::directory_entry& entry : entries) {
        if (stopped_()) {
            return;
        }
        const std::string name = entry.path().filename().string();
        // Hidden files include the temporaries of conversions still being written.
        if (name.empty() || name[0] == '.') {
            continue;
        }
        const std::string path = prefix + name;
        // Links to folders are not followed: a link back up would never end.
        if (entry.is_directory(error) && !entry.is_symlink(error)) {
            walk(path);
        } else if (is_media_file(path)) {
            inputs_.push_back(path);
        } else {
            ++passed_over_;
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

bool is_media_file(const std::string& path) {
    // Only regular files: a named pipe or a device would wait for data forever.
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    AVFormatContext* raw_context = nullptr;
    if (avformat_open_input(&raw_context, path.c_str(), nullptr, nullptr) < 0) {
        return false;
    }
    InputFormatPtr container(raw_context);
    // Pictures (image2, png_pipe, ...) and text shown as pictures (tty) open as "video".
    const std::string_view format = container->iformat->name;
    if (format == "image2" || format == "tty" ||
        (format.size() > 5 && format.substr(format.size() - 5) == "_pipe")) {
        return false;
    }
    if (avformat_find_stream_info(container.get(), nullptr) < 0) {
        return false;
    }
    for (unsigned index = 0; index < container->nb_streams; ++index) {
        const AVStream* stream = container->streams[index];
        const AVCodecParameters& parameters = *stream->codecpar;
        // A stream whose parameters the probe could not find is the demuxer's guess from
        // the file name, not content.
        const bool sound = parameters.codec_type == AVMEDIA_TYPE_AUDIO &&
                           parameters.sample_rate > 0 && parameters.ch_layout.nb_channels > 0;
        const bool pictures = parameters.codec_type == AVMEDIA_TYPE_VIDEO && parameters.width > 0 &&
                              !is_cover_art(stream);
        if (sound || pictures) {
            return true;
        }
    }
    return false;
}

} // namespace morvane
