// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/output_naming.h"

namespace morvane {

std::string output_base_name(const std::string& input_path) {
    const std::size_t slash = input_path.find_last_of('/');
    std::string name = slash == std::string::npos ? input_path : input_path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) {
        name.erase(dot);
    }
    return name;
}

std::string planned_output_path(const DeviceProfile& device, const std::string& input_path,
                                bool video_output, const std::string& output_folder) {
    std::string path = output_folder;
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    path += output_base_name(input_path);
    path += video_output ? device.video_extension : device.audio_extension;
    return path;
}

std::string output_name_candidate(const std::string& planned_path, const std::string& extension,
                                  long long attempt) {
    if (attempt == 0) {
        return planned_path;
    }
    const std::string stem = planned_path.substr(0, planned_path.size() - extension.size());
    return stem + "_" + std::to_string(attempt - 1) + extension;
}

} // namespace morvane
