// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/stream_choice.h"

#include "engine/cover_art.h"

namespace morvane {

StreamChoice choose_streams(const AVFormatContext& container) {
    auto* context = const_cast<AVFormatContext*>(&container); // av_find_best_stream only reads
    StreamChoice choice;
    int video = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video >= 0 && is_cover_art(container.streams[video])) {
        // FFmpeg prefers moving video, so a cover won only where there is none, or where it
        // is flagged default and the video is not: take the first moving video then.
        video = -1;
        for (unsigned index = 0; index < container.nb_streams && video < 0; ++index) {
            const AVStream* stream = container.streams[index];
            if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !is_cover_art(stream)) {
                video = static_cast<int>(index);
            }
        }
    }
    choice.video = video >= 0 ? video : -1;
    const int audio =
        av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, choice.video, nullptr, 0);
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
