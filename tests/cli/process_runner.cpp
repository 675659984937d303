// SPDX-License-Identifier: GPL-3.0-or-later
#include "process_runner.h"

#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace morvane::test {

ProcessResult run_process(const std::vector<std::string>& arguments,
                          const ProcessOptions& options) {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        variables.emplace_back(*entry);
    }
    variables.insert(variables.end(), options.environment.begin(), options.environment.end());
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& variable : variables) {
        envp.push_back(const_cast<char*>(variable.c_str()));
    }
    envp.push_back(nullptr);

    int input[2], output[2], errors[2];
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0 ||
        pipe2(errors, O_CLOEXEC) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    if (options.output_file.empty()) {
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, options.output_file.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    close(output[1]);
    close(errors[1]);

    ProcessResult result;
    if (spawned != 0) {
        close(input[1]);
        close(output[0]);
        close(errors[0]);
        result.errors = std::string("cannot start: ") + std::strerror(spawned);
        return result;
    }
    // Lists are small: they fit in the pipe's buffer.
    if (!options.input.empty() && write(input[1], options.input.data(), options.input.size()) < 0) {
        result.errors = "cannot write to the child";
    }
    close(input[1]);
    if (options.on_started) {
        options.on_started(child);
    }
    pollfd streams[2] = {{options.leave_output_unread ? -1 : output[0], POLLIN, 0},
                         {errors[0], POLLIN, 0}};
    std::string* texts[2] = {&result.output, &result.errors};
    int open_streams = options.leave_output_unread ? 1 : 2;
    while (open_streams > 0) {
        if (poll(streams, 2, -1) < 0) {
            break;
        }
        for (int at = 0; at < 2; ++at) {
            if (streams[at].fd < 0 || streams[at].revents == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t count = read(streams[at].fd, buffer, sizeof buffer);
            if (count > 0) {
                texts[at]->append(buffer, static_cast<std::size_t>(count));
            }
            const bool first_line_read = at == 0 && options.close_output_after_first_line &&
                                         result.output.find('\n') != std::string::npos;
            if (count <= 0 || first_line_read) {
                close(streams[at].fd);
                streams[at].fd = -1;
                --open_streams;
            }
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (options.leave_output_unread) {
        close(output[0]);
    }
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}

} // namespace morvane::test
