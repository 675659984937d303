// SPDX-License-Identifier: GPL-3.0-or-later
// Ranks an input's sound tracks by the owner's languages, the file's default mark and its order.
#include "jobs/sound_track_choice.h"

#include "jobs/language_codes.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <utility>

namespace morvane {

namespace {

// A track the player can be given: sound whose shape the probe found.
bool convertible(const InputTrack& track) {
    return track.kind == InputTrack::Kind::sound && track.channels > 0 && track.sample_rate > 0;
}

// Commentary and described sound are extras: never what a film plays unless there is nothing
// else.
bool extra(const InputTrack& track) {
    return track.commentary || track.descriptive;
}

// The best of `candidates` (in the file's order) for `preferred` (normalised codes): the most
// preferred language, then the default mark, then the first held. A broadcast's first track
// is its main one, whatever rate another has, so the rate is never asked.
const InputTrack* best(const std::vector<const InputTrack*>& candidates,
                       const std::vector<std::string>& preferred) {
    const auto rank = [&preferred](const InputTrack& track) {
        const std::string language = normalised_language(track.language);
        const auto found = std::find(preferred.begin(), preferred.end(), language);
        return language.empty() ? preferred.size()
                                : static_cast<std::size_t>(found - preferred.begin());
    };
    const InputTrack* chosen = nullptr;
    for (const InputTrack* track : candidates) {
        if (chosen == nullptr || rank(*track) < rank(*chosen) ||
            (rank(*track) == rank(*chosen) && track->is_default && !chosen->is_default)) {
            chosen = track;
        }
    }
    return chosen;
}

} // namespace

SoundTrackChoice choose_sound_tracks(const std::vector<InputTrack>& tracks,
                                     const std::vector<std::string>& languages,
                                     bool want_alternate) {
    SoundTrackChoice choice;
    std::vector<const InputTrack*> ordinary;
    std::vector<const InputTrack*> extras;
    for (const InputTrack& track : tracks) {
        if (convertible(track)) {
            (extra(track) ? extras : ordinary).push_back(&track);
        }
    }
    choice.sound_tracks = static_cast<int>(ordinary.size() + extras.size());
    const std::vector<const InputTrack*>& candidates = ordinary.empty() ? extras : ordinary;
    std::vector<std::string> preferred;
    for (const std::string& language : languages) {
        if (std::string code = normalised_language(language); !code.empty()) {
            preferred.push_back(std::move(code));
        }
    }
    const InputTrack* main = best(candidates, preferred);
    if (main == nullptr) {
        return choice;
    }
    choice.main = *main;
    if (!want_alternate || preferred.size() < 2 ||
        normalised_language(main->language) == preferred[1]) {
        return choice;
    }
    std::vector<const InputTrack*> second;
    std::copy_if(candidates.begin(), candidates.end(), std::back_inserter(second),
                 [&preferred](const InputTrack* track) {
                     return normalised_language(track->language) == preferred[1];
                 });
    if (const InputTrack* alternate = best(second, preferred)) {
        choice.alternate = *alternate;
    }
    return choice;
}

std::string sound_track_words(const std::string& language, const std::string& title) {
    const std::string name = language_name(language);
    std::string words = name.empty() ? "sound" : name + " sound";
    if (!title.empty()) {
        words += " (" + title + ")";
    }
    return words;
}

} // namespace morvane
