// SPDX-License-Identifier: GPL-3.0-or-later
// Which file an input is, by its content alone: its size and a hash of its first and last
// megabyte. A copy, a touched file or a library moved to another disk is the same source; a
// retagged or re-ripped song is another. Outputs record it, so that a rerun knows which
// outputs an input has already made.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace morvane {

class SourceIdentity {
public:
    // Nothing when the file cannot be read (or is no regular file).
    static std::optional<SourceIdentity> of(const std::string& path);

    // "2 <size> <hash>", as outputs record it.
    const std::string& text() const { return text_; }

    // Whether `recorded`, an identity an output names, is this file's. Outputs of earlier
    // versions named "1 <size> <modified> <hash>" with another hash: the same file still
    // matches them by size and content, whatever its modification time.
    bool is(const std::string& recorded) const;

private:
    SourceIdentity(std::string path, std::int64_t size, std::string text)
        : path_(std::move(path)), size_(size), text_(std::move(text)) {}

    std::string path_;
    std::int64_t size_ = 0;
    std::string text_;
    // The earlier versions' hash, worked out only when an output of theirs is met.
    mutable std::optional<std::string> earlier_hash_;
};

} // namespace morvane
