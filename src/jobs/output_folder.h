// SPDX-License-Identifier: GPL-3.0-or-later
// The folder a batch writes into, made ready before the batch starts: a folder that cannot
// be made or written fails the batch once, with one reason, instead of every file in turn.
#pragma once

#include <optional>
#include <string>

namespace morvane {

// Creates `folder` (and its parents) when missing, removes the temporaries killed runs left
// in it, and checks that a file can be created in it. Nothing when it is ready, else "cannot create
// the folder F: why" or "cannot write in the folder F: why".
std::optional<std::string> prepare_output_folder(const std::string& folder);

} // namespace morvane
