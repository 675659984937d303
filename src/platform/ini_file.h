// SPDX-License-Identifier: GPL-3.0-or-later
// A small INI file reader and writer with the rules of the classic Windows INI
// functions, so that hand-edited and older config.ini files read as users expect:
//
// - "[Section]" lines open sections; "key=value" lines inside them are keys. Section and
//   key names match without regard to ASCII case. Blanks around names and values are
//   ignored; a value wrapped in a pair of matching quotes ("..." or '...') reads without them.
// - Only the first section of a name counts, and in it the first line of a key: reading
//   finds that line and writing replaces it. Later duplicates are kept but never seen.
// - Lines that are none of these (comments starting with ';' or '#', blank lines, keys
//   outside any section, damaged or binary text) are kept byte for byte on save.
// - Writing a key that is missing adds it after the section's last line that is not blank;
//   a missing section is added at the end of the file.
// - LF and CRLF both read; lines keep their own endings and added lines take the file's
//   first one. A UTF-8 byte order mark is skipped and kept. Text is UTF-8 and passes
//   through untouched; no line is ever cut.
// - Integers read like the classic reader: an optional sign, then decimal digits up to the
//   first other character ("12ab" is 12, "-1" is -1); no digit at all reads as 0; an empty
//   value gives the default as a missing key does; values beyond 32 bits saturate.
//
// The file is read once by load() and written once, atomically, by save().
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

class IniFile {
public:
    enum class Source {
        missing,    // no file: an empty document, save() creates the file
        read,       // the whole file was read
        unreadable, // something is there that cannot be read; save() will not replace it
    };

    // A missing, unreadable or non-regular file (a folder, a pipe) gives an empty document;
    // this never blocks and never throws for bad content.
    static IniFile load(const std::string& path);

    Source source() const { return source_; }
    const std::string& path() const { return path_; }

    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    std::string read_string(std::string_view section, std::string_view key,
                            std::string_view fallback) const;
    int read_int(std::string_view section, std::string_view key, int fallback) const;

    // Changes the document only. False, and nothing changed, when a name is not writable
    // (empty, or holding '=', ']', a line break or NUL) or the value holds a line break or
    // NUL, which no line can carry. A value whose outer blanks or quotes would be lost on
    // reading is written in double quotes.
    bool write_string(std::string_view section, std::string_view key, std::string_view value);
    bool write_int(std::string_view section, std::string_view key, int value);

    // Replaces the file with the document (see replace_file_atomically). False, and the file
    // untouched, when it failed or when the file was there but could not be read; `failure`,
    // when given, then gets why.
    bool save(std::string* failure = nullptr) const;

    // The file's contents as save() writes them.
    std::string text() const;

private:
    struct Line {
        std::string text;   // without its line ending
        std::string ending; // "\n", "\r\n", or "" for a last line without one
    };

    std::optional<size_t> find_section(std::string_view section) const;
    void end_last_line();

    std::string path_;
    Source source_ = Source::missing;
    bool byte_order_mark_ = false;
    std::string newline_ = "\n";
    std::vector<Line> lines_;
};

} // namespace morvane
