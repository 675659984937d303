// SPDX-License-Identifier: GPL-3.0-or-later
// The output mark check: the bytes are the entries of an output's tags, one "KEY=value" a
// line (keys of Morvane's own, "MORVANE_…"; lines of any other kind are passed over), after
// an optional first line "mp4" that picks a film MP4 over an MP3. They are written into the
// tags of a blank output the engine made, then the mark is read as the job and the senders
// read it, and must be one the job could have written: written back into a blank output,
// it reads back the same.
#include "engine/engine.h"
#include "jobs/device_plan.h"
#include "jobs/device_table.h"
#include "jobs/output_mark.h"
#include "jobs/source_identity.h"
#include "jobs/tag_file.h"
#include "parser_checks.h"

#include <cmath>
#include <map>

namespace morvane::fuzz {

namespace {

// What output_mark.h promises of a cut output's time: one a conversion reaches.
constexpr double longest_conversion = 366.0 * 24 * 3600;

// The iPod nano's row makes a film MP4 of a film, the Shuffle's an MP3 of sound.
const std::filesystem::path blank_outputs[] = {"blank.mp3", "blank.mp4"};
constexpr const char* blank_sources[] = {"fixture.wav", "fixture.mkv"};
constexpr int blank_rows[] = {3, 1};

// Converts a fifth of a second of the test media into each blank output that is missing.
std::optional<std::string> make_blank_outputs(const std::filesystem::path& work_folder) {
    const Engine engine;
    const DeviceTable devices = device_table("");
    for (int index = 0; index < 2; ++index) {
        const std::filesystem::path output = work_folder / blank_outputs[index];
        if (std::filesystem::exists(output)) {
            continue;
        }
        const std::string source = std::string(MORVANE_TEST_DATA_DIR) + "/" + blank_sources[index];
        MediaInput input;
        if (const auto problem = input.open(source)) {
            return "cannot open " + source + ": " + *problem;
        }
        ConversionPlan plan =
            conversion_plan(devices[blank_rows[index]], ConversionChoices{}, input);
        plan.time_limit = 200000;
        const std::filesystem::path made = work_folder / "blank.part";
        const ConversionResult result = engine.convert(input, made.string(), plan, nullptr);
        if (result.status != ConversionResult::Status::converted) {
            return "cannot convert " + source + ": " + result.reason;
        }
        std::filesystem::rename(made, output);
    }
    return std::nullopt;
}

bool own_key(std::string_view key) {
    if (!key.starts_with("MORVANE_") || key.size() > 64) {
        return false;
    }
    for (const char c : key) {
        if (!(c >= 'A' && c <= 'Z') && !(c >= '0' && c <= '9') && c != '_') {
            return false;
        }
    }
    return true;
}

// A copy of the blank output at `copy`, its tags the given entries; false when that failed.
bool marked_copy(const std::filesystem::path& blank, const std::filesystem::path& copy,
                 const std::map<std::string, std::string>& entries) {
    std::error_code error;
    std::filesystem::copy_file(blank, copy, std::filesystem::copy_options::overwrite_existing,
                               error);
    return !error && !write_file_tags(copy.string(), {}, entries);
}

const char* state_name(OutputMark::State state) {
    switch (state) {
    case OutputMark::State::complete:
        return "complete";
    case OutputMark::State::stopped:
        return "stopped";
    case OutputMark::State::incomplete:
        return "incomplete";
    }
    return "?";
}

// What differs between two marks, as a sentence; empty when nothing does. Times are written
// to the millisecond.
std::string difference(const OutputMark& read, const OutputMark& again) {
    if (read.source != again.source || read.target != again.target ||
        read.relative_path != again.relative_path || read.location != again.location) {
        return "source, target, path or location";
    }
    if (read.state != again.state) {
        return std::string("state (") + state_name(read.state) + ", then " +
               state_name(again.state) + ")";
    }
    if (read.reason != again.reason) {
        return "reason";
    }
    if (!(std::fabs(read.seconds - again.seconds) <= 0.001)) {
        return "time (" + std::to_string(read.seconds) + " s, then " +
               std::to_string(again.seconds) + " s)";
    }
    return {};
}

} // namespace

std::optional<std::string> check_output_mark(std::string_view bytes,
                                             const std::filesystem::path& work_folder) {
    if (const auto problem = make_blank_outputs(work_folder)) {
        return problem;
    }
    const bool film = bytes.starts_with("mp4\n");
    const std::filesystem::path blank = work_folder / blank_outputs[film ? 1 : 0];
    std::map<std::string, std::string> entries;
    for (std::size_t start = film ? 4 : 0; start < bytes.size();) {
        const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
        const std::string_view line = bytes.substr(start, end - start);
        start = end + 1;
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos && own_key(line.substr(0, equals))) {
            entries[std::string(line.substr(0, equals))] = std::string(line.substr(equals + 1));
        }
    }
    const std::filesystem::path output = work_folder / (film ? "marked.mp4" : "marked.mp3");
    if (!marked_copy(blank, output, entries)) {
        return std::nullopt;
    }
    const std::optional<OutputMark> mark = read_output_mark(output.string());
    if (!mark) {
        return std::nullopt;
    }
    if (mark->source.empty()) {
        return std::string("a mark without a source was read");
    }
    if (mark->state == OutputMark::State::stopped &&
        !(mark->seconds >= 0 && mark->seconds <= longest_conversion)) {
        return "a cut output was read as reaching " + std::to_string(mark->seconds) + " s";
    }
    if (mark->state == OutputMark::State::incomplete && mark->reason.empty()) {
        return std::string("an incomplete output was read without its reason");
    }
    // As the job and the senders compare the source it names with a file's own.
    if (const auto identity = SourceIdentity::of(blank.string())) {
        (void)identity->is(mark->source);
    }
    const std::filesystem::path again = work_folder / (film ? "again.mp4" : "again.mp3");
    if (!marked_copy(blank, again, mark->entries())) {
        return std::string("a mark that was read could not be written");
    }
    const std::optional<OutputMark> reread = read_output_mark(again.string());
    if (!reread) {
        return std::string("a mark that was read and written again was not read back");
    }
    if (const std::string differs = difference(*mark, *reread); !differs.empty()) {
        return "a mark that was read and written again came back with another " + differs;
    }
    return std::nullopt;
}

} // namespace morvane::fuzz
