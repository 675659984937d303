// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/output_folder.h"

#include "jobs/temporary_output.h"

#include <filesystem>
#include <system_error>

namespace morvane {

std::optional<std::string> prepare_output_folder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder)) {
        return "cannot create the folder " + folder +
               (error ? ": " + error.message() : std::string(": it is not a folder"));
    }
    // Temporaries that killed runs left behind go once per batch, not once per file.
    TemporaryOutput::remove_stale(folder);
    // What every conversion does first, tried once: a hidden temporary, created and removed.
    TemporaryOutput trial;
    if (const std::optional<std::string> reason = trial.create(folder, "")) {
        return "cannot write in the folder " + folder + ": " + *reason;
    }
    return std::nullopt;
}

} // namespace morvane
