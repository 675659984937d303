// What the user asked morvane-convert to do.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace morvane {

struct CommandLine {
    enum class Action { convert, list_devices, help, version };

    Action action = Action::convert;
    std::optional<std::string> device;     // a row index or part of a device's name
    std::optional<std::string> output_dir; // as given
    std::vector<std::string> files;
};

struct UsageError {
    std::string message;
};

std::variant<CommandLine, UsageError> parse_command_line(const std::vector<std::string>& arguments);

// The text of --help.
std::string usage_text();

} // namespace morvane
