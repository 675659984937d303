// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/encoder_choice.h"

#include <climits>
#include <cstdlib>

namespace morvane {

AVRational nearest_frame_rate(const AVRational* list, AVRational wanted) {
    if (list == nullptr) {
        return wanted;
    }
    AVRational best = wanted;
    AVRational best_distance{INT_MAX, 1};
    for (const AVRational* entry = list; entry->num != 0 || entry->den != 0; ++entry) {
        AVRational distance = av_sub_q(wanted, *entry);
        distance.num = std::abs(distance.num);
        if (av_cmp_q(distance, best_distance) < 0) {
            best_distance = distance;
            best = *entry;
        }
    }
    return best;
}

AVPixelFormat choose_pixel_format(const AVPixelFormat* list, AVPixelFormat wanted) {
    if (list == nullptr) {
        return wanted;
    }
    for (const AVPixelFormat* entry = list; *entry != AV_PIX_FMT_NONE; ++entry) {
        if (*entry == wanted) {
            return wanted;
        }
    }
    return list[0] != AV_PIX_FMT_NONE ? list[0] : wanted;
}

int nearest_sample_rate(const int* list, int wanted) {
    if (list == nullptr || list[0] == 0) {
        return wanted;
    }
    int best = list[0];
    for (const int* entry = list; *entry != 0; ++entry) {
        if (std::abs(static_cast<long>(*entry) - wanted) <
            std::abs(static_cast<long>(best) - wanted)) {
            best = *entry;
        }
    }
    return best;
}

void nearest_channel_layout(const AVChannelLayout* list, int channels, AVChannelLayout& chosen) {
    av_channel_layout_uninit(&chosen);
    if (list == nullptr || list[0].nb_channels == 0) {
        av_channel_layout_default(&chosen, channels);
        return;
    }
    const AVChannelLayout* best = &list[0];
    for (const AVChannelLayout* entry = list; entry->nb_channels != 0; ++entry) {
        if (std::abs(entry->nb_channels - channels) < std::abs(best->nb_channels - channels)) {
            best = entry;
        }
    }
    av_channel_layout_copy(&chosen, best);
}

AVSampleFormat choose_sample_format(const AVSampleFormat* list) {
    if (list == nullptr || list[0] == AV_SAMPLE_FMT_NONE) {
        return AV_SAMPLE_FMT_S16;
    }
    return list[0];
}

} // namespace morvane
