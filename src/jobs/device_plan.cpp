// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/device_plan.h"

#include "engine/black_bars.h"
#include "engine/codec_names.h"
#include "engine/frame_size_fit.h"
#include "engine/input_tracks.h"
#include "jobs/language_codes.h"
#include "jobs/sound_track_choice.h"
#include "jobs/subtitle_track_choice.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace morvane {

namespace {

// A keyframe every two seconds: the players seek to it quickly, and it costs little.
constexpr double keyframe_seconds = 2.0;
// The players' decoder buffer, in seconds of their maximum rate: no second of a film then
// carries more than 1.1 times that maximum, on any content.
constexpr double buffer_seconds = 0.1;

// The rates films are made at, slowest first: a rate of a film is one of these or a steady
// rate of its own.
constexpr FrameRate standard_rates[] = {{24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1}};
// Rates this close are the same (23.976 and 24 are a thousandth apart).
constexpr double same_rate_share = 0.0005;
// A steady rate slower than this (a slide show, a time-lapse) is shown at a standard one.
constexpr double slowest_own_rate = 10.0;
// A picture cropped to within this share of the frame's shape is cut to it exactly: a sliver
// of black along two sides of a screen is worse than a sliver of picture less.
constexpr double snap_share = 0.02;

double rate_value(FrameRate rate) {
    return rate.num > 0 && rate.den > 0 ? static_cast<double>(rate.num) / rate.den : 0.0;
}

bool same_rate(double one, double other) {
    return std::abs(one - other) <= other * same_rate_share;
}

// The film's own rate: a steady one kept (above the player's highest, a half, a third... of
// it, so that pictures are dropped evenly); a variable or unknown one made the slowest
// standard rate that loses no picture, within the player's highest.
FrameRate film_frame_rate(const MediaInput::Picture& picture, FrameRate highest) {
    const double top = rate_value(highest);
    const double stated = rate_value(picture.frame_rate);
    const double average = rate_value(picture.average_frame_rate);
    double wanted = average > 0 ? average : stated;
    if (stated > 0 && top > 0 && (average <= 0 || same_rate(stated, average))) {
        long long divisor = 1;
        while (stated / static_cast<double>(divisor) > top * (1 + same_rate_share)) {
            ++divisor;
        }
        wanted = stated / static_cast<double>(divisor);
        for (const FrameRate standard : standard_rates) {
            if (same_rate(wanted, rate_value(standard)) && rate_value(standard) <= top) {
                return standard;
            }
        }
        long long num = picture.frame_rate.num;
        long long den = picture.frame_rate.den * divisor;
        const long long common = std::gcd(num, den);
        num /= common;
        den /= common;
        // A rate of whole pictures (15, 20) or NTSC's kind (15000/1001) is kept; a stream's
        // clock taken for a rate (90000, 1000/33) is not.
        if ((den == 1 || den == 1001) && num <= 65535 && wanted >= slowest_own_rate) {
            return FrameRate{static_cast<int>(num), static_cast<int>(den)};
        }
    }
    if (wanted <= 0) {
        return FrameRate{30000, 1001};
    }
    for (const FrameRate standard : standard_rates) {
        const double value = rate_value(standard);
        if (value <= top && value >= wanted * (1 - same_rate_share)) {
            return standard;
        }
    }
    return highest;
}

// The picture as it is shown, of a crop: its pixel shape and turn applied, as the input's
// picture has them.
struct ShownSize {
    double width = 0;
    double height = 0;
};

bool turned(const MediaInput::Picture& picture) {
    return picture.clockwise_turn == 90 || picture.clockwise_turn == 270;
}

ShownSize shown_size(const MediaInput::Picture& picture, const PictureCrop& crop) {
    // Shown pixels per stored pixel, across and down the stored picture.
    const double across =
        static_cast<double>(turned(picture) ? picture.height : picture.width) / crop.full_width;
    const double down =
        static_cast<double>(turned(picture) ? picture.width : picture.height) / crop.full_height;
    ShownSize size{crop.width * across, crop.height * down};
    if (turned(picture)) {
        std::swap(size.width, size.height);
    }
    return size;
}

// Cuts `crop` (evenly on both sides, on even pixels) until it has the shape of
// `frame_width`x`frame_height` as shown.
void cut_to_shape(const MediaInput::Picture& picture, PictureCrop& crop, int frame_width,
                  int frame_height) {
    const ShownSize shown = shown_size(picture, crop);
    if (shown.width <= 0 || shown.height <= 0) {
        return;
    }
    const double frame_shape = static_cast<double>(frame_width) / frame_height;
    // Which stored side is cut: the shown width is the stored width unless the picture turns.
    const bool too_wide = shown.width / shown.height > frame_shape;
    const bool cut_across = too_wide != turned(picture);
    const double keep = too_wide ? shown.height * frame_shape / shown.width
                                 : shown.width / frame_shape / shown.height;
    int& size = cut_across ? crop.width : crop.height;
    int& start = cut_across ? crop.left : crop.top;
    const int kept = std::max(2, static_cast<int>(std::lround(size * keep)) & ~1);
    start += ((size - kept) / 2) & ~1;
    size = kept;
}

// The part of the picture the film shows: the bars cut away (when asked), and with `fill` the
// sides (or top and bottom) that would not fit the frame's shape. Nothing: the whole picture.
std::optional<PictureCrop> film_crop(const MediaInput& input, const MediaInput::Picture& picture,
                                     const ConversionChoices& choices, const FilmFormat& film) {
    if (picture.stored_width <= 0 || picture.stored_height <= 0 || picture.width <= 0 ||
        picture.height <= 0 || film.frame_width <= 0 || film.frame_height <= 0) {
        return std::nullopt;
    }
    std::optional<PictureCrop> crop = choices.crop ? find_black_bars(input) : std::nullopt;
    if (crop &&
        (crop->full_width != picture.stored_width || crop->full_height != picture.stored_height)) {
        crop.reset();
    }
    if (!choices.fill) {
        if (!crop) {
            return std::nullopt;
        }
        const ShownSize shown = shown_size(picture, *crop);
        const double frame_shape = static_cast<double>(film.frame_width) / film.frame_height;
        if (std::abs(shown.width / shown.height / frame_shape - 1) > snap_share) {
            return crop;
        }
    }
    if (!crop) {
        crop = PictureCrop{0,
                           0,
                           picture.stored_width & ~1,
                           picture.stored_height & ~1,
                           picture.stored_width,
                           picture.stored_height};
    }
    cut_to_shape(picture, *crop, film.frame_width, film.frame_height);
    return crop->cuts() ? crop : std::nullopt;
}

// The row's film format with the owner's frame (the screen's or a television's, where the
// player plays one) and quality step (its average rate and finest quantizer), else the row's.
FilmFormat chosen_film_format(const FilmFormat& film, const ConversionChoices& choices) {
    FilmFormat chosen = film;
    const FilmFrame frame = film.frame(choices.picture_size);
    chosen.frame_width = frame.width;
    chosen.frame_height = frame.height;
    const QualityStep* step = film.quality_step(choices.quality);
    if (step != nullptr) {
        chosen.bit_rate = step->bit_rate;
        if (step->finest_quantizer > 0) {
            auto& options = chosen.encoder.options;
            std::erase_if(options, [](const auto& option) { return option.first == "qmin"; });
            options.emplace_back("qmin", std::to_string(step->finest_quantizer));
        }
    }
    return chosen;
}

// How outputs' targets name a quality step.
std::string quality_name(const std::optional<VideoQuality>& quality) {
    if (!quality) {
        return {};
    }
    switch (*quality) {
    case VideoQuality::highest:
        return "highest";
    case VideoQuality::higher:
        return "higher";
    case VideoQuality::normal:
        return "normal";
    case VideoQuality::lower:
        return "lower";
    }
    return {};
}

} // namespace

