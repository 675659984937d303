// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/sent_media.h"

namespace morvane {

SentMedia sent_media(const JobOutcome& outcome) {
    return outcome.film ? SentMedia::video : SentMedia::sound;
}

FileToSend file_to_send(const JobOutcome& outcome) {
    FileToSend file;
    file.path = outcome.output_path;
    file.name = outcome.player_name;
    file.folder = outcome.player_folder;
    file.media = sent_media(outcome);
    file.source = outcome.source;
    file.target = outcome.target;
    return file;
}

} // namespace morvane
