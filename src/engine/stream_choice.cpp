// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/stream_choice.h"

#include "engine/cover_art.h"

namespace morvane {

namespace {

// A stream the input set aside (declared, but without a single packet in the file) is never
// taken: a picture track without pictures would leave the film without a size.
bool present(const AVStream* stream) {
    return stream->discard < AVDISCARD_ALL;
}

// The first moving video (not a cover) or the first sound with its rate and channels, as
// FFmpeg would take it, among the streams present; -1 when there is none.
int first_present(const AVFormatContext& container, AVMediaType type) {
    for (unsigned index = 0; index < container.nb_streams; ++index) {
        const AVStream* stream = container.streams[index];
        const AVCodecParameters& parameters = *stream->codecpar;
        if (parameters.codec_type == type && present(stream) && !is_cover_art(stream) &&
            (type != AVMEDIA_TYPE_AUDIO ||
             (parameters.sample_rate > 0 && parameters.ch_layout.nb_channels > 0))) {
            return static_cast<int>(index);
        }
    }
    return -1;
}

} // namespace

StreamChoice choose_streams(const AVFormatContext& container) {
    auto* context = const_cast<AVFormatContext*>(&container); // av_find_best_stream only reads
    StreamChoice choice;
    int video = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video >= 0 &&
        (is_cover_art(container.streams[video]) || !present(container.streams[video]))) {
        // FFmpeg prefers moving video, so a cover won only where there is none, or where it
        // is flagged default and the video is not: take the first moving video then. Nor does
        // it know of streams set aside.
        video = first_present(container, AVMEDIA_TYPE_VIDEO);
    }
    choice.video = video >= 0 ? video : -1;
    int audio = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, choice.video, nullptr, 0);
    if (audio >= 0 && !present(container.streams[audio])) {
        audio = first_present(container, AVMEDIA_TYPE_AUDIO);
    }
    choice.audio = audio >= 0 ? audio : -1;
    for (unsigned index = 0; index < container.nb_streams && choice.cover_art < 0; ++index) {
        const AVStream* stream = container.streams[index];
        if (is_cover_art(stream) && stream->attached_pic.size > 0) {
            choice.cover_art = static_cast<int>(index);
        }
    }
    return choice;
}

} // namespace morvane
