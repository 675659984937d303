// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/output_mark.h"

#include "engine/murmur3_hash.h"
#include "jobs/tag_file.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace morvane {

namespace {

constexpr const char* source_key = "MORVANE_SOURCE";
constexpr const char* target_key = "MORVANE_TARGET";
constexpr const char* path_key = "MORVANE_PATH";
constexpr const char* location_key = "MORVANE_LOCATION";
constexpr const char* state_key = "MORVANE_STATE";
// Earlier versions' "1" (complete) or "0" (cut by a stop).
constexpr const char* earlier_complete_key = "MORVANE_COMPLETE";

std::string value_of(const std::map<std::string, std::string>& entries, const char* key) {
    const auto found = entries.find(key);
    return found == entries.end() ? std::string() : found->second;
}

// No conversion runs for a year: a mark that says one did was not written by a conversion.
constexpr double longest_stop = 366.0 * 24 * 3600;

// How far a stopped conversion got, from what follows "stopped": 0 (not recorded) unless it
// is a time a conversion reaches. Written and read without the locale, whose decimal comma
// would make the marks of the desktop and of the command line unreadable to each other.
double stopped_seconds(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    double seconds = 0;
    const bool read =
        std::from_chars(text.data(), text.data() + text.size(), seconds).ec == std::errc();
    return read && std::isfinite(seconds) && seconds >= 0 && seconds <= longest_stop ? seconds : 0;
}

} // namespace

std::map<std::string, std::string> OutputMark::entries() const {
    std::string written_state = "complete";
    if (state == State::stopped) {
        char digits[64];
        const auto [end, error] =
            std::to_chars(digits, digits + sizeof digits, seconds, std::chars_format::fixed, 3);
        written_state = error == std::errc() ? "stopped " + std::string(digits, end) : "stopped";
    } else if (state == State::incomplete) {
        written_state = "incomplete " + reason;
    }
    std::map<std::string, std::string> written = {
        {source_key, source}, {target_key, target}, {state_key, written_state}};
    if (!relative_path.empty()) {
        written[path_key] = relative_path;
    }
    if (!location.empty()) {
        written[location_key] = location;
    }
    return written;
}

std::string source_location(const std::string& path) {
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(path, error).lexically_normal().string();
    Murmur3Hash hash;
    hash.add(reinterpret_cast<const std::uint8_t*>(absolute.data()), absolute.size());
    const std::array<std::uint8_t, 16> digest =
        hash.finish().value_or(std::array<std::uint8_t, 16>{});
    std::string text;
    for (std::size_t index = 0; index < 8; ++index) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", digest[index]);
        text += pair;
    }
    return text;
}

std::optional<OutputMark> read_output_mark(const std::string& path) {
    const std::optional<FileTags> tags = read_file_tags(path);
    if (!tags) {
        return std::nullopt;
    }
    OutputMark mark;
    mark.source = value_of(tags->own, source_key);
    if (mark.source.empty()) {
        return std::nullopt;
    }
    mark.target = value_of(tags->own, target_key);
    mark.relative_path = value_of(tags->own, path_key);
    mark.location = value_of(tags->own, location_key);
    const std::string state = value_of(tags->own, state_key);
    if (state.rfind("stopped", 0) == 0) {
        mark.state = OutputMark::State::stopped;
        mark.seconds = stopped_seconds(std::string_view(state).substr(7));
    } else if (state.rfind("incomplete", 0) == 0) {
        mark.state = OutputMark::State::incomplete;
        // What follows the word and its space: never cut inside a character.
        std::string_view reason = std::string_view(state).substr(10);
        if (reason.starts_with(' ')) {
            reason.remove_prefix(1);
        }
        mark.reason = reason.empty() ? std::string("incomplete") : std::string(reason);
    } else if (state.empty() && value_of(tags->own, earlier_complete_key) != "1") {
        mark.state = OutputMark::State::stopped; // how far it got was not recorded
    }
    return mark;
}

} // namespace morvane
