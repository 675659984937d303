// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a program as a child process and collects what it printed.
#pragma once

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace morvane::test {

struct ProcessResult {
    int exit_status = -1; // -1 when it did not exit normally
    int signal = 0;       // the signal that ended it, if one did
    std::string output;   // standard output
    std::string errors;   // standard error
    std::string all() const { return output + errors; }
};

struct ProcessOptions {
    std::vector<std::string> environment; // "NAME=value", added to this process's environment
    std::string input;                    // written to its standard input, which then closes
    // Runs with the child's id while it runs (to signal it, say).
    std::function<void(pid_t)> on_started;
    // Like `| head -n 1`: the reading end of standard output closes after the first line.
    bool close_output_after_first_line = false;
    // Like `| sleep`: standard output is a pipe that nobody reads while the child runs.
    bool leave_output_unread = false;
    // Like `> /dev/full`: standard output is this file instead (its output is then empty).
    std::string output_file;
};

ProcessResult run_process(const std::vector<std::string>& arguments,
                          const ProcessOptions& options = {});

} // namespace morvane::test
