// SPDX-License-Identifier: GPL-3.0-or-later
// Which of an input's sound tracks a film carries: the owner's languages decide, the engine
// only lists what the file holds (input_tracks.h).
#pragma once

#include "engine/input_tracks.h"

#include <optional>
#include <string>
#include <vector>

namespace morvane {

struct SoundTrackChoice {
    // The track converted; none when the input has no sound track that can be converted.
    std::optional<InputTrack> main;
    // A second track, for players that switch between them: the best in the owner's second
    // language, when the file has one and the main track is in another language.
    std::optional<InputTrack> alternate;
    // How many sound tracks the input holds (that can be converted).
    int sound_tracks = 0;
};

// Among `tracks` (the input's, in the file's order): the sound track in the most preferred of
// `languages` (ISO 639-1 or 639-2 codes, most preferred first), then the one the file marks as
// default, then the first the file holds. Commentary and described (for the visually impaired)
// tracks only when there is no other. With `want_alternate`, also the alternate track.
SoundTrackChoice choose_sound_tracks(const std::vector<InputTrack>& tracks,
                                     const std::vector<std::string>& languages,
                                     bool want_alternate);

// "French sound", "French sound (Director's commentary)", "sound (Director's commentary)"
// for a track without language: what a result line says of the track taken.
std::string sound_track_words(const std::string& language, const std::string& title);

} // namespace morvane
