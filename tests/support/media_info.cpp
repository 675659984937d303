// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a media file's streams and packet timestamps back for tests.
#include "support/media_info.h"

#include "support/av_error.h"
#include "support/av_handles.h"

#include <algorithm>
#include <stdexcept>

namespace morvane::test {

bool MediaInfo::Stream::dts_strictly_increasing() const {
    for (std::size_t at = 0; at < packets.size(); ++at) {
        if (packets[at].dts == AV_NOPTS_VALUE ||
            (at > 0 && packets[at].dts <= packets[at - 1].dts)) {
            return false;
        }
    }
    return true;
}

double MediaInfo::Stream::largest_dts_step_seconds() const {
    std::int64_t largest = 0;
    for (std::size_t at = 1; at < packets.size(); ++at) {
        if (packets[at].dts != AV_NOPTS_VALUE && packets[at - 1].dts != AV_NOPTS_VALUE) {
            largest = std::max(largest, packets[at].dts - packets[at - 1].dts);
        }
    }
    return static_cast<double>(largest) * av_q2d(time_base);
}

double MediaInfo::Stream::end_seconds() const {
    std::int64_t end = AV_NOPTS_VALUE;
    for (const Packet& packet : packets) {
        if (packet.pts != AV_NOPTS_VALUE &&
            (end == AV_NOPTS_VALUE || packet.pts + packet.duration > end)) {
            end = packet.pts + packet.duration;
        }
    }
    return end == AV_NOPTS_VALUE ? 0.0 : static_cast<double>(end) * av_q2d(time_base);
}

bool MediaInfo::Stream::reordered() const {
    std::int64_t latest = AV_NOPTS_VALUE;
    for (const Packet& packet : packets) {
        if (packet.pts != AV_NOPTS_VALUE && latest != AV_NOPTS_VALUE && packet.pts < latest) {
            return true;
        }
        latest = std::max(latest, packet.pts);
    }
    return false;
}

std::int64_t MediaInfo::Stream::most_bits_in_a_second() const {
    std::vector<std::pair<double, std::int64_t>> timed; // seconds, bits
    for (const Packet& packet : packets) {
        if (packet.dts != AV_NOPTS_VALUE) {
            timed.emplace_back(static_cast<double>(packet.dts) * av_q2d(time_base),
                               std::int64_t{packet.size} * 8);
        }
    }
    std::sort(timed.begin(), timed.end());
    std::int64_t most = 0;
    std::int64_t window = 0;
    std::size_t first = 0;
    for (std::size_t last = 0; last < timed.size(); ++last) {
        window += timed[last].second;
        while (timed[last].first - timed[first].first >= 1.0) {
            window -= timed[first++].second;
        }
        most = std::max(most, window);
    }
    return most;
}

double MediaInfo::Stream::average_bit_rate() const {
    std::int64_t bits = 0;
    for (const Packet& packet : packets) {
        bits += std::int64_t{packet.size} * 8;
    }
    const double seconds = packet_span_seconds();
    return seconds > 0 ? static_cast<double>(bits) / seconds : 0;
}

double MediaInfo::Stream::packet_span_seconds() const {
    std::int64_t first = AV_NOPTS_VALUE;
    std::int64_t end = AV_NOPTS_VALUE;
    for (const Packet& packet : packets) {
        if (packet.pts == AV_NOPTS_VALUE) {
            continue;
        }
        if (first == AV_NOPTS_VALUE || packet.pts < first) {
            first = packet.pts;
        }
        if (end == AV_NOPTS_VALUE || packet.pts + packet.duration > end) {
            end = packet.pts + packet.duration;
        }
    }
    return first == AV_NOPTS_VALUE ? 0.0 : static_cast<double>(end - first) * av_q2d(time_base);
}

int MediaInfo::count(AVMediaType type) const {
    int found = 0;
    for (const Stream& stream : streams) {
        found += stream.type == type && !(type == AVMEDIA_TYPE_VIDEO && stream.attached_pic);
    }
    return found;
}

const MediaInfo::Stream& MediaInfo::stream(AVMediaType type, int ordinal) const {
    int seen = 0;
    for (const Stream& stream : streams) {
        if (stream.type == type && !stream.attached_pic && seen++ == ordinal) {
            return stream;
        }
    }
    throw std::out_of_range(std::string("no ") + av_get_media_type_string(type) + " stream " +
                            std::to_string(ordinal));
}

const MediaInfo::Stream& MediaInfo::attached_picture() const {
    for (const Stream& stream : streams) {
        if (stream.attached_pic) {
            return stream;
        }
    }
    throw std::out_of_range("no attached picture");
}

MediaInfo inspect_media(const std::filesystem::path& path) {
    const std::string name = path.string();
    AVFormatContext* opened = nullptr;
    av::check(avformat_open_input(&opened, name.c_str(), nullptr, nullptr), "opening " + name);
    av::InputPtr input(opened);
    av::check(avformat_find_stream_info(input.get(), nullptr), "probing " + name);

    MediaInfo info;
    info.format_name = input->iformat->name;
    const AVDictionaryEntry* tag = nullptr;
    while ((tag = av_dict_get(input->metadata, "", tag, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
        info.tags[tag->key] = tag->value;
    }
    if (input->duration != AV_NOPTS_VALUE) {
        info.duration_seconds = static_cast<double>(input->duration) / AV_TIME_BASE;
    }
    for (unsigned index = 0; index < input->nb_streams; ++index) {
        const AVStream& source = *input->streams[index];
        const AVCodecParameters& parameters = *source.codecpar;
        MediaInfo::Stream stream;
        stream.index = source.index;
        stream.type = parameters.codec_type;
        stream.codec_id = parameters.codec_id;
        stream.codec_name = avcodec_get_name(parameters.codec_id);
        stream.width = parameters.width;
        stream.height = parameters.height;
        if (parameters.codec_type == AVMEDIA_TYPE_VIDEO) {
            stream.pixel_format = static_cast<AVPixelFormat>(parameters.format);
        }
        stream.sample_aspect_ratio = parameters.sample_aspect_ratio;
        stream.field_order = parameters.field_order;
        stream.avg_frame_rate = source.avg_frame_rate;
        stream.r_frame_rate = source.r_frame_rate;
        stream.time_base = source.time_base;
        stream.sample_rate = parameters.sample_rate;
        stream.channels = parameters.ch_layout.nb_channels;
        stream.profile = parameters.profile;
        stream.level = parameters.level;
        stream.attached_pic = (source.disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
        if (source.duration != AV_NOPTS_VALUE) {
            stream.duration_seconds =
                static_cast<double>(source.duration) * av_q2d(source.time_base);
        }
        info.streams.push_back(std::move(stream));
    }

    av::PacketPtr packet(av_packet_alloc());
    if (!packet) {
        av::fail("cannot allocate a packet");
    }
    while (true) {
        const int result = av_read_frame(input.get(), packet.get());
        if (result == AVERROR_EOF) {
            break;
        }
        if (result < 0) {
            info.read_error = av::error_text(result);
            break;
        }
        // A stream the demuxer only found while reading (MPEG-TS can) is not listed.
        if (packet->stream_index >= 0 &&
            static_cast<std::size_t>(packet->stream_index) < info.streams.size()) {
            info.streams[static_cast<std::size_t>(packet->stream_index)].packets.push_back(
                {packet->pts, packet->dts, packet->duration, packet->size,
                 (packet->flags & AV_PKT_FLAG_KEY) != 0});
        }
        av_packet_unref(packet.get());
    }
    return info;
}

} // namespace morvane::test
