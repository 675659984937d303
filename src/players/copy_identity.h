// SPDX-License-Identifier: GPL-3.0-or-later
// Telling whether a file a player holds is a copy of a file to send: made from the same source
// for the same target, as the marks in both files' tags say (see jobs/output_mark.h). A copy
// keeps its mark wherever it goes, so the player's own files say what they are.
#pragma once

#include "jobs/player_sender.h"

#include <string>
#include <vector>

namespace morvane {

class CopyIdentity {
public:
    explicit CopyIdentity(const FileToSend& file);

    // Whether the complete file at `held` was made from this file's source for its target.
    // Never for a file whose source is unknown.
    bool matches(const std::string& held) const;

private:
    // The source's identity now and, for outputs of earlier versions, as the converted
    // file's own mark records it.
    std::vector<std::string> sources_;
    std::string target_;
};

} // namespace morvane
