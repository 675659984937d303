// SPDX-License-Identifier: GPL-3.0-or-later
// The SysInfo check: the bytes as an iPod's iPod_Control/Device/SysInfo, read as the player
// watchers read it (find_player_root, player_model_name) and as the sender opens the iPod
// through libgpod.
#include "parser_checks.h"
#include "players/player_model_name.h"
#include "players/player_root.h"

#include <cctype>

extern "C" {
#include <gpod/itdb.h>
}

namespace morvane::fuzz {

namespace {

// What player_root.h promises of a model number: empty, or a few letters and digits.
bool plausible_model_number(const std::string& number) {
    if (number.size() > 32) {
        return false;
    }
    for (const char c : number) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<std::string> check_sysinfo(std::string_view bytes,
                                         const std::filesystem::path& work_folder) {
    const std::filesystem::path root = work_folder / "ipod";
    const std::filesystem::path device_folder = root / "iPod_Control" / "Device";
    std::error_code error;
    std::filesystem::create_directories(device_folder, error);
    if (error || !write_whole_file(device_folder / "SysInfo", bytes)) {
        return std::nullopt;
    }
    const std::optional<PlayerRoot> found = find_player_root(root.string());
    if (!found || found->kind != PlayerKind::ipod) {
        return std::string("a folder holding iPod_Control/ was not told as an iPod");
    }
    if (!plausible_model_number(found->model_number)) {
        return "the model number \"" + found->model_number + "\" is not a few letters and digits";
    }
    const std::string name = player_model_name(*found);
    if (!name.starts_with("iPod")) {
        return "the iPod was named \"" + name + "\"";
    }
    // What the sender asks of libgpod about the same file.
    Itdb_Device* device = itdb_device_new();
    itdb_device_set_mountpoint(device, root.c_str());
    (void)itdb_device_get_ipod_info(device);
    g_free(itdb_device_get_sysinfo(device, "FirewireGuid"));
    (void)itdb_device_supports_artwork(device);
    itdb_device_free(device);
    return std::nullopt;
}

} // namespace morvane::fuzz
