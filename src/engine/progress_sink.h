// What a conversion reports to as it goes: how far it has come, and the answer that is the
// only way to stop it.
#pragma once

#include <chrono>

namespace morvane {

class ProgressSink {
public:
    // Reports come at most once per `report_interval` (the first one interval after the start)
    // and only when the percentage changed; the end always sends 100.
    explicit ProgressSink(
        std::chrono::microseconds report_interval = std::chrono::milliseconds(500))
        : report_interval_(report_interval) {}
    virtual ~ProgressSink() = default;

    // `percent`: 0 to 100 of the current file. Return false to stop the conversion: it then
    // ends early but complete. Called on the converting thread; must return promptly.
    virtual bool on_progress(int percent) = 0;

    std::chrono::microseconds report_interval() const { return report_interval_; }

private:
    std::chrono::microseconds report_interval_;
};

} // namespace morvane
