#include <fcntl.h>
#include <fmt/format.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "vek_sim/process.hpp"

extern char** environ;

namespace vek_sim {
namespace {

using Clock = std::chrono::steady_clock;

struct Pipe {
    int read = -1;
    int write = -1;
};

void close_fd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

std::vector<std::string> child_environment(const ProcessRequest& request) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const auto name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const auto& [key, value] : request.environment) {
            replaced = replaced || key == name;
        }
        if (!replaced) {
            entries.emplace_back(text);
        }
    }
    for (const auto& [key, value] : request.environment) {
        entries.push_back(key + "=" + value);
    }
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

int milliseconds_until(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count()) + 1;
}

}  // namespace

std::expected<ProcessResult, std::string> run_process(const ProcessRequest& request) {
    if (request.argv.empty()) {
        return std::unexpected("no program to run");
    }
    std::vector<std::string> argv_texts = request.argv;
    std::vector<std::string> environment_texts = child_environment(request);
    const std::vector<char*> argv = pointers(argv_texts);
    const std::vector<char*> envp = pointers(environment_texts);

    Pipe in, out, err, report;
    for (Pipe* p : {&in, &out, &err, &report}) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            return std::unexpected(fmt::format("cannot create a pipe: {}", std::strerror(errno)));
        }
        *p = Pipe{fds[0], fds[1]};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        const int input = request.input ? in.read : open("/dev/null", O_RDONLY);
        dup2(input, STDIN_FILENO);
        dup2(out.write, STDOUT_FILENO);
        dup2(err.write, STDERR_FILENO);
        execvpe(argv[0], argv.data(), envp.data());
        const int error = errno;
        [[maybe_unused]] const auto written = write(report.write, &error, sizeof error);
        _exit(127);
    }
    const int fork_error = errno;
    for (int* fd : {&in.read, &out.write, &err.write, &report.write}) {
        close_fd(*fd);
    }
    if (pid < 0) {
        for (int* fd : {&in.write, &out.read, &err.read, &report.read}) {
            close_fd(*fd);
        }
        return std::unexpected(
            fmt::format("cannot start {}: {}", request.argv[0], std::strerror(fork_error)));
    }
    int exec_error = 0;
    const bool exec_failed = read(report.read, &exec_error, sizeof exec_error) ==
                             static_cast<ssize_t>(sizeof exec_error);
    close_fd(report.read);
    if (!request.input) {
        close_fd(in.write);
    }

    // A child that stops reading its input must not end this process with SIGPIPE: the signal
    // is held blocked while writing and taken off again afterwards.
    sigset_t pipe_signal{};
    sigset_t previous_mask{};
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    sigset_t pending{};
    sigpending(&pending);
    const bool pipe_was_pending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_signal, &previous_mask);

    ProcessResult result;
    const std::string input = request.input.value_or("");
    std::size_t written = 0;
    const auto start = Clock::now();
    const std::optional<Clock::time_point> deadline =
        request.timeout ? std::optional(start + *request.timeout) : std::nullopt;
    std::optional<Clock::time_point> signal_at =
        request.send_signal ? std::optional(start + request.send_signal->after) : std::nullopt;
    char buffer[65536];
    while (out.read >= 0 || err.read >= 0) {
        if (in.write >= 0 && written == input.size()) {
            close_fd(in.write);
        }
        pollfd fds[3] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}, {in.write, POLLOUT, 0}};
        int wait_ms = -1;
        for (const auto& point : {deadline, signal_at}) {
            if (point) {
                const int ms = milliseconds_until(*point);
                wait_ms = wait_ms < 0 ? ms : std::min(wait_ms, ms);
            }
        }
        if (poll(fds, 3, wait_ms) < 0 && errno != EINTR) {
            break;
        }
        if (signal_at && Clock::now() >= *signal_at) {
            kill(pid, request.send_signal->signal);
            signal_at.reset();
        }
        if (deadline && Clock::now() >= *deadline && !result.timed_out) {
            kill(pid, SIGKILL);
            result.timed_out = true;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
                const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
                if (got > 0) {
                    (i == 0 ? result.out : result.err)
                        .append(buffer, static_cast<std::size_t>(got));
                } else if (got == 0 || errno != EINTR) {
                    close_fd(i == 0 ? out.read : err.read);
                }
            }
        }
        if (fds[2].fd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t put = write(in.write, input.data() + written, input.size() - written);
            if (put > 0) {
                written += static_cast<std::size_t>(put);
            } else if (errno != EINTR && errno != EAGAIN) {
                close_fd(in.write);
            }
        }
    }
    close_fd(in.write);
    if (!pipe_was_pending) {
        const timespec no_wait{};
        while (sigtimedwait(&pipe_signal, nullptr, &no_wait) == SIGPIPE) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous_mask, nullptr);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (exec_failed) {
        return std::unexpected(
            fmt::format("cannot run {}: {}", request.argv[0], std::strerror(exec_error)));
    }
    if (WIFEXITED(status)) {
        result.exit_status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

}  // namespace vek_sim