bool plays_as_it_is(const DeviceProfile& device, const MediaInput::Sound& sound) {
    // Only into the device's own kind of sound file: its container and name are the row's.
    const std::string codec = codec_name(sound.codec);
    if (codec.empty() || codec != encoded_codec_name(device.audio_encoder.name)) {
        return false;
    }
    return std::any_of(device.played_sounds.begin(), device.played_sounds.end(),
                       [&](const PlayedSound& played) {
                           // An unknown rate (an MP3 of the free format) is none the maker names.
                           return played.codec == codec &&
                                  (played.profile.empty() || played.profile == sound.profile) &&
                                  sound.bit_rate > 0 && sound.bit_rate <= played.max_bit_rate &&
                                  sound.sample_rate >= played.min_sample_rate &&
                                  sound.sample_rate <= played.max_sample_rate &&
                                  sound.channels >= 1 && sound.channels <= played.max_channels;
                       });
}

ConversionPlan conversion_plan(const DeviceProfile& device, const ConversionChoices& choices,
                               const MediaInput& input, bool copy_played_sound) {
    ConversionPlan plan;
    const std::optional<MediaInput::Picture> picture = input.picture();
    const std::optional<MediaInput::Sound> sound = input.sound();
    const FilmFormat* film = picture ? device.film_format(choices.video_codec) : nullptr;
    std::optional<FilmFormat> chosen_film;
    if (film != nullptr) {
        chosen_film = chosen_film_format(*film, choices);
        film = &*chosen_film;
    }
    if (film != nullptr) {
        plan.container = film->container;
        plan.chapters = device.shows_chapters;
        ConversionPlan::Picture& out = plan.picture.emplace();
        out.crop = film_crop(input, *picture, choices, *film);
        int shown_width = picture->width;
        int shown_height = picture->height;
        if (out.crop) {
            const ShownSize shown = shown_size(*picture, *out.crop);
            shown_width = std::max(1, static_cast<int>(std::lround(shown.width)));
            shown_height = std::max(1, static_cast<int>(std::lround(shown.height)));
        }
        const FrameSizeFit fit =
            fit_frame_size(shown_width, shown_height, film->frame_width, film->frame_height);
        out.picture_width = fit.width;
        out.picture_height = fit.height;
        out.left = fit.pads_valid ? fit.pad_left : 0;
        out.top = fit.pads_valid ? fit.pad_top : 0;
        out.frame_width = fit.pads_valid ? fit.width + fit.pad_left + fit.pad_right : fit.width;
        out.frame_height = fit.pads_valid ? fit.height + fit.pad_top + fit.pad_bottom : fit.height;
        out.frame_rate = film_frame_rate(*picture, film->max_frame_rate);
        const int buffer = static_cast<int>(film->max_rate * buffer_seconds);
        const long keyframe_interval =
            std::lround(keyframe_seconds * out.frame_rate.num / out.frame_rate.den);
        out.encoder = film->encoder;
        out.quality = quality_name(choices.quality);
        out.encoder.options.insert(out.encoder.options.end(),
                                   {
                                       {"b", std::to_string(film->bit_rate)},
                                       {"maxrate", std::to_string(film->max_rate)},
                                       {"bufsize", std::to_string(buffer)},
                                       {"rc_init_occupancy", std::to_string(buffer * 3 / 4)},
                                       {"g", std::to_string(keyframe_interval)},
                                   });
    } else {
        plan.container = device.audio_container;
    }
    if (sound || film != nullptr) {
        ConversionPlan::Sound& out = plan.sound.emplace();
        out.encoder = film != nullptr ? device.film_sound : device.audio_encoder;
        int source_rate = sound ? sound->sample_rate : 44100;
        int source_channels = sound ? sound->channels : 2;
        // Among several sound tracks the owner's languages choose (and an alternate for the
        // players that switch); a file with one keeps the engine's choice, so its plan and
        // its output's target stay as they always were.
        const SoundTrackChoice chosen =
            choose_sound_tracks(input_tracks(input), choices.languages,
                                film != nullptr && device.switches_sound_tracks);
        if (sound && chosen.sound_tracks > 1 && chosen.main) {
            out.stream = chosen.main->index;
            out.language = normalised_language(chosen.main->language);
            source_rate = chosen.main->sample_rate;
            source_channels = chosen.main->channels;
            if (chosen.alternate) {
                plan.alternate_sound = AlternateSoundSpec{
                    chosen.alternate->index, normalised_language(chosen.alternate->language)};
            }
        }
        out.sample_rate = device.sample_rate.value_or(source_rate);
        if (device.max_sample_rate > 0) {
            out.sample_rate = std::min(out.sample_rate, device.max_sample_rate);
        }
        out.channels = device.channels.value_or(source_channels);
        // The players want a sound track with every film: silence where there is none.
        out.silence = !sound;
        // Encoding a sound the player plays again only loses some of it: it is copied. A
        // track chosen among several is converted, as the engine copies its own choice only.
        if (film == nullptr && sound && copy_played_sound && out.stream < 0 &&
            plays_as_it_is(device, *sound)) {
            out.copy = true;
            out.sample_rate = sound->sample_rate;
            out.channels = sound->channels;
        }
    }
    std::string sound_language;
    if (const std::optional<SubtitleTrackChoice> subtitles = film_subtitle_track(
            plan, input, choices, device.shows_subtitle_tracks, sound_language)) {
        if (subtitles->kept_as_track) {
            plan.subtitle_track = SubtitleTrackSpec{{"mov_text", {}}, subtitles->track.index};
        } else {
            plan.picture->burned_subtitles = subtitles->track.index;
            plan.picture->subtitle_text_height = subtitle_text_height(plan.picture->picture_height);
        }
    }
    return plan;
}

} // namespace morvane
