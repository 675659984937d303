// SPDX-License-Identifier: GPL-3.0-or-later
// What a conversion reports to as it goes: how far it has come, and the answer that is the
// only way to stop it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace morvane {

class ProgressSink {
public:
    // Reports come at most once per `report_interval` (the first one interval after the start)
    // and only when the percentage changed; the end always sends 100. Between them the
    // conversion asks stop_requested() often, so that a stop is heard even while the
    // percentage stands still (a long gap being filled).
    explicit ProgressSink(
        std::chrono::microseconds report_interval = std::chrono::milliseconds(500))
        : report_interval_(report_interval.count()) {}
    virtual ~ProgressSink() = default;

    // `percent`: 0 to 100 of the current file. Return false to stop the conversion: it then
    // ends early but complete. Called on the converting thread; must return promptly.
    virtual bool on_progress(int percent) = 0;
    // Whether a stop was asked: the conversion then ends as after a false answer from
    // on_progress. Asked between packets and between the steps of a long fill, from the
    // converting threads: must be cheap.
    virtual bool stop_requested() const { return false; }

    std::chrono::microseconds report_interval() const {
        return std::chrono::microseconds(report_interval_.load(std::memory_order_relaxed));
    }

protected:
    // From any thread; a conversion under way takes it at its next report.
    void set_report_interval(std::chrono::microseconds interval) {
        report_interval_.store(interval.count(), std::memory_order_relaxed);
    }

private:
    std::atomic<std::int64_t> report_interval_;
};

} // namespace morvane
