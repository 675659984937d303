// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/input_timeline.h"

#include <algorithm>
#include <cstdlib>

namespace morvane {

namespace {

// Microseconds. A stream's time further than the first from where it stands may be a new
// clock (recordings joined, a clock restarted), a gap or damage; further than the second it is
// damage in any format (the ffmpeg tool's values).
constexpr std::int64_t dts_delta_threshold = 10 * std::int64_t{AV_TIME_BASE};
constexpr std::int64_t dts_error_threshold = 30 * 3600 * std::int64_t{AV_TIME_BASE};
// In formats with discontinuities a jump beyond this is held until what follows tells what it
// was; a shorter one is a gap the pipeline fills.
constexpr std::int64_t held_jump = std::int64_t{AV_TIME_BASE};
// A jump ahead is a gap of its stream once the other streams have come this far past it
// without its own packets going back.
constexpr std::int64_t gap_margin = std::int64_t{AV_TIME_BASE};
// Streams that start again together land within this of each other; a stream still going in
// the old clock this far past where a jumping one stood says that one jumped alone. More than
// a multiplex ever holds one stream ahead of another.
constexpr std::int64_t restart_window = 10 * std::int64_t{AV_TIME_BASE};
// A jump held this many packets is decided as one the window has passed.
constexpr std::size_t most_held = 512;

// Times are held within this (microseconds, some 36,000 years), so that sums of a few of
// them never overflow whatever a damaged file states.
constexpr std::int64_t furthest_time = std::int64_t{1} << 60;

std::int64_t to_microseconds(std::int64_t time, AVRational time_base) {
    const std::int64_t microseconds = av_rescale_q(time, time_base, AV_TIME_BASE_Q);
    return microseconds == AV_NOPTS_VALUE ? AV_NOPTS_VALUE
                                          : std::clamp(microseconds, -furthest_time, furthest_time);
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
        stream.type = container.streams[index]->codecpar->codec_type;
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
    Stream& stream = streams_[index];
    shift(*owned, offset_ + stream.offset);
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
    if (stream.pending()) {
        // The packet after a jump: back where the stream stood, it says the jump was damage.
        if (time == AV_NOPTS_VALUE) {
            stream.held.push_back(std::move(packet));
            if (stream.held.size() > most_held) {
                release(stream); // nothing came to contradict it
            }
            return;
        }
        if (time + dts_delta_threshold >= stream.held_at) {
            release(stream);
        } else {
            release_as_damage(stream);
        }
    }
    if (time == AV_NOPTS_VALUE) {
        emit(std::move(packet));
        return;
    }
    const bool far = std::llabs(time - stream.next) > dts_error_threshold;
    const bool past_end = stated_end_ > 0 && time > stated_end_ + dts_delta_threshold;
    if (far || past_end) {
        note_ignored(stream, time - stream.next);
        drop_time(*packet);
    } else if (time - stream.next > dts_delta_threshold) {
        hold(stream, std::move(packet), time);
        return;
    }
    emit(std::move(packet));
}

void InputTimeline::judge_discontinuous(Stream& stream, PacketPtr packet) {
    const std::int64_t time = time_of(*packet);
    if (time == AV_NOPTS_VALUE) {
        if (stream.pending()) {
            stream.held.push_back(std::move(packet));
            settle(); // held only so many
        } else {
            emit(std::move(packet));
        }
        return;
    }
    if (stream.pending()) {
        // Nearer where the stream stood than where it jumped to: the jump was bad stamps.
        if (std::llabs(time - stream.next) < std::llabs(time - stream.held_latest)) {
            release_as_damage(stream);
        } else {
            stream.held_latest = std::max(stream.held_latest, time);
            stream.held.push_back(std::move(packet));
            settle();
            return;
        }
    }
    if (jumps(stream, time)) {
        if (is_alone(stream, latest_time()) && big_jump(stream, time)) {
            // Nothing else to tell: a stream on its own follows its clock wherever it goes.
            const std::int64_t delta = time - stream.next;
            move_clock(delta);
            shift(*packet, -delta);
            emit(std::move(packet));
            return;
        }
        hold(stream, std::move(packet), time);
        settle();
        return;
    }
    emit(std::move(packet));
    settle();
}

bool InputTimeline::jumps(const Stream& stream, std::int64_t time) const {
    if (stream.next == AV_NOPTS_VALUE) {
        return false;
    }
    return time - stream.next > held_jump ||
           (stream.last != AV_NOPTS_VALUE && time + held_jump < stream.last);
}

bool InputTimeline::big_jump(const Stream& stream, std::int64_t time) const {
    return time - stream.next > dts_delta_threshold || time < stream.next;
}

void InputTimeline::hold(Stream& stream, PacketPtr packet, std::int64_t time) {
    stream.held_at = time;
    stream.held_latest = time;
    stream.held.push_back(std::move(packet));
    ++pending_;
}

bool InputTimeline::going(const Stream& stream, std::int64_t latest) const {
    return stream.clocked && stream.last != AV_NOPTS_VALUE &&
           stream.last + restart_window >= latest;
}

std::int64_t InputTimeline::others_horizon(const Stream& stream) const {
    std::int64_t horizon = AV_NOPTS_VALUE;
    for (const Stream& other : streams_) {
        if (&other == &stream || !other.clocked || other.last == AV_NOPTS_VALUE) {
            continue;
        }
        const std::int64_t reached =
            other.pending() ? std::max(other.last, other.held_latest) : other.last;
        horizon = horizon == AV_NOPTS_VALUE ? reached : std::max(horizon, reached);
    }
    return horizon;
}

bool InputTimeline::restart_if_all_jumped() {
    const std::int64_t latest = latest_time();
    int together = 0;
    std::int64_t earliest_jump = 0, latest_jump = 0, move = 0;
    for (const Stream& stream : streams_) {
        if (!going(stream, latest)) {
            continue;
        }
        if (!stream.pending() || !big_jump(stream, stream.held_at)) {
            return false;
        }
        // Each stream goes on from its own end; the one that needs most moves them all.
        const std::int64_t needed = stream.next - stream.held_at;
        earliest_jump = together == 0 ? stream.held_at : std::min(earliest_jump, stream.held_at);
        latest_jump = together == 0 ? stream.held_at : std::max(latest_jump, stream.held_at);
        move = together == 0 ? needed : std::max(move, needed);
        ++together;
    }
    if (together < 2 || latest_jump - earliest_jump > restart_window) {
        return false;
    }
    move_clock(-move);
    ++restarts_;
    return true;
}

void InputTimeline::settle() {
    if (pending_ == 0 || restart_if_all_jumped()) {
        return;
    }
    const std::int64_t latest = latest_time();
    for (Stream& stream : streams_) {
        if (!stream.pending()) {
            continue;
        }
        const bool ahead = stream.held_at > stream.next;
        const std::int64_t span = stream.held_latest - stream.held_at;
        const bool overflow = stream.held.size() > most_held;
        if (is_alone(stream, latest)) {
            // Its own stamps alone tell (a longer jump moved the clock at once).
            if (span >= gap_margin || overflow) {
                release(stream);
            }
            continue;
        }
        const std::int64_t horizon = others_horizon(stream);
        if (ahead && stream.held_at <= horizon + restart_window) {
            // It lands where the others are: a gap of its own, once its stamps held on a while.
            if (horizon >= stream.held_at + gap_margin || span >= gap_margin || overflow) {
                release(stream);
            }
            continue;
        }
        if (horizon >= stream.next + restart_window) {
            // The others went on in the old clock: this stream's clock alone moved.
            if (ahead) {
                release_reanchored(stream);
            } else {
                release(stream); // a step back of its own: what does not move forward goes later
            }
        } else if (span >= restart_window || overflow) {
            // The others stayed where they were: the file starts again with this stream.
            move_clock(stream.held_at - stream.next);
            ++restarts_;
        }
    }
}

std::int64_t InputTimeline::latest_time() const {
    std::int64_t latest = AV_NOPTS_VALUE;
    for (const Stream& stream : streams_) {
        latest = std::max(latest, stream.last);
    }
    return latest;
}

bool InputTimeline::is_alone(const Stream& stream, std::int64_t latest) const {
    return std::none_of(streams_.begin(), streams_.end(), [&](const Stream& other) {
        return &other != &stream && going(other, latest);
    });
}

void InputTimeline::release(Stream& stream) {
    if (stream.held.empty()) {
        return;
    }
    for (PacketPtr& packet : stream.held) {
        emit(std::move(packet));
    }
    stream.held.clear();
    --pending_;
}

void InputTimeline::release_as_damage(Stream& stream) {
    note_ignored(stream, stream.held_at - stream.next);
    for (PacketPtr& packet : stream.held) {
        drop_time(*packet);
    }
    release(stream);
}

void InputTimeline::release_reanchored(Stream& stream) {
    const std::int64_t delta = stream.held_at - stream.next;
    note_ignored(stream, delta);
    stream.offset -= delta;
    for (PacketPtr& packet : stream.held) {
        shift(*packet, -delta);
    }
    release(stream);
}

void InputTimeline::move_clock(std::int64_t delta) {
    offset_ -= delta;
    for (Stream& stream : streams_) {
        for (PacketPtr& packet : stream.held) {
            shift(*packet, -delta);
        }
        release(stream);
    }
}

void InputTimeline::shift(AVPacket& packet, std::int64_t delta) const {
    const AVRational time_base = streams_[static_cast<std::size_t>(packet.stream_index)].time_base;
    const std::int64_t moved = av_rescale_q(delta, AV_TIME_BASE_Q, time_base);
    for (std::int64_t* time : {&packet.dts, &packet.pts}) {
        // A time that cannot be moved that far is no time.
        if (*time != AV_NOPTS_VALUE && __builtin_add_overflow(*time, moved, time)) {
            *time = AV_NOPTS_VALUE;
        }
    }
}

void InputTimeline::drop_time(AVPacket& packet) {
    const std::int64_t time = time_of(packet);
    if (time != AV_NOPTS_VALUE) {
        dropped_time_ = dropped_time_ == AV_NOPTS_VALUE ? time : std::max(dropped_time_, time);
    }
    packet.dts = packet.pts = AV_NOPTS_VALUE;
}

void InputTimeline::note_ignored(const Stream& stream, std::int64_t offset) {
    if (stream.type != AVMEDIA_TYPE_VIDEO && stream.type != AVMEDIA_TYPE_AUDIO) {
        return;
    }
    ConversionResult::IgnoredStamps& ignored =
        stream.type == AVMEDIA_TYPE_VIDEO ? ignored_pictures_ : ignored_sound_;
    ignored.count += 1;
    const double seconds = static_cast<double>(std::llabs(offset)) / AV_TIME_BASE;
    ignored.largest_offset = std::max(ignored.largest_offset, seconds);
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
        if (!stream.pending()) {
            continue;
        }
        // Nothing came after a jump ahead of every other stream: a bad stamp at the end.
        const std::int64_t horizon = others_horizon(stream);
        if (stream.held_at > stream.next && horizon != AV_NOPTS_VALUE &&
            stream.held_at > horizon + restart_window) {
            release_as_damage(stream);
        } else {
            release(stream);
        }
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
