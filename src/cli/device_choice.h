// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the player the user named on the command line.
#pragma once

#include "jobs/device_table.h"

#include <string>
#include <variant>

namespace morvane {

// `text` is a row index, or a case-insensitive part of exactly one device's name.
// Returns the row, or a message saying why none was chosen.
std::variant<int, std::string> choose_device(const DeviceTable& table, const std::string& text);

} // namespace morvane
