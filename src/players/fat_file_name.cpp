// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/fat_file_name.h"

#include "jobs/utf8_sequence.h"

#include <cstring>

namespace morvane {

namespace {

// Bytes, not characters: no UTF-8 name of this many bytes needs more UTF-16 units, which is
// what FAT counts; the rest of 255 is left for the naming rule's "_<n>".
constexpr std::size_t longest_name = 200;
// A longer "extension" is part of the name, not a type.
constexpr std::size_t longest_extension = 16;

std::string with_safe_characters(const std::string& text) {
    std::string safe;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8_sequence_length(std::string_view(text).substr(at));
        if (length == 0) {
            safe += '_';
            ++at;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (length == 1 && (c < 0x20 || c == 0x7f || std::strchr("\"*/:<>?\\|", c) != nullptr)) {
            safe += '_';
        } else {
            safe.append(text, at, length);
        }
        at += length;
    }
    return safe;
}

std::string without_dots_and_spaces_at_ends(const std::string& text) {
    const std::size_t first = text.find_first_not_of(". ");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(". ") - first + 1);
}

} // namespace

std::string fat_file_name(const std::string& name) {
    const std::string safe = with_safe_characters(name);
    const std::size_t dot = safe.find_last_of('.');
    std::string stem = safe;
    std::string extension;
    if (dot != std::string::npos && dot > 0 && safe.size() - dot <= longest_extension &&
        safe.size() - dot > 1 && safe.find(' ', dot) == std::string::npos) {
        stem = safe.substr(0, dot);
        extension = safe.substr(dot);
    }
    stem = without_dots_and_spaces_at_ends(stem);
    stem = without_dots_and_spaces_at_ends(cut_at_character(stem, longest_name - extension.size()));
    if (stem.empty()) {
        stem = "untitled";
    }
    return stem + extension;
}

} // namespace morvane
