// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/sent_media.h"

#include "jobs/output_naming.h"

namespace morvane {

SentMedia sent_media(const DeviceProfile& device, const std::string& output) {
    const std::string& extension = device.video_extension;
    const bool film =
        device.plays_video && output.size() >= extension.size() &&
        output.compare(output.size() - extension.size(), extension.size(), extension) == 0;
    return film ? SentMedia::video : SentMedia::sound;
}

std::string sent_name(const std::string& input, const std::string& output) {
    const std::size_t dot = output.find_last_of('.');
    return output_base_name(input) + (dot == std::string::npos ? "" : output.substr(dot));
}

} // namespace morvane
