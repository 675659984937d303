// SPDX-License-Identifier: GPL-3.0-or-later
// Turns what the user named (files, folders) into the inputs of a batch, for the command
// line and the desktop alike. Each file comes once however often it is named or reached (by
// device and inode); a file met again is kept as a duplicate, so that the batch can say so.
// Walked folders give the media files under them, found by content (or by a media
// extension): such a file that turns out damaged fails in the batch with its reason instead
// of vanishing. Other files are passed over and listed; a folder that cannot be read is
// listed with why. The output folder is never walked into.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace morvane {

struct CollectedInput {
    std::string path; // as named, or the walked folder's name joined with the file's
    // Under the folder it was found in ("Artist/Album/01 Intro.flac"); a file named by
    // itself: its own name.
    std::string relative_path;
    std::string same_as; // a duplicate: the input first met as this very file
    bool duplicate() const { return !same_as.empty(); }
};

struct UnreadableFolder {
    std::string path;
    std::string reason;
};

class InputCollector {
public:
    // Told as a walk goes: files looked at, media found.
    using WalkProgress = std::function<void(int files, int media)>;

    // `stopped` ends a long walk early (a stop during it). The walk never enters
    // `output_folder`: a rerun would otherwise convert the last run's outputs.
    InputCollector(bool recursive, const std::string& output_folder, std::function<bool()> stopped,
                   WalkProgress walk_progress = {});

    // A name given by the user. Without `recursive` a folder is kept as an input of its
    // own (the batch reports it as a folder); a file is always kept, media or not, so
    // that the batch can say what is wrong with it.
    void add(const std::string& path);

    const std::vector<CollectedInput>& inputs() const { return inputs_; }
    const std::vector<std::string>& passed_over() const { return passed_over_; }
    const std::vector<UnreadableFolder>& unreadable_folders() const { return unreadable_; }

private:
    void walk(const std::string& folder, const std::string& relative_folder);
    void keep(const std::string& path, std::string relative_path);

    bool recursive_;
    std::string output_folder_;
    std::function<bool()> stopped_;
    WalkProgress walk_progress_;
    std::vector<CollectedInput> inputs_;
    std::vector<std::string> passed_over_;
    std::vector<UnreadableFolder> unreadable_;
    // The path each file was first met as, by device and inode ("<dev>:<inode>"), or by
    // name for names that are no file at all (missing, say).
    std::map<std::string, std::string> first_met_;
    std::set<std::pair<dev_t, ino_t>> walked_;
    int files_seen_ = 0;
    int media_found_ = 0;
};

// Reads the names in `list` ("-": standard input) into `names`: one a line, or ended by
// NUL when `null_separated`. Empty entries are left out. Returns why it could not be read.
std::optional<std::string> read_name_list(const std::string& list, bool null_separated,
                                          std::vector<std::string>& names);

// Whether a file is meant as sound or film: FFmpeg recognises its content with confidence,
// or its extension is one of media_extensions(); pictures and text are not. Reads only the
// start of the file: the conversion is what opens it for real.
bool looks_like_media(const std::string& path);

// The extensions a file is taken as media by (lower case, without the dot, sorted): those of
// FFmpeg's sound and film formats, and the usual names of those it tells by content alone
// ("wav", "mpg", "ts", ...). The desktop's Open dialog offers the same files.
const std::vector<std::string>& media_extensions();

} // namespace morvane
