// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/copy_identity.h"

#include "jobs/output_mark.h"
#include "jobs/output_target.h"

#include <algorithm>

namespace morvane {

CopyIdentity::CopyIdentity(const FileToSend& file) : target_(file.target) {
    if (file.source.empty()) {
        return;
    }
    sources_.push_back(file.source);
    // An output an earlier version made names its source in that version's words; a copy it
    // sent names it in the same words.
    if (const auto own = read_output_mark(file.path); own && own->source != file.source) {
        sources_.push_back(own->source);
    }
}

bool CopyIdentity::matches(const std::string& held) const {
    if (sources_.empty()) {
        return false;
    }
    const std::optional<OutputMark> mark = read_output_mark(held);
    if (!mark || mark->state != OutputMark::State::complete ||
        std::find(sources_.begin(), sources_.end(), mark->source) == sources_.end()) {
        return false;
    }
    // Copies sent by earlier versions do not say what they were made for: their streams do.
    return (mark->target.empty() ? probed_output_target(held) : mark->target) == target_;
}

} // namespace morvane
