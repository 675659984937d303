// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ini_file.h"

#include "platform/atomic_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {
namespace {

constexpr std::string_view blanks = " \t\r\f\v";
constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
// A settings file is a few hundred bytes; anything this large is not one, and reading it
// would only cost memory.
constexpr off_t largest_readable_file = 16 * 1024 * 1024;

std::string_view trim(std::string_view text) {
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

char lower_ascii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower_ascii(a[i]) != lower_ascii(b[i])) {
            return false;
        }
    }
    return true;
}

bool is_quote(char c) {
    return c == '"' || c == '\'';
}

struct ParsedLine {
    enum class Kind { other, section, key } kind = Kind::other;
    std::string_view name;
    std::string_view value;
};

ParsedLine parse_line(std::string_view raw) {
    const std::string_view text = trim(raw);
    ParsedLine line;
    if (text.empty() || text.front() == ';' || text.front() == '#') {
        return line;
    }
    if (text.front() == '[') {
        const size_t close = text.rfind(']');
        if (close != std::string_view::npos) {
            line.kind = ParsedLine::Kind::section;
            line.name = trim(text.substr(1, close - 1));
        }
        return line;
    }
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        return line;
    }
    line.kind = ParsedLine::Kind::key;
    line.name = trim(text.substr(0, equals));
    std::string_view value = trim(text.substr(equals + 1));
    if (value.size() >= 2 && is_quote(value.front()) && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    line.value = value;
    return line;
}

bool holds_any(std::string_view text, std::string_view characters) {
    return text.find_first_of(characters) != std::string_view::npos;
}

const std::string_view line_breaks_and_nul("\r\n\0", 3);

bool writable_section_name(std::string_view name) {
    return !name.empty() && trim(name) == name && !holds_any(name, line_breaks_and_nul) &&
           !holds_any(name, "]");
}

bool writable_key_name(std::string_view name) {
    return !name.empty() && trim(name) == name && !holds_any(name, line_breaks_and_nul) &&
           !holds_any(name, "=") && name.front() != '[' && name.front() != ';' &&
           name.front() != '#';
}

// Quotes keep what reading would otherwise strip: outer blanks, or an outer pair of quotes.
std::string encode_value(std::string_view value) {
    const bool loses_blanks = trim(value).size() != value.size();
    const bool loses_quotes =
        value.size() >= 2 && is_quote(value.front()) && value.back() == value.front();
    if (loses_blanks || loses_quotes) {
        return "\"" + std::string(value) + "\"";
    }
    return std::string(value);
}

enum class ReadResult { missing, read, unreadable };

ReadResult read_whole_file(const std::string& path, std::string& contents) {
    // O_NONBLOCK: a pipe put in the file's place must not hang the start.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return errno == ENOENT ? ReadResult::missing : ReadResult::unreadable;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size > largest_readable_file) {
        ::close(fd);
        return ReadResult::unreadable;
    }
    contents.clear();
    char buffer[16384];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count == 0) {
            break;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            contents.clear();
            return ReadResult::unreadable;
        }
        if (contents.size() + static_cast<size_t>(count) > largest_readable_file) {
            ::close(fd);
            contents.clear();
            return ReadResult::unreadable;
        }
        contents.append(buffer, static_cast<size_t>(count));
    }
    ::close(fd);
    return ReadResult::read;
}

} // namespace

IniFile IniFile::load(const std::string& path) {
    IniFile file;
    file.path_ = path;
    std::string contents;
    switch (read_whole_file(path, contents)) {
    case ReadResult::missing:
        file.source_ = Source::missing;
        return file;
    case ReadResult::unreadable:
        file.source_ = Source::unreadable;
        return file;
    case ReadResult::read:
        file.source_ = Source::read;
        break;
    }

    std::string_view rest = contents;
    if (rest.starts_with(byte_order_mark)) {
        file.byte_order_mark_ = true;
        rest.remove_prefix(byte_order_mark.size());
    }
    while (!rest.empty()) {
        const size_t newline = rest.find('\n');
        std::string_view text = rest.substr(0, newline);
        std::string ending;
        if (newline == std::string_view::npos) {
            rest = {};
        } else {
            rest.remove_prefix(newline + 1);
            ending = "\n";
            if (text.ends_with('\r')) {
                text.remove_suffix(1);
                ending = "\r\n";
            }
        }
        file.lines_.push_back({std::string(text), ending});
    }
    if (!file.lines_.empty() && !file.lines_.front().ending.empty()) {
        file.newline_ = file.lines_.front().ending;
    }
    return file;
}

