// SPDX-License-Identifier: GPL-3.0-or-later
// Which of an input's subtitle tracks a film shows, and how: the owner's choice (off, foreign,
// always) and languages decide; text goes in as a track the player turns on where the player
// shows such tracks, everything else is burned into the picture.
#pragma once

#include "engine/conversion_plan.h"
#include "engine/input_tracks.h"
#include "jobs/conversion_choices.h"

#include <optional>
#include <string>
#include <vector>

namespace morvane {

struct SubtitleTrackChoice {
    enum class Why {
        foreign_sound, // "foreign": the sound is in none of the owner's languages
        always,        // "always"
        forced,        // marked forced, in the language of the sound the film carries
    };
    InputTrack track;
    Why why = Why::always;
    // Kept as a track (text on a player that shows subtitle tracks) rather than burned in.
    bool kept_as_track = false;
};

// Among `tracks` (the input's, in the file's order), for a film whose sound is in
// `sound_language` (any ISO 639 code; empty when the file does not say), with `languages` the
// owner's (most preferred first):
// - off: none;
// - foreign: when the sound's language is known and none of the owner's, the best track in the
//   most preferred of their languages (a track in a language they do not read helps nothing);
// - always: the best track, in the most preferred language, else marked default, else the
//   first;
// - otherwise (foreign, sound in a language of theirs), a track marked forced in the sound's
//   language: it translates what the sound itself leaves in another language.
// Among equals the file's default mark, then its order, decide; tracks for the hearing
// impaired and forced ones count only when nothing else will do. Text is kept as a track where
// `player_shows_tracks`; forced subtitles are always burned, so that they show without the
// owner turning them on.
std::optional<SubtitleTrackChoice> choose_subtitle_track(const std::vector<InputTrack>& tracks,
                                                         SubtitleChoice when,
                                                         const std::vector<std::string>& languages,
                                                         const std::string& sound_language,
                                                         bool player_shows_tracks);

// The subtitles of the film `plan` makes of `input` (none when it makes no film), for the
// sound it carries (whose language goes into `sound_language`).
std::optional<SubtitleTrackChoice> film_subtitle_track(const ConversionPlan& plan,
                                                       const MediaInput& input,
                                                       const ConversionChoices& choices,
                                                       bool player_shows_tracks,
                                                       std::string& sound_language);

// What the outcome says of it: "French subtitles burned in: the sound is English", "English
// subtitles kept as a track", "forced French subtitles burned in".
std::string subtitle_words(const SubtitleTrackChoice& choice, const std::string& sound_language);
// "the German subtitles were left out: they could not be read"
std::string subtitles_left_out_words(const SubtitleTrackChoice& choice, const std::string& why);

// The height of a line of burned-in text on a picture `picture_height` pixels high: a
// fourteenth of it (television's subtitles take a twelfth to a fifteenth), at least 16 pixels
// (a 240-line screen held at arm's length), at most a sixth of a very flat picture.
int subtitle_text_height(int picture_height);

} // namespace morvane
