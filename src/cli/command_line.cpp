#include "cli/command_line.h"

#include <charconv>

namespace morvane {

namespace {

constexpr int most_jobs = 64;

std::optional<int> jobs_count(const std::string& text) {
    int count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (error != std::errc() || end != text.data() + text.size() || count < 1 ||
        count > most_jobs) {
        return std::nullopt;
    }
    return count;
}

// Options that take a value, under their long and short names.
enum class Valued { none, device, output_dir, files_from, jobs };

Valued valued_long(const std::string& name) {
    if (name == "device") {
        return Valued::device;
    }
    if (name == "output-dir") {
        return Valued::output_dir;
    }
    if (name == "files-from") {
        return Valued::files_from;
    }
    if (name == "jobs") {
        return Valued::jobs;
    }
    return Valued::none;
}

std::optional<UsageError> set_value(CommandLine& line, Valued option, const std::string& value) {
    switch (option) {
    case Valued::device:
        if (value.empty()) {
            return UsageError{"--device needs a device number or name"};
        }
        line.device = value;
        break;
    case Valued::output_dir:
        if (value.empty()) {
            return UsageError{"--output-dir needs a folder"};
        }
        line.output_dir = value;
        break;
    case Valued::files_from:
        if (value.empty()) {
            return UsageError{"--files-from needs a file, or - for standard input"};
        }
        line.files_from = value;
        break;
    case Valued::jobs:
        line.jobs = jobs_count(value);
        if (!line.jobs) {
            return UsageError{"--jobs needs a number from 1 to " + std::to_string(most_jobs) +
                              ", not \"" + value + "\""};
        }
        break;
    case Valued::none:
        break;
    }
    return std::nullopt;
}

bool set_flag(CommandLine& line, const std::string& name) {
    if (name == "help" || name == "h") {
        line.action = CommandLine::Action::help;
    } else if (name == "version") {
        line.action = CommandLine::Action::version;
    } else if (name == "list-devices") {
        line.action = CommandLine::Action::list_devices;
    } else if (name == "recursive" || name == "r") {
        line.recursive = true;
    } else if (name == "null" || name == "0") {
        line.null_separated = true;
    } else if (name == "skip-existing") {
        line.skip_existing = true;
    } else if (name == "json") {
        line.json = true;
    } else if (name == "quiet" || name == "q") {
        line.quiet = true;
    } else {
        return false;
    }
    return true;
}

} // namespace

std::variant<CommandLine, UsageError>
parse_command_line(const std::vector<std::string>& arguments) {
    CommandLine line;
    bool only_files = false;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        const bool has_next = index + 1 < arguments.size();
        if (only_files || argument.size() < 2 || argument[0] != '-') {
            line.files.push_back(argument); // "-" too: a file of that name
        } else if (argument == "--") {
            only_files = true;
        } else if (argument.rfind("--", 0) == 0) {
            const std::size_t equals = argument.find('=');
            const std::string name = argument.substr(2, equals - 2);
            const Valued option = valued_long(name);
            if (option != Valued::none) {
                if (equals == std::string::npos && !has_next) {
                    return set_value(line, option, "").value_or(UsageError{});
                }
                const std::string value =
                    equals != std::string::npos ? argument.substr(equals + 1) : arguments[++index];
                if (auto error = set_value(line, option, value)) {
                    return *error;
                }
            } else if (equals != std::string::npos || !set_flag(line, name)) {
                return UsageError{"unknown option " + argument.substr(0, equals)};
            }
        } else {
            // Bundled short options; a valued one takes the rest of the word or the next one.
            for (std::size_t at = 1; at < argument.size(); ++at) {
                const char letter = argument[at];
                if (letter == 'j') {
                    const std::string rest = argument.substr(at + 1);
                    if (rest.empty() && !has_next) {
                        return set_value(line, Valued::jobs, "").value_or(UsageError{});
                    }
                    if (auto error = set_value(line, Valued::jobs,
                                               rest.empty() ? arguments[++index] : rest)) {
                        return *error;
                    }
                    break;
                }
                if (!set_flag(line, std::string(1, letter))) {
                    return UsageError{"unknown option -" + std::string(1, letter)};
                }
            }
        }
    }
    if (line.null_separated && !line.files_from) {
        return UsageError{"-0 only goes with --files-from"};
    }
    if (line.action == CommandLine::Action::convert && line.files.empty() && !line.files_from) {
        return UsageError{"no files to convert"};
    }
    return line;
}

std::string usage_text() {
    return "Usage: morvane-convert [OPTION]... FILE|FOLDER...\n"
           "       morvane-convert [OPTION]... --files-from LIST\n"
           "       morvane-convert --list-devices | --help | --version\n"
           "\n"
           "Converts audio and video files for a portable player.\n"
           "\n"
           "  --device D           the player: its number or part of its name (\"nano\",\n"
           "                       \"psp\"); the desktop program's choice by default\n"
           "  --output-dir DIR     where the converted files go, created when missing;\n"
           "                       the desktop program's folder by default\n"
           "  -r, --recursive      walk folders; files FFmpeg cannot read are passed over\n"
           "  --files-from LIST    also convert the files named in LIST, one a line\n"
           "                       (- reads standard input)\n"
           "  -0, --null           LIST's names end with NUL (find -print0)\n"
           "  --skip-existing      skip an input whose output name already exists\n"
           "  -j, --jobs N         convert N files at once (default: one per processor)\n"
           "  --json               print the results as one JSON document\n"
           "  -q, --quiet          no progress and no summary on standard error\n"
           "  --list-devices       list the players\n"
           "\n"
           "Results go to standard output, progress and messages to standard error.\n"
           "Ctrl-C, SIGTERM and SIGHUP stop: the current files end early but complete, the\n"
           "rest is not started. A second signal quits at once.\n"
           "Exit status: 0 all converted, 1 some not converted, 2 wrong usage,\n"
           "130/143/129 stopped by SIGINT/SIGTERM/SIGHUP.\n";
}

} // namespace morvane
