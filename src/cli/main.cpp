// SPDX-License-Identifier: GPL-3.0-or-later
// morvane-convert: the headless front end. The same settings, device profiles, jobs and
// worker as the desktop window, driven from a terminal or a script.
#include "cli/batch_report.h"
#include "cli/command_line.h"
#include "cli/device_choice.h"
#include "cli/interrupt_watcher.h"
#include "cli/parallel_batch.h"
#include "cli/printable_name.h"
#include "engine/ffmpeg_messages.h"
#include "jobs/device_table.h"
#include "jobs/input_collector.h"
#include "jobs/output_folder.h"
#include "platform/immediate_quit.h"
#include "players/connected_player_sender.h"
#include "players/player_root.h"
#include "settings/settings_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace morvane {
namespace {

// "video 320x240 MPEG4 (mpeg4), 320x240 H.264 (h264)": each picture codec the device plays, by
// the name --video-codec takes.
std::string film_formats(const DeviceProfile& device) {
    std::string text;
    for (const FilmFormat& film : device.films) {
        text += (text.empty() ? "video " : ", ") + std::to_string(film.frame_width) + "x" +
                std::to_string(film.frame_height) + " " + film.format_name + " (" + film.codec +
                ")";
    }
    return text;
}

// Standard output, through a stream that keeps why its first write failed: stdio keeps only
// that one did, and by the end of a batch errno says something else (or "Success").
class StandardOutput {
public:
    StandardOutput() {
        cookie_io_functions_t functions{};
        functions.write = &StandardOutput::write;
        stream_ = fopencookie(this, "w", functions);
    }
    ~StandardOutput() {
        if (stream_ != nullptr) {
            std::fclose(stream_);
        }
    }
    StandardOutput(const StandardOutput&) = delete;
    StandardOutput& operator=(const StandardOutput&) = delete;

    std::FILE* stream() const { return stream_ != nullptr ? stream_ : stdout; }

    // Flushes; nothing when everything written reached standard output, else why not.
    std::optional<std::string> failure() {
        const bool flushed = std::fflush(stream()) == 0;
        const int error = errno;
        if (flushed && std::ferror(stream()) == 0) {
            return std::nullopt;
        }
        return std::strerror(first_error_ != 0 ? first_error_ : error);
    }

private:
    // Writes all it is given unless a write fails; the count written.
    static ssize_t write(void* cookie, const char* data, std::size_t size) {
        auto& output = *static_cast<StandardOutput*>(cookie);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t count = ::write(STDOUT_FILENO, data + done, size - done);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count <= 0) {
                if (output.first_error_ == 0) {
                    output.first_error_ = count < 0 ? errno : EIO;
                }
                break;
            }
            done += static_cast<std::size_t>(count);
        }
        return static_cast<ssize_t>(done);
    }

    std::FILE* stream_ = nullptr;
    int first_error_ = 0; // errno of the first write that failed
};

// Prints an answer (the help, the version, the devices); one that cannot be written (a full
// disk, a closed pipe) is said, and is a failure, as for any GNU tool.
int print_answer(const std::string& text, const char* what) {
    StandardOutput output;
    std::fputs(text.c_str(), output.stream());
    if (const std::optional<std::string> failure = output.failure()) {
        std::fprintf(stderr, "morvane-convert: cannot write the %s: %s\n", what, failure->c_str());
        return 1;
    }
    return 0;
}

std::string device_list(const DeviceTable& table) {
    std::string text;
    for (std::size_t row = 0; row < table.size(); ++row) {
        const DeviceProfile& device = table[row];
        text += std::to_string(row) + "  " + device.display_name +
                std::string(device.display_name.size() < 18 ? 18 - device.display_name.size() : 0,
                            ' ') +
                "  " + (device.plays_video ? film_formats(device) + "; " : std::string()) +
                "sound only " + device.audio_format_name + "\n";
    }
    return text;
}

// "looking through folders: 1,240 files, 180 media", kept up to date on a terminal while a
// long walk runs.
class WalkLine {
public:
    explicit WalkLine(std::FILE* terminal) : terminal_(terminal) {}
    void show(int files, int media) {
        const auto now = std::chrono::steady_clock::now();
        if (terminal_ == nullptr || now - drawn_ < std::chrono::milliseconds(250)) {
            return;
        }
        drawn_ = now;
        shown_ = true;
        std::fprintf(terminal_, "\r\033[Klooking through folders: %s file%s, %s media",
                     with_thousands(files).c_str(), files == 1 ? "" : "s",
                     with_thousands(media).c_str());
        std::fflush(terminal_);
    }
    void clear() {
        if (shown_) {
            std::fputs("\r\033[K", terminal_);
            std::fflush(terminal_);
            shown_ = false;
        }
    }

private:
    static std::string with_thousands(int count) {
        const std::string digits = std::to_string(count);
        std::string text;
        for (std::size_t at = 0; at < digits.size(); ++at) {
            if (at > 0 && (digits.size() - at) % 3 == 0) {
                text += ',';
            }
            text += digits[at];
        }
        return text;
    }

