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

} // namespace morvane
