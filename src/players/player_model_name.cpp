// SPDX-License-Identifier: GPL-3.0-or-later
// The iPod's name comes from libgpod's own table of models, the one it tells iPods by.
#include "players/player_model_name.h"

#include <cctype>
#include <gpod/itdb.h>

namespace morvane {

namespace {

// "Classic" -> "classic", "Nano (3rd Gen.)" -> "nano (3rd Gen.)"; the first iPods have no
// family name of their own ("Regular (1st Gen.)" -> "(1st Gen.)").
std::string family_name(std::string generation) {
    const std::string regular = "Regular ";
    if (generation.starts_with(regular)) {
        return generation.substr(regular.size());
    }
    if (!generation.empty()) {
        generation[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(generation[0])));
    }
    return generation;
}

} // namespace

std::string player_model_name(const PlayerRoot& root) {
    if (root.kind == PlayerKind::psp) {
        return "PSP";
    }
    // libgpod's table leaves out the region letter that leads a model number ("xA623").
    std::string number = root.model_number;
    if (!number.empty() && std::isdigit(static_cast<unsigned char>(number[0])) == 0) {
        number.erase(0, 1);
    }
    if (number.empty()) {
        return "iPod";
    }
    for (const Itdb_IpodInfo* info = itdb_info_get_ipod_info_table();
         info != nullptr && info->model_number != nullptr; ++info) {
        if (number == info->model_number) {
            const char* generation = itdb_info_get_ipod_generation_string(info->ipod_generation);
            if (generation == nullptr || info->ipod_generation == ITDB_IPOD_GENERATION_UNKNOWN) {
                return "iPod";
            }
            return "iPod " + family_name(generation);
        }
    }
    return "iPod";
}

} // namespace morvane
