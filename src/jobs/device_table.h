// SPDX-License-Identifier: GPL-3.0-or-later
// The five built-in target players, in the order their index is stored in the settings.
#pragma once

#include "jobs/device_profile.h"

#include <string>
#include <vector>

namespace morvane {

using DeviceTable = std::vector<DeviceProfile>;

// The five rows. `data_folder` ends with '/'; the pictures lie in its "devices/" folder.
DeviceTable device_table(const std::string& data_folder);

// A stored index that names no row selects the first one.
int valid_device_index(int index, const DeviceTable& table);

} // namespace morvane
