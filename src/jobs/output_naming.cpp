// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/output_naming.h"

#include "jobs/utf8_sequence.h"

#include <unistd.h>

namespace morvane {

namespace {

// "_" and up to six digits: a million outputs of one name.
constexpr std::size_t suffix_room = 7;
// Where the file system does not say (or the folder is not there yet).
constexpr long usual_longest_name = 255;

} // namespace

std::string output_base_name(const std::string& input_path) {
    const std::size_t slash = input_path.find_last_of('/');
    std::string name = slash == std::string::npos ? input_path : input_path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) {
        name.erase(dot);
    }
    return name;
}

std::string planned_output_path(const std::string& folder, const std::string& base_name,
                                const std::string& extension) {
    std::string path = folder;
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    long longest = ::pathconf(path.empty() ? "." : path.c_str(), _PC_NAME_MAX);
    if (longest <= 0) {
        longest = usual_longest_name;
    }
    const std::size_t room = extension.size() + suffix_room;
    const std::size_t limit =
        static_cast<std::size_t>(longest) > room ? static_cast<std::size_t>(longest) - room : 1;
    return path + cut_at_character(base_name, limit) + extension;
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
