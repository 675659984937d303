// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/media_formats.h"

#include <algorithm>
#include <cctype>
#include <string_view>

extern "C" {
#include <libavformat/avformat.h>
}

namespace morvane {

namespace {

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

} // namespace

std::vector<std::string> media_format_extensions() {
    std::vector<std::string> extensions;
    void* state = nullptr;
    while (const AVInputFormat* format = av_demuxer_iterate(&state)) {
        if (format->extensions == nullptr || picture_or_text(format->name)) {
            continue;
        }
        const std::string_view list = format->extensions;
        for (std::size_t start = 0; start <= list.size();) {
            const std::size_t comma = std::min(list.find(',', start), list.size());
            std::string extension(list.substr(start, comma - start));
            std::transform(extension.begin(), extension.end(), extension.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (!extension.empty()) {
                extensions.push_back(std::move(extension));
            }
            start = comma + 1;
        }
    }
    std::sort(extensions.begin(), extensions.end());
    extensions.erase(std::unique(extensions.begin(), extensions.end()), extensions.end());
    return extensions;
}

bool sniffed_as_media(const std::string& name, const std::vector<std::uint8_t>& start) {
    // FFmpeg's probes read past the data they are given by up to this padding, zeroed.
    std::vector<std::uint8_t> padded(start.size() + AVPROBE_PADDING_SIZE, 0);
    std::copy(start.begin(), start.end(), padded.begin());
    AVProbeData probe{};
    probe.filename = name.c_str();
    probe.buf = padded.data();
    probe.buf_size = static_cast<int>(std::min<std::size_t>(start.size(), 1 << 30));
    int score = 0;
    const AVInputFormat* format = av_probe_input_format3(&probe, 1, &score);
    return format != nullptr && score > AVPROBE_SCORE_EXTENSION && !picture_or_text(format->name);
}

} // namespace morvane
