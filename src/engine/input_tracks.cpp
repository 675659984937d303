// SPDX-License-Identifier: GPL-3.0-or-later
// Lists an input's sound and subtitle streams from FFmpeg's demuxer.
#include "engine/input_tracks.h"

#include "engine/cover_art.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include <utility>

namespace morvane {

namespace {

std::string tag(const AVStream& stream, const char* key) {
    const AVDictionaryEntry* entry = av_dict_get(stream.metadata, key, nullptr, 0);
    return entry != nullptr && entry->value != nullptr ? std::string(entry->value) : std::string();
}

bool has(const AVStream& stream, int disposition) {
    return (stream.disposition & disposition) != 0;
}

} // namespace

std::vector<InputTrack> input_tracks(const MediaInput& input) {
    std::vector<InputTrack> tracks;
    const AVFormatContext& container = input.container();
    for (unsigned index = 0; index < container.nb_streams; ++index) {
        const AVStream& stream = *container.streams[index];
        const AVCodecParameters& parameters = *stream.codecpar;
        if (stream.discard >= AVDISCARD_ALL || is_cover_art(&stream)) {
            continue;
        }
        InputTrack track;
        if (parameters.codec_type == AVMEDIA_TYPE_AUDIO) {
            track.kind = InputTrack::Kind::sound;
            track.channels = parameters.ch_layout.nb_channels;
            track.sample_rate = parameters.sample_rate;
        } else if (parameters.codec_type == AVMEDIA_TYPE_SUBTITLE) {
            // A subtitle codec FFmpeg does not describe is neither: nothing could show it.
            const AVCodecDescriptor* descriptor = avcodec_descriptor_get(parameters.codec_id);
            if (descriptor == nullptr) {
                continue;
            }
            if ((descriptor->props & AV_CODEC_PROP_TEXT_SUB) != 0) {
                track.kind = InputTrack::Kind::text_subtitles;
            } else if ((descriptor->props & AV_CODEC_PROP_BITMAP_SUB) != 0) {
                track.kind = InputTrack::Kind::bitmap_subtitles;
            } else {
                continue;
            }
        } else {
            continue;
        }
        track.index = static_cast<int>(index);
        const char* name = avcodec_get_name(parameters.codec_id);
        track.codec = name != nullptr ? name : "";
        track.language = tag(stream, "language");
        track.title = tag(stream, "title");
        track.is_default = has(stream, AV_DISPOSITION_DEFAULT);
        track.forced = has(stream, AV_DISPOSITION_FORCED);
        track.commentary = has(stream, AV_DISPOSITION_COMMENT);
        track.descriptive = has(stream, AV_DISPOSITION_VISUAL_IMPAIRED);
        track.hearing_impaired = has(stream, AV_DISPOSITION_HEARING_IMPAIRED);
        tracks.push_back(std::move(track));
    }
    return tracks;
}

} // namespace morvane
