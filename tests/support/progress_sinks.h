// SPDX-License-Identifier: GPL-3.0-or-later
// Progress sinks the conversion tests share: one that never stops, one that stops part-way.
#pragma once

#include "engine/progress_sink.h"

#include <chrono>

namespace morvane::test {

class AlwaysGoOn : public ProgressSink {
public:
    bool on_progress(int) override { return true; }
};

// Stops once the conversion has come this far (in percent); reports at every change.
class StopAt : public ProgressSink {
public:
    explicit StopAt(int percent) : ProgressSink(std::chrono::microseconds(0)), percent_(percent) {}
    bool on_progress(int percent) override { return percent < percent_; }

private:
    int percent_;
};

} // namespace morvane::test
