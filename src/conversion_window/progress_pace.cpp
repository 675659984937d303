// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion_window/progress_pace.h"

namespace morvane {

void ProgressPace::start(Clock::time_point now) {
    last_said_ = now;
    file_index_ = -1;
    file_start_unsaid_ = false;
}

bool ProgressPace::due(int index, Clock::time_point now) {
    if (index != file_index_) {
        // The first file starts with the batch, which is not said.
        file_start_unsaid_ = file_index_ >= 0;
        file_index_ = index;
    }
    const auto quiet = now - last_said_;
    if ((file_start_unsaid_ && quiet >= interval_) || quiet >= reminder_) {
        last_said_ = now;
        file_start_unsaid_ = false;
        return true;
    }
    return false;
}

} // namespace morvane
