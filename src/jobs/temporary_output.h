// SPDX-License-Identifier: GPL-3.0-or-later
// The file a conversion writes into: a hidden temporary in the output folder that gets its
// final name only when it is complete, so that nothing under a visible name is ever partial,
// whatever ends the program (a crash, SIGKILL, a power cut).
//
// The temporary is created exclusively and locked (flock) for as long as this object lives;
// a later run removes temporaries left behind by killed runs, never one a live process holds.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace morvane {

class TemporaryOutput {
public:
    TemporaryOutput() = default;
    // Removes the temporary unless it was committed.
    ~TemporaryOutput();
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;

    // Creates `<folder>/.morvane-partial-<random><extension>` (the extension lets the muxer
    // be chosen by name). Nothing on success, else why.
    std::optional<std::string> create(const std::string& folder, const std::string& extension);
    const std::string& path() const { return path_; }

    // Flushes the complete file to disk and renames it, without replacing anything, to the
    // first free candidate of the naming rule for `planned_path` (see output_name_candidate);
    // the folder is flushed too. `final_path` gets the name; nothing on success, else why
    // (the temporary is then removed).
    std::optional<std::string> commit(const std::string& planned_path, const std::string& extension,
                                      std::string& final_path);
    // Flushes the complete file to disk and gives it `path` in one step, replacing the file
    // there: only for an output of the same input that a stop cut short, the one file Morvane
    // ever replaces. Nothing on success, else why (the temporary is then removed).
    std::optional<std::string> commit_replacing(const std::string& path);
    // Removes the temporary: a failed conversion leaves nothing.
    void discard();

    // Removes the temporaries of `folder` that no live process holds.
    static void remove_stale(const std::string& folder);

private:
    // fsync, then the name; releases the temporary either way.
    std::optional<std::string> finish(const std::function<bool()>& name);

    int descriptor_ = -1;
    std::string folder_;
    std::string path_;
};

} // namespace morvane
