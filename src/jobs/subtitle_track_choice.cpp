// SPDX-License-Identifier: GPL-3.0-or-later
// Ranks an input's subtitle tracks by the owner's languages, the file's default mark and its
// order, and says what became of the one chosen.
#include "jobs/subtitle_track_choice.h"

#include "jobs/language_codes.h"

#include <algorithm>
#include <cstddef>
#include <tuple>

namespace morvane {

namespace {

bool subtitles(const InputTrack& track) {
    return track.kind == InputTrack::Kind::text_subtitles ||
           track.kind == InputTrack::Kind::bitmap_subtitles;
}

// The best of the subtitle tracks `usable` takes: ordinary tracks before those for the hearing
// impaired and forced ones, then the most preferred language (none preferred: any), then the
// default mark, then the first held.
template <typename Usable>
const InputTrack* best(const std::vector<InputTrack>& tracks,
                       const std::vector<std::string>& preferred, Usable usable) {
    const auto rank = [&preferred](const InputTrack& track) {
        const auto found =
            std::find(preferred.begin(), preferred.end(), normalised_language(track.language));
        const std::size_t language = static_cast<std::size_t>(found - preferred.begin());
        const int special = (track.hearing_impaired ? 1 : 0) + (track.forced ? 2 : 0);
        return std::tuple{special, language, track.is_default ? 0 : 1};
    };
    const InputTrack* chosen = nullptr;
    for (const InputTrack& track : tracks) {
        if (subtitles(track) && usable(track) &&
            (chosen == nullptr || rank(track) < rank(*chosen))) {
            chosen = &track;
        }
    }
    return chosen;
}

// "French", or "" for a track that does not say.
std::string named(const std::string& language) {
    return language_name(language);
}

} // namespace

std::optional<SubtitleTrackChoice> choose_subtitle_track(const std::vector<InputTrack>& tracks,
                                                         SubtitleChoice when,
                                                         const std::vector<std::string>& languages,
                                                         const std::string& sound_language,
                                                         bool player_shows_tracks) {
    if (when == SubtitleChoice::off) {
        return std::nullopt;
    }
    std::vector<std::string> preferred;
    for (const std::string& language : languages) {
        if (std::string code = normalised_language(language); !code.empty()) {
            preferred.push_back(std::move(code));
        }
    }
    const std::string sound = normalised_language(sound_language);
    const bool foreign =
        !sound.empty() && std::find(preferred.begin(), preferred.end(), sound) == preferred.end();
    const InputTrack* chosen = nullptr;
    SubtitleTrackChoice::Why why = SubtitleTrackChoice::Why::always;
    if (when == SubtitleChoice::always) {
        chosen = best(tracks, preferred, [](const InputTrack&) { return true; });
    } else if (foreign && !preferred.empty()) {
        why = SubtitleTrackChoice::Why::foreign_sound;
        chosen = best(tracks, preferred, [&preferred](const InputTrack& track) {
            const std::string language = normalised_language(track.language);
            return std::find(preferred.begin(), preferred.end(), language) != preferred.end();
        });
    }
    if (chosen == nullptr && !sound.empty()) {
        why = SubtitleTrackChoice::Why::forced;
        chosen = best(tracks, {}, [&sound](const InputTrack& track) {
            return track.forced && normalised_language(track.language) == sound;
        });
    }
    if (chosen == nullptr) {
        return std::nullopt;
    }
    SubtitleTrackChoice choice{*chosen, why, false};
    if (chosen->forced && why != SubtitleTrackChoice::Why::forced &&
        normalised_language(chosen->language) == sound) {
        choice.why = SubtitleTrackChoice::Why::forced; // shown because it is forced all the same
    }
    choice.kept_as_track = player_shows_tracks &&
                           chosen->kind == InputTrack::Kind::text_subtitles &&
                           choice.why != SubtitleTrackChoice::Why::forced;
    return choice;
}

std::optional<SubtitleTrackChoice> film_subtitle_track(const ConversionPlan& plan,
                                                       const MediaInput& input,
                                                       const ConversionChoices& choices,
                                                       bool player_shows_tracks,
                                                       std::string& sound_language) {
    sound_language.clear();
    if (!plan.picture) {
        return std::nullopt;
    }
    const std::vector<InputTrack> tracks = input_tracks(input);
    if (plan.sound && !plan.sound->silence) {
        const int sound = plan.sound->stream >= 0 ? plan.sound->stream : input.streams().audio;
        for (const InputTrack& track : tracks) {
            if (track.index == sound) {
                sound_language = normalised_language(track.language);
            }
        }
    }
    return choose_subtitle_track(tracks, choices.subtitles, choices.languages, sound_language,
                                 player_shows_tracks);
}

std::string subtitle_words(const SubtitleTrackChoice& choice, const std::string& sound_language) {
    const std::string language = named(choice.track.language);
    std::string words = (choice.why == SubtitleTrackChoice::Why::forced ? "forced " : "") +
                        (language.empty() ? std::string() : language + " ") + "subtitles";
    if (choice.kept_as_track) {
        return words + " kept as a track";
    }
    words += " burned in";
    if (choice.why == SubtitleTrackChoice::Why::foreign_sound) {
        words += ": the sound is " + named(sound_language);
    }
    return words;
}

std::string subtitles_left_out_words(const SubtitleTrackChoice& choice, const std::string& why) {
    const std::string language = named(choice.track.language);
    return "the " + (language.empty() ? std::string() : language + " ") +
           "subtitles were left out: " + why;
}

int subtitle_text_height(int picture_height) {
    return std::min(std::max(picture_height / 14, 16), std::max(1, picture_height / 6));
}

} // namespace morvane
