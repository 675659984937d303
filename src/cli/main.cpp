// morvane-convert: the headless front end. The same settings, device profiles, jobs and
// worker as the desktop window, driven from a terminal or a script.
#include "cli/command_line.h"
#include "cli/console_host.h"
#include "cli/device_choice.h"
#include "cli/interrupt_watcher.h"
#include "jobs/conversion_worker.h"
#include "jobs/device_table.h"
#include "settings/settings_file.h"

#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

namespace morvane {
namespace {

int list_devices(const DeviceTable& table) {
    for (std::size_t row = 0; row < table.size(); ++row) {
        const DeviceProfile& device = table[row];
        if (device.media_kinds & KIND_VIDEO) {
            std::printf("%zu  %-18s  video %dx%d %s, sound only %s\n", row,
                        device.display_name.c_str(),
                        std::max(device.screen_width, device.screen_height),
                        std::min(device.screen_width, device.screen_height),
                        device.video_format_name.c_str(), device.audio_format_name.c_str());
        } else {
            std::printf("%zu  %-18s  sound only %s\n", row, device.display_name.c_str(),
                        device.audio_format_name.c_str());
        }
    }
    return 0;
}

int usage_error(const std::string& message) {
    std::fprintf(stderr, "morvane-convert: %s\n%s", message.c_str(), usage_text().c_str());
    return 2;
}

int convert(const CommandLine& line) {
    const SettingsLocation location = SettingsLocation::of_this_process();
    AppSettings settings;
    load_settings(settings, location);

    DeviceTable devices;
    build_device_table(devices, location.module_directory);
    int device_row = valid_device_index(settings.device_index, devices);
    if (line.device) {
        const auto chosen = choose_device(devices, *line.device);
        if (const auto* message = std::get_if<std::string>(&chosen)) {
            return usage_error(*message);
        }
        device_row = std::get<int>(chosen);
    }

    if (line.output_dir) {
        std::string folder = *line.output_dir;
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (!std::filesystem::is_directory(folder)) {
            std::fprintf(stderr, "morvane-convert: cannot create the folder %s%s%s\n",
                         folder.c_str(), error ? ": " : "", error ? error.message().c_str() : "");
            return 2;
        }
        if (folder.back() != '/') {
            folder += '/';
        }
        settings.output_folder = folder;
    }
    // A terminal command never opens windows or switches the computer off.
    settings.shutdown_after_batch = 0;
    settings.open_output_after_batch = 0;

    av_log_set_level(AV_LOG_QUIET);
    ConsoleHost host(stdout, isatty(STDOUT_FILENO) != 0);
    ConversionWorker worker(host);
    // Before the worker's thread exists, so that no thread but the watcher takes Ctrl-C.
    InterruptWatcher interrupts([&worker] { worker.request_stop(); });
    worker.set_device(devices[static_cast<std::size_t>(device_row)]);
    worker.set_settings(settings);
    std::printf("Converting %zu file%s for %s into %s\n", line.files.size(),
                line.files.size() == 1 ? "" : "s",
                devices[static_cast<std::size_t>(device_row)].display_name.c_str(),
                settings.output_folder.c_str());
    std::fflush(stdout);
    worker.add_files(line.files);
    worker.start_conversion();
    host.wait_for_batch_end();

    const auto results = host.results();
    std::vector<std::string> written;
    std::vector<std::pair<std::string, std::string>> failed;
    for (const auto& result : results) {
        if (result.outcome.converted() || result.outcome.status == JobStatus::stopped) {
            written.push_back(result.outcome.output_path);
        } else if (result.outcome.status == JobStatus::not_started) {
            failed.emplace_back(result.path, "left out after the stop");
        } else {
            failed.emplace_back(result.path, result.outcome.reason);
        }
    }
    for (std::size_t index = results.size(); index < line.files.size(); ++index) {
        failed.emplace_back(line.files[index], "left out after the stop");
    }
    std::printf("\nWritten: %zu\n", written.size());
    for (const std::string& path : written) {
        std::printf("  %s\n", path.c_str());
    }
    if (!failed.empty()) {
        std::printf("Not converted: %zu\n", failed.size());
        for (const auto& [path, reason] : failed) {
            std::printf("  %s: %s\n", path.c_str(), reason.c_str());
        }
    }
    return failed.empty() ? 0 : 1;
}

} // namespace
} // namespace morvane

int main(int argc, char** argv) {
    using namespace morvane;
    const auto parsed = parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        return usage_error(error->message);
    }
    const CommandLine& line = std::get<CommandLine>(parsed);
    switch (line.action) {
    case CommandLine::Action::help:
        std::fputs(usage_text().c_str(), stdout);
        return 0;
    case CommandLine::Action::version:
        std::printf("morvane-convert %s\n", MORVANE_VERSION);
        return 0;
    case CommandLine::Action::list_devices: {
        DeviceTable devices;
        build_device_table(devices, "");
        return list_devices(devices);
    }
    case CommandLine::Action::convert:
        return convert(line);
    }
    return 2;
}
