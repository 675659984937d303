// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/sent_media.h"

namespace morvane {

SentMedia sent_media(const DeviceProfile& device, const std::string& output) {
    const std::string& extension = device.video_extension;
    const bool film =
        device.plays_video && output.size() >= extension.size() &&
        output.compare(output.size() - extension.size(), extension.size(), extension) == 0;
    return film ? SentMedia::video : SentMedia::sound;
}

FileToSend file_to_send(const JobOutcome& outcome, const DeviceProfile& device) {
    FileToSend file;
    file.path = outcome.output_path;
    file.name = outcome.player_name;
    file.folder = outcome.player_folder;
    file.media = sent_media(device, outcome.output_path);
    file.source = outcome.source;
    file.target = outcome.target;
    return file;
}

} // namespace morvane
