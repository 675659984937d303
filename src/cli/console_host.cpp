#include "cli/console_host.h"

#include <filesystem>

namespace morvane {

namespace {

std::string clock_text(std::chrono::seconds seconds) {
    const long long total = seconds.count();
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    }
    return text;
}

std::string file_name(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

} // namespace

ConsoleHost::ConsoleHost(std::FILE* out, bool interactive) : out_(out), interactive_(interactive) {}

void ConsoleHost::conversion_begin() {
    std::lock_guard lock(mutex_);
    file_started_ = std::chrono::steady_clock::now();
    last_drawn_percent_ = -1;
}

void ConsoleHost::conversion_end(const BatchSummary&) {
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
    }
    batch_over_.notify_all();
}

void ConsoleHost::status_changed(const ConversionStatus& status) {
    if (!interactive_) {
        return;
    }
    std::lock_guard lock(mutex_);
    draw_progress_line(status);
}

void ConsoleHost::draw_progress_line(const ConversionStatus& converting) {
    if (!converting.converting) {
        return;
    }
    const std::string& status = converting.text;
    const int percent = std::atoi(status.c_str());
    const bool is_percentage = !status.empty() && status.back() == '%';
    if (is_percentage && percent == last_drawn_percent_) {
        return;
    }
    last_drawn_percent_ = is_percentage ? percent : -1;
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::steady_clock::now() - file_started_);
    std::string line = std::to_string(converting.index + 1) + "/" +
                       std::to_string(converting.total) + " " + file_name(converting.path);
    if (is_percentage) {
        line += "  " + std::to_string(percent) + "%  " + clock_text(elapsed);
        if (percent > 0 && percent < 100) {
            line += ", about " + clock_text(elapsed * (100 - percent) / percent) + " left";
        }
    }
    std::fprintf(out_, "\r\033[K%s", line.c_str());
    std::fflush(out_);
}

void ConsoleHost::file_finished(const std::string& path, const JobOutcome& outcome) {
    std::lock_guard lock(mutex_);
    results_.push_back({path, outcome});
    if (outcome.status == JobStatus::not_started) {
        return; // listed in the summary
    }
    if (interactive_) {
        std::fprintf(out_, "\r\033[K");
    }
    if (outcome.converted() || outcome.status == JobStatus::stopped) {
        std::fprintf(out_, "%s -> %s\n", path.c_str(), outcome.output_path.c_str());
    } else {
        std::fprintf(out_, "%s: %s\n", path.c_str(), outcome.reason.c_str());
    }
    std::fflush(out_);
}

void ConsoleHost::wait_for_batch_end() {
    std::unique_lock lock(mutex_);
    batch_over_.wait(lock, [this] { return ended_; });
}

std::vector<ConsoleHost::Result> ConsoleHost::results() const {
    std::lock_guard lock(mutex_);
    return results_;
}

} // namespace morvane
