// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/device_plan.h"

#include "engine/frame_size_fit.h"
#include "engine/input_tracks.h"
#include "jobs/language_codes.h"
#include "jobs/sound_track_choice.h"
#include "jobs/subtitle_track_choice.h"

#include <algorithm>
#include <cmath>

namespace morvane {

namespace {

// A keyframe every two seconds: the players seek to it quickly, and it costs little.
constexpr double keyframe_seconds = 2.0;
// The players' decoder buffer, in seconds of their maximum rate: no second of a film then
// carries more than 1.1 times that maximum, on any content.
constexpr double buffer_seconds = 0.1;

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

ConversionPlan conversion_plan(const DeviceProfile& device, const ConversionChoices& choices,
                               const MediaInput& input) {
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
        const FrameSizeFit fit =
            fit_frame_size(picture->width, picture->height, film->frame_width, film->frame_height);
        ConversionPlan::Picture& out = plan.picture.emplace();
        out.picture_width = fit.width;
        out.picture_height = fit.height;
        out.left = fit.pads_valid ? fit.pad_left : 0;
        out.top = fit.pads_valid ? fit.pad_top : 0;
        out.frame_width = fit.pads_valid ? fit.width + fit.pad_left + fit.pad_right : fit.width;
        out.frame_height = fit.pads_valid ? fit.height + fit.pad_top + fit.pad_bottom : fit.height;
        out.frame_rate = {30000, 1001};
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
