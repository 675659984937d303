#include "cli/command_line.h"

namespace morvane {

std::variant<CommandLine, UsageError>
parse_command_line(const std::vector<std::string>& arguments) {
    CommandLine line;
    bool only_files = false;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        auto value_of = [&](const std::string& option) -> std::optional<std::string> {
            const std::string prefix = option + "=";
            if (argument.rfind(prefix, 0) == 0) {
                return argument.substr(prefix.size());
            }
            if (index + 1 < arguments.size()) {
                return arguments[++index];
            }
            return std::nullopt;
        };
        if (only_files || argument.empty() || argument[0] != '-' || argument == "-") {
            line.files.push_back(argument);
        } else if (argument == "--") {
            only_files = true;
        } else if (argument == "--help" || argument == "-h") {
            line.action = CommandLine::Action::help;
        } else if (argument == "--version") {
            line.action = CommandLine::Action::version;
        } else if (argument == "--list-devices") {
            line.action = CommandLine::Action::list_devices;
        } else if (argument == "--device" || argument.rfind("--device=", 0) == 0) {
            line.device = value_of("--device");
            if (!line.device || line.device->empty()) {
                return UsageError{"--device needs a device number or name"};
            }
        } else if (argument == "--output-dir" || argument.rfind("--output-dir=", 0) == 0) {
            line.output_dir = value_of("--output-dir");
            if (!line.output_dir || line.output_dir->empty()) {
                return UsageError{"--output-dir needs a folder"};
            }
        } else {
            return UsageError{"unknown option " + argument};
        }
    }
    if (line.action == CommandLine::Action::convert && line.files.empty()) {
        return UsageError{"no files to convert"};
    }
    return line;
}

std::string usage_text() {
    return "Usage: morvane-convert [--device D] [--output-dir DIR] FILE...\n"
           "       morvane-convert --list-devices | --help | --version\n"
           "\n"
           "Converts audio and video files for a portable player, one after the other.\n"
           "\n"
           "  --device D        the player: its number or part of its name (\"nano\", \"psp\");\n"
           "                    the desktop program's choice by default\n"
           "  --output-dir DIR  where the converted files go, created when missing;\n"
           "                    the desktop program's folder by default\n"
           "  --list-devices    lists the players\n"
           "\n"
           "Ctrl-C stops: the current file ends early but complete, the rest is left out.\n"
           "A second Ctrl-C quits at once.\n"
           "Exit status: 0 all converted, 1 some not converted, 2 wrong usage.\n";
}

} // namespace morvane
