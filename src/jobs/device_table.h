// The five built-in target players, in the order their index is stored in the settings.
#pragma once

#include "jobs/device_profile.h"

#include <string>
#include <vector>

namespace morvane {

using DeviceTable = std::vector<DeviceProfile>;

constexpr int device_count = 5;

// Appends the five rows. `module_directory` ends with '/'; the pictures lie in its
// "devices/" folder.
void build_device_table(DeviceTable& table, const std::string& module_directory);

// A stored index that names no row selects the first one.
int valid_device_index(int index, const DeviceTable& table);

} // namespace morvane
