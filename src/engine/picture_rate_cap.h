// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps a film within its player's maximum rate over any second where the encoder cannot:
// once it codes at its coarsest quantizer (MPEG-4 goes no coarser than 31, so full-frame
// noise takes several times the rate) and the next picture would still carry the second past
// the maximum, that picture is left out. The container's times keep the others in place: the
// picture before stays on screen. Ordinary footage, which the encoder's own buffer keeps
// within the rate at finer quantizers, never loses one.
//
// It judges encoders that name their coarsest quantizer (qmax) and give each picture out
// before the next goes in. libx264 does neither: it plans a second of pictures ahead with its
// own buffer, which holds even on noise (past H.264's coarsest step it blurs instead).
#pragma once

#include <cstdint>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace morvane {

class PictureRateCap {
public:
    // From the opened encoder: its maximum rate (rc_max_rate), time base and coarsest
    // quantizer (qmax); without a rate or a quantizer nothing is ever left out.
    explicit PictureRateCap(const AVCodecContext& encoder);

    // Whether the picture at `time` (the encoder's time base, increasing) goes to the encoder;
    // if so, its packet is expected.
    bool admits(std::int64_t time);
    // A packet the encoder gave out (times in its time base).
    void count(const AVPacket& packet);

private:
    struct Coded {
        std::int64_t time;
        std::int64_t bits;
    };
    // Forgets the packets a second or more before `time`.
    void forget_before(std::int64_t time);

    std::int64_t max_bits_ = 0; // in any one second; 0: no cap
    AVRational time_base_{1, 1};
    int coarsest_quality_ = 0; // lambda at which the encoder can go no coarser; 0: unknown
    // The packets of the last second, oldest first, in a ring sized once for the frame rate.
    std::vector<Coded> recent_;
    std::size_t first_ = 0;
    std::size_t count_ = 0;
    std::int64_t recent_bits_ = 0;
    // A decoder's buffer filled at the maximum rate, emptied by each packet (bits): paces the
    // pictures let in at the coarsest quantizer.
    std::int64_t buffer_bits_ = 0;
    std::int64_t credit_ = 0;
    std::int64_t credit_time_ = AV_NOPTS_VALUE;
    // Pictures let in whose packets have not come out yet.
    std::int64_t in_flight_ = 0;
    std::int64_t last_bits_ = 0;
    bool last_at_coarsest_ = false;
};

} // namespace morvane
