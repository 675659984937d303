// Turns what the user named (files, folders, lists of names) into the inputs of a batch.
// Walked folders contribute only media, found by content: a file FFmpeg can open that has
// sound or moving pictures. Everything else found there is passed over quietly and counted.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

class InputCollector {
public:
    // `stopped` ends a long walk early (an interrupt during it). The walk never enters
    // `output_folder`: a rerun would otherwise convert the last run's outputs.
    InputCollector(bool recursive, const std::string& output_folder, std::function<bool()> stopped);

    // A name given by the user. Without `recursive` a folder is kept as an input of its
    // own (the batch reports it as a folder); a file is always kept, media or not, so
    // that the batch can say what is wrong with it.
    void add(const std::string& path);

    const std::vector<std::string>& inputs() const { return inputs_; }
    int passed_over() const { return passed_over_; }

private:
    void walk(const std::string& folder);

    bool recursive_;
    std::string output_folder_;
    std::function<bool()> stopped_;
    std::vector<std::string> inputs_;
    int passed_over_ = 0;
};

// Reads the names in `list` ("-": standard input) into `names`: one a line, or ended by
// NUL when `null_separated`. Empty entries are left out. Returns why it could not be read.
std::optional<std::string> read_name_list(const std::string& list, bool null_separated,
                                          std::vector<std::string>& names);

// Whether FFmpeg can open the file and finds sound or video in it (still pictures and text
// shown as pictures do not count).
bool is_media_file(const std::string& path);

} // namespace morvane
