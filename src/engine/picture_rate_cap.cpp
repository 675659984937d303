// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/picture_rate_cap.h"

#include <algorithm>

extern "C" {
#include <libavutil/intreadwrite.h>
}

namespace morvane {

namespace {

// Bounds the ring for an encoder whose time base is finer than its frame rate.
constexpr std::size_t most_pictures_in_a_second = 256;

} // namespace

PictureRateCap::PictureRateCap(const AVCodecContext& encoder)
    : max_bits_(encoder.codec_type == AVMEDIA_TYPE_VIDEO ? encoder.rc_max_rate : 0),
      time_base_(encoder.time_base) {
    if (max_bits_ <= 0 || time_base_.num <= 0 || time_base_.den <= 0) {
        max_bits_ = 0;
        return;
    }
    // A quality that rounds to the coarsest quantizer.
    coarsest_quality_ = encoder.qmax > 0 ? encoder.qmax * FF_QP2LAMBDA - FF_QP2LAMBDA / 2 : 0;
    // Times that increase by at least one tick: at most this many in a second.
    const auto ticks =
        static_cast<std::size_t>((time_base_.den + time_base_.num - 1) / time_base_.num);
    recent_.resize(std::clamp<std::size_t>(ticks + 1, 2, most_pictures_in_a_second));
    buffer_bits_ = encoder.rc_buffer_size > 0 ? encoder.rc_buffer_size : max_bits_;
    credit_ = encoder.rc_initial_buffer_occupancy > 0
                  ? std::min<std::int64_t>(encoder.rc_initial_buffer_occupancy, buffer_bits_)
                  : buffer_bits_;
}

bool PictureRateCap::admits(std::int64_t time) {
    if (max_bits_ == 0) {
        return true;
    }
    if (time == AV_NOPTS_VALUE) {
        ++in_flight_;
        return true; // no time to judge it by
    }
    forget_before(time);
    if (credit_time_ != AV_NOPTS_VALUE && time > credit_time_) {
        credit_ += av_rescale(time - credit_time_, max_bits_ * time_base_.num, time_base_.den);
        credit_ = std::min(credit_, std::max(buffer_bits_, last_bits_));
    }
    credit_time_ = time;
    // At its coarsest the next picture is taken to be as large as the last. It goes once the
    // maximum rate has paid for it (so that the pictures left out are spread evenly) and if
    // the second up to it stays within the maximum; one picture a second goes whatever its
    // size. Judged only once every picture let in has come out.
    if (in_flight_ == 0 && last_at_coarsest_ && count_ > 0 &&
        (credit_ < last_bits_ || recent_bits_ + last_bits_ > max_bits_)) {
        return false;
    }
    ++in_flight_;
    return true;
}

void PictureRateCap::count(const AVPacket& packet) {
    if (max_bits_ == 0) {
        return;
    }
    in_flight_ = std::max<std::int64_t>(0, in_flight_ - 1);
    std::int64_t time = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
    if (time == AV_NOPTS_VALUE) {
        time = count_ > 0 ? recent_[(first_ + count_ - 1) % recent_.size()].time : 0;
    }
    if (count_ == recent_.size()) {
        recent_bits_ -= recent_[first_].bits;
        first_ = (first_ + 1) % recent_.size();
        --count_;
    }
    last_bits_ = std::int64_t{packet.size} * 8;
    credit_ -= last_bits_;
    recent_[(first_ + count_) % recent_.size()] = Coded{time, last_bits_};
    ++count_;
    recent_bits_ += last_bits_;
    std::size_t size = 0;
    const std::uint8_t* stats = av_packet_get_side_data(&packet, AV_PKT_DATA_QUALITY_STATS, &size);
    last_at_coarsest_ = coarsest_quality_ > 0 && stats != nullptr && size >= 4 &&
                        static_cast<int>(AV_RL32(stats)) >= coarsest_quality_;
}

void PictureRateCap::forget_before(std::int64_t time) {
    while (count_ > 0 &&
           av_compare_ts(time - recent_[first_].time, time_base_, 1, AVRational{1, 1}) >= 0) {
        recent_bits_ -= recent_[first_].bits;
        first_ = (first_ + 1) % recent_.size();
        --count_;
    }
}

} // namespace morvane
