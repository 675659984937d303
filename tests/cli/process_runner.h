// Runs a program as a child process and collects what it printed.
#pragma once

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace morvane::test {

struct ProcessResult {
    int exit_status = -1; // -1 when it did not exit normally
    std::string output;   // standard output and standard error together
};

// `environment` entries ("NAME=value") are added to this process's environment.
// `on_started` runs with the child's id while it runs (to signal it, say).
ProcessResult run_process(const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment = {},
                          const std::function<void(pid_t)>& on_started = {});

} // namespace morvane::test