std::optional<size_t> IniFile::find_section(std::string_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        const ParsedLine line = parse_line(lines_[i].text);
        if (line.kind == ParsedLine::Kind::section && same_name(line.name, section)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    const std::optional<size_t> header = find_section(section);
    if (!header) {
        return std::nullopt;
    }
    for (size_t i = *header + 1; i < lines_.size(); ++i) {
        const ParsedLine line = parse_line(lines_[i].text);
        if (line.kind == ParsedLine::Kind::section) {
            break;
        }
        if (line.kind == ParsedLine::Kind::key && same_name(line.name, key)) {
            return std::string(line.value);
        }
    }
    return std::nullopt;
}

std::string IniFile::read_string(std::string_view section, std::string_view key,
                                 std::string_view fallback) const {
    std::optional<std::string> found = value(section, key);
    return found ? std::move(*found) : std::string(fallback);
}

int IniFile::read_int(std::string_view section, std::string_view key, int fallback) const {
    const std::optional<std::string> found = value(section, key);
    const std::string_view text = found ? trim(*found) : std::string_view();
    if (text.empty()) {
        return fallback;
    }
    size_t position = 0;
    const bool negative = text.front() == '-';
    if (text.front() == '-' || text.front() == '+') {
        position = 1;
    }
    // Magnitude capped just past the int range, so overflow saturates instead of wrapping.
    constexpr long long cap = static_cast<long long>(INT_MAX) + 1;
    long long magnitude = 0;
    for (; position < text.size() && text[position] >= '0' && text[position] <= '9'; ++position) {
        magnitude = std::min(cap, magnitude * 10 + (text[position] - '0'));
    }
    if (negative) {
        return static_cast<int>(-magnitude);
    }
    return static_cast<int>(std::min<long long>(magnitude, INT_MAX));
}

void IniFile::end_last_line() {
    if (!lines_.empty() && lines_.back().ending.empty()) {
        lines_.back().ending = newline_;
    }
}

bool IniFile::write_string(std::string_view section, std::string_view key, std::string_view value) {
    if (!writable_section_name(section) || !writable_key_name(key) ||
        holds_any(value, line_breaks_and_nul)) {
        return false;
    }
    const std::string encoded = encode_value(value);
    const std::optional<size_t> header = find_section(section);
    if (!header) {
        end_last_line();
        if (!lines_.empty() && !trim(lines_.back().text).empty()) {
            lines_.push_back({"", newline_});
        }
        lines_.push_back({"[" + std::string(section) + "]", newline_});
        lines_.push_back({std::string(key) + "=" + encoded, newline_});
        return true;
    }

    size_t last_filled = *header;
    for (size_t i = *header + 1; i < lines_.size(); ++i) {
        const ParsedLine line = parse_line(lines_[i].text);
        if (line.kind == ParsedLine::Kind::section) {
            break;
        }
        if (line.kind == ParsedLine::Kind::key && same_name(line.name, key)) {
            // The key keeps the spelling it has in the file.
            lines_[i].text = std::string(line.name) + "=" + encoded;
            return true;
        }
        if (!trim(lines_[i].text).empty()) {
            last_filled = i;
        }
    }
    if (last_filled + 1 == lines_.size()) {
        end_last_line();
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last_filled + 1),
                  Line{std::string(key) + "=" + encoded, newline_});
    return true;
}

bool IniFile::write_int(std::string_view section, std::string_view key, int value) {
    return write_string(section, key, std::to_string(value));
}

std::string IniFile::text() const {
    std::string contents;
    if (byte_order_mark_) {
        contents += byte_order_mark;
    }
    for (const Line& line : lines_) {
        contents += line.text;
        contents += line.ending;
    }
    return contents;
}

bool IniFile::save(std::string* failure) const {
    if (source_ == Source::unreadable) {
        if (failure != nullptr) {
            *failure = "the file could not be read";
        }
        return false;
    }
    return replace_file_atomically(path_, text(), failure);
}

} // namespace morvane
