// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/input_timeline.h"

#include <algorithm>
#include <cstdlib>

namespace morvane {

namespace {

// Microseconds: a jump beyond the first is looked at twice (a restarted clock, a gap, or
// damage); a time further than the second from where its stream stands is damage in any
// format (the ffmpeg tool's values).
constexpr std::int64_t dts_delta_threshold = 10 * std::int64_t{AV_TIME_BASE};
constexpr std::int64_t dts_error_threshold = 30 * 3600 * std::int64_t{AV_TIME_BASE};
// A jump held this many packets without another stream to tell is the file's clock.
constexpr std::size_t most_held = 512;

std::int64_t to_microseconds(std::int64_t time, AVRational time_base) {
    return av_rescale_q(time, time_base, AV_TIME_BASE_Q);
}

} // namespace

InputTimeline::InputTimeline(const AVFormatContext& container, std::vector<bool> clocked,
                             std::int64_t stated_end)
    : discontinuous_((container.iformat->flags & AVFMT_TS_DISCONT) != 0),
      offset_(container.start_time != AV_NOPTS_VALUE ? -container.start_time : 0),
      stated_end_(stated_end) {
    streams_.resize(container.nb_streams);
    for (unsigned index = 0; index < container.nb_streams; ++index) {
        Stream& stream = streams_[index];
        stream.time_base = container.streams[index]->time_base;
        stream.clocked = index < clocked.size() && clocked[index];
        // Streams of other files are expected from the file's start on.
        stream.next = discontinuous_ ? AV_NOPTS_VALUE : 0;
    }
}

std::int64_t InputTimeline::time_of(const AVPacket& packet) const {
    const std::int64_t time = packet.dts != AV_NOPTS_VALUE ? packet.dts : packet.pts;
    if (time == AV_NOPTS_VALUE) {
        return AV_NOPTS_VALUE;
    }
    return to_microseconds(time, streams_[static_cast<std::size_t>(packet.stream_index)].time_base);
}

PacketPtr InputTimeline::spare() {
    if (spares_.empty()) {
        return PacketPtr(av_packet_alloc());
    }
    PacketPtr packet = std::move(spares_.back());
    spares_.pop_back();
    return packet;
}

int InputTimeline::push(AVPacket& packet) {
    const auto index = static_cast<std::size_t>(packet.stream_index);
    if (packet.stream_index < 0 || index >= streams_.size()) {
        av_packet_unref(&packet);
        return 0;
    }
    PacketPtr owned = spare();
    if (!owned) {
        av_packet_unref(&packet);
        return AVERROR(ENOMEM);
    }
    av_packet_move_ref(owned.get(), &packet);
    shift(*owned, offset_);
    Stream& stream = streams_[index];
    if (!stream.clocked) {
        emit(std::move(owned));
    } else if (discontinuous_) {
        judge_discontinuous(stream, std::move(owned));
    } else {
        judge_own_clock(stream, std::move(owned));
    }
    return 0;
}

void InputTimeline::judge_own_clock(Stream& stream, PacketPtr packet) {
    const std::int64_t time = time_of(*packet);
    if (!stream.held.empty()) {
        // The packet after a jump: back where the stream stood, it says the jump was damage.
        if (time == AV_NOPTS_VALUE) {
            stream.held.push_back(std::move(packet));
            return;
        }
        release(stream, time + dts_delta_threshold >= stream.held_at);
    }
    if (time == AV_NOPTS_VALUE) {
        emit(std::move(packet));
        return;
    }
    const bool far = std::llabs(time - stream.next) > dts_error_threshold;
    const bool past_end = stated_end_ > 0 && time > stated_end_ + dts_delta_threshold;
    if (far || past_end) {
        drop_time(*packet);
    } else if (time - stream.next > dts_delta_threshold) {
        stream.held_at = time;
        stream.held.push_back(std::move(packet));
        return;
    }
    emit(std::move(packet));
}

void InputTimeline::judge_discontinuous(Stream& stream, PacketPtr packet) {
    if (packet->dts == AV_NOPTS_VALUE) {
        if (stream.held.empty()) {
            emit(std::move(packet));
        } else {
            stream.held.push_back(std::move(packet));
        }
        return;
    }
    std::int64_t time = time_of(*packet);
    const auto jumped = [&stream](std::int64_t at) {
        return stream.next != AV_NOPTS_VALUE &&
               (std::llabs(at - stream.next) > dts_delta_threshold ||
                (stream.last != AV_NOPTS_VALUE && at + 1 < stream.last));
    };
    // Another stream's jump waits for this packet: a jump here too is the file's clock; a
    // packet where this stream stood says the other stream alone has a gap.
    if (stream.held.empty() && stream.next != AV_NOPTS_VALUE) {
        for (Stream& other : streams_) {
            if (&other == &stream || other.held.empty()) {
                continue;
            }
            if (jumped(time)) {
                const std::int64_t delta = other.jump;
                move_clock(delta);
                shift(*packet, -delta);
                time -= delta;
                break;
            }
            release(other, true);
        }
    }
    if (!stream.held.empty()) {
        stream.held.push_back(std::move(packet));
        if (stream.held.size() > most_held) {
            move_clock(stream.jump);
        }
        return;
    }
    if (jumped(time)) {
        const std::int64_t delta = time - stream.next;
        const bool alone = std::count_if(streams_.begin(), streams_.end(),
                                         [](const Stream& any) { return any.clocked; }) < 2;
        if (alone) {
            move_clock(delta);
            shift(*packet, -delta);
        } else {
            stream.jump = delta;
            stream.held_at = time;
            stream.held.push_back(std::move(packet));
            return;
        }
    }
    emit(std::move(packet));
}

void InputTimeline::release(Stream& stream, bool keep_times) {
    for (PacketPtr& packet : stream.held) {
        if (!keep_times) {
            drop_time(*packet);
        }
        emit(std::move(packet));
    }
    stream.held.clear();
}

void InputTimeline::move_clock(std::int64_t delta) {
    offset_ -= delta;
    for (Stream& stream : streams_) {
        for (PacketPtr& packet : stream.held) {
            shift(*packet, -delta);
        }
        release(stream, true);
    }
}

void InputTimeline::shift(AVPacket& packet, std::int64_t delta) const {
    const AVRational time_base = streams_[static_cast<std::size_t>(packet.stream_index)].time_base;
    const std::int64_t moved = av_rescale_q(delta, AV_TIME_BASE_Q, time_base);
    if (packet.dts != AV_NOPTS_VALUE) {
        packet.dts += moved;
    }
    if (packet.pts != AV_NOPTS_VALUE) {
        packet.pts += moved;
    }
}

void InputTimeline::drop_time(AVPacket& packet) {
    const std::int64_t time = time_of(packet);
    if (time != AV_NOPTS_VALUE) {
        dropped_time_ = dropped_time_ == AV_NOPTS_VALUE ? time : std::max(dropped_time_, time);
    }
    packet.dts = packet.pts = AV_NOPTS_VALUE;
}

void InputTimeline::emit(PacketPtr packet) {
    Stream& stream = streams_[static_cast<std::size_t>(packet->stream_index)];
    const std::int64_t duration =
        packet->duration > 0 ? to_microseconds(packet->duration, stream.time_base) : 0;
    const std::int64_t time = time_of(*packet);
    if (time != AV_NOPTS_VALUE) {
        stream.last = time;
        stream.next = time + duration;
    } else if (stream.next != AV_NOPTS_VALUE) {
        // The stream's own clock carries on; the decoder dates the frame from it.
        stream.next += duration;
    }
    ready_.push_back(std::move(packet));
}

void InputTimeline::end() {
    for (Stream& stream : streams_) {
        release(stream, true);
    }
}

bool InputTimeline::take(AVPacket& packet) {
    if (first_ready_ >= ready_.size()) {
        return false;
    }
    PacketPtr& next = ready_[first_ready_++];
    av_packet_move_ref(&packet, next.get());
    spares_.push_back(std::move(next));
    if (first_ready_ == ready_.size()) {
        ready_.clear();
        first_ready_ = 0;
    }
    return true;
}

} // namespace morvane