    std::FILE* terminal_;
    std::chrono::steady_clock::time_point drawn_{};
    bool shown_ = false;
};

int usage_error(const std::string& message) {
    std::fprintf(stderr, "morvane-convert: %s; try --help\n", printable_name(message).c_str());
    return 2;
}

// One file per processor. Measured on two cores (12 one-minute songs for the Shuffle; four
// 15 s 720p clips for the nano): two at once took the same CPU time as one at a time and
// 0.55-0.75 of the wall time for sound, 0.50-0.60 for video, whose decoder and encoder do
// not keep two cores busy on their own.
int default_jobs() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

int convert(const CommandLine& line) {
    const SettingsLocation location = SettingsLocation::of_this_process();
    AppSettings settings;
    load_settings(settings, location);

    const DeviceTable devices = device_table(location.data_folder);
    int device_row = valid_device_index(settings.device_index, devices);
    if (line.device) {
        const auto chosen = choose_device(devices, *line.device);
        if (const auto* message = std::get_if<std::string>(&chosen)) {
            return usage_error(*message);
        }
        device_row = std::get<int>(chosen);
    }
    const DeviceProfile& device = devices[static_cast<std::size_t>(device_row)];
    if (line.video_codec) {
        if (!device.plays_video) {
            return usage_error("the " + device.display_name +
                               " plays no films: --video-codec does not apply to it");
        }
        const FilmFormat* film = device.film_format(*line.video_codec);
        if (film->codec != *line.video_codec) {
            return usage_error("the " + device.display_name + " plays no \"" + *line.video_codec +
                               "\" films (see --list-devices)");
        }
        settings.video_codec = *line.video_codec;
    }
    if (line.picture_size) {
        if (!device.plays_video) {
            return usage_error("the " + device.display_name +
                               " plays no films: --picture-size does not apply to it");
        }
        if (*line.picture_size == AppSettings::PictureSize::tv &&
            !device.plays_tv_size(settings.video_codec)) {
            return usage_error("the " + device.display_name + " plays no " +
                               device.film_format(settings.video_codec)->format_name +
                               " films for a television: --picture-size tv does not apply to it");
        }
        settings.picture_size = *line.picture_size;
    }
    settings.preferred_languages = line.languages.value_or(settings.preferred_languages);
    settings.subtitles = line.subtitles.value_or(settings.subtitles);
    if (line.crop) {
        settings.crop = *line.crop ? 1 : 0;
    }
    if (line.fill) {
        settings.fill = 1;
    }
    settings.video_quality = line.quality.value_or(settings.video_quality);

    // The player is checked before anything converts: a mistyped folder fails at once.
    std::optional<PlayerRoot> player;
    if (line.send_to) {
        if (!device.accepts_sent_files) {
            return usage_error("--send-to does not work for the " + device.display_name +
                               " (its media library is closed to other programs); "
                               "name another player with --device");
        }
        player = find_player_root(*line.send_to);
        if (!player) {
            return usage_error(*line.send_to +
                               " is not a player: its root holds neither PSP/ nor iPod_Control/");
        }
    }

    if (line.output_dir) {
        settings.output_folder = *line.output_dir;
        if (settings.output_folder.back() != '/') {
            settings.output_folder += '/';
        }
    }
    // A folder that cannot take the outputs fails the batch once, before anything starts.
    if (const std::optional<std::string> problem = prepare_output_folder(settings.output_folder)) {
        std::fprintf(stderr, "morvane-convert: %s\n", printable_name(*problem).c_str());
        return 1;
    }
    // A terminal command never opens windows or switches the computer off.
    settings.shutdown_after_batch = 0;
    settings.open_output_after_batch = 0;

    show_ffmpeg_messages(FfmpegMessages::none);
    // Results go to standard output; with --json they are the document alone, and the
    // per-file lines go with the messages.
    StandardOutput results;
    std::FILE* result_lines = line.json ? (line.quiet ? nullptr : stderr) : results.stream();
    ParallelBatch::Options options;
    options.jobs = line.jobs.value_or(default_jobs());
    options.skip_existing = line.skip_existing;
    options.keep_folders = line.keep_folders;
    options.show_progress = !line.quiet && isatty(STDERR_FILENO) != 0;
    // A second signal quits through it, once an iPod's databases are written whole.
    ImmediateQuit quit;
    ParallelBatch batch(device, settings, options, result_lines, stderr);
    // Before any other thread exists, so that no thread but the watcher takes the signals.
    InterruptWatcher interrupts(quit, [&batch] { batch.request_stop(); });
    // After the watcher: whatever threads GLib starts under libgpod leave the signals to it.
    // Asked before anything converts: a player that takes no file fails the batch at once.
    if (player) {
        auto sender = std::make_unique<ConnectedPlayerSender>(*player, &quit);
        if (const std::string refusal = sender->refusal(); !refusal.empty()) {
            std::fprintf(stderr, "morvane-convert: cannot send to the %s at %s: %s\n",
                         player_kind_name(player->kind).c_str(),
                         printable_name(player->path).c_str(), printable_name(refusal).c_str());
            return 1;
        }
        batch.send_to(std::move(sender));
    }

    WalkLine walk_line(options.show_progress ? stderr : nullptr);
    InputCollector collector(
        line.recursive, settings.output_folder, [&batch] { return batch.stop_requested(); },
        [&walk_line](int files, int media) { walk_line.show(files, media); });
    std::vector<std::string> named = line.files;
    for (const std::string& list : line.files_from) {
        if (auto error = read_name_list(list, line.null_separated, named)) {
            std::fprintf(stderr, "morvane-convert: %s\n", printable_name(*error).c_str());
            return 2;
        }
    }
    for (const std::string& name : named) {
        collector.add(name);
    }
    walk_line.clear();
    for (const UnreadableFolder& folder : collector.unreadable_folders()) {
        std::fprintf(stderr, "morvane-convert: cannot read the folder %s: %s\n",
                     printable_name(folder.path).c_str(), folder.reason.c_str());
    }
    const std::vector<CollectedInput>& inputs = collector.inputs();
    if (!line.quiet && !batch.stop_requested()) {
        const std::string onto = player ? ", then onto the " + player_kind_name(player->kind) +
                                              " at " + printable_name(player->path)
                                        : std::string();
        std::fprintf(stderr, "Converting %zu file%s for %s into %s%s (%d at once)\n", inputs.size(),
                     inputs.size() == 1 ? "" : "s", device.display_name.c_str(),
                     printable_name(settings.output_folder).c_str(), onto.c_str(),
                     std::min<int>(options.jobs, std::max<int>(1, inputs.size())));
    }
    // After a stop too, the player's sending is finished: the files that reached an iPod are
    // in its library only once its database is written.
    const std::vector<InputRecord> records = batch.run(inputs);

    BatchSummary counts = batch.summary();
    counts.passed_over = static_cast<int>(collector.passed_over().size());
    counts.unreadable_folders = static_cast<int>(collector.unreadable_folders().size());
    if (line.json) {
        std::fputs(
            json_document(records, counts, collector.passed_over(), collector.unreadable_folders())
                .c_str(),
            results.stream());
    }
    // Results that never reached their reader are a failure too, as for any GNU tool.
    const std::optional<std::string> results_failure = results.failure();
    if (results_failure) {
        std::fprintf(stderr, "morvane-convert: cannot write the results: %s\n",
                     results_failure->c_str());
    }
    if (!line.quiet) {
        std::fprintf(stderr, "%s\n", summary_line(counts).c_str());
    }
    if (const int signal = interrupts.signal_taken()) {
        return 128 + signal;
    }
    return counts.all_converted() && counts.not_sent == 0 && counts.unreadable_folders == 0 &&
                   !results_failure
               ? 0
               : 1;
}

} // namespace
} // namespace morvane

int main(int argc, char** argv) {
    using namespace morvane;
    // A reader that goes away (`| head`) must not end the batch: writes just fail.
    std::signal(SIGPIPE, SIG_IGN);
    const auto parsed = parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        return usage_error(error->message);
    }
    const CommandLine& line = std::get<CommandLine>(parsed);
    switch (line.action) {
    case CommandLine::Action::help:
        return print_answer(usage_text(), "help");
    case CommandLine::Action::version:
        return print_answer(std::string("morvane-convert ") + MORVANE_VERSION + "\n", "version");
    case CommandLine::Action::list_devices:
        return print_answer(device_list(device_table("")), "list of devices");
    case CommandLine::Action::convert:
        return convert(line);
    }
    return 2;
}
