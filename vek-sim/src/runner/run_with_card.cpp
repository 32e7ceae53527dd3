#include "run_with_card.hpp"

#include <fcntl.h>
#include <fmt/format.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "vek_sim/preload_environment.hpp"

namespace vek_sim {
namespace {

constexpr int forwarded_signals[] = {SIGINT, SIGTERM, SIGHUP};

volatile sig_atomic_t child_pid = 0;

// A signal the terminal generated reached the whole foreground process group, the command
// included: passing it on as well would deliver it twice. Only signals sent by a process are
// forwarded.
void forward_signal(int signal, siginfo_t* info, void*) {
    if (child_pid > 0 && info->si_code != SI_KERNEL) {
        const int saved_errno = errno;
        kill(child_pid, signal);
        errno = saved_errno;
    }
}

std::string appended(const char* existing, const std::string& item, char separator) {
    if (existing == nullptr || *existing == '\0') {
        return item;
    }
    return std::string(existing) + separator + item;
}

void prepare_environment(const CardEnvironment& environment) {
    // Appended, so that a sanitizer runtime preloaded by the caller stays first.
    const std::string preload =
        appended(std::getenv("LD_PRELOAD"), environment.preload_library, ':');
    // A program built with AddressSanitizer refuses to start when its runtime is not the first
    // library; the stand-in comes before it.
    const std::string asan = appended(std::getenv("ASAN_OPTIONS"), "verify_asan_link_order=0", ':');
    setenv("LD_PRELOAD", preload.c_str(), 1);
    setenv("ASAN_OPTIONS", asan.c_str(), 1);
    setenv(state_file_variable, environment.state_file.c_str(), 1);
    setenv(node_variable, environment.node.c_str(), 1);
}

}  // namespace

std::expected<int, std::string> run_with_card(const std::vector<std::string>& command,
                                              const CardEnvironment& environment) {
    prepare_environment(environment);
    std::vector<char*> argv;
    for (const std::string& argument : command) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    int exec_report[2];
    if (pipe2(exec_report, O_CLOEXEC) != 0) {
        return std::unexpected(fmt::format("cannot create a pipe: {}", std::strerror(errno)));
    }
    sigset_t forwarded{};
    sigset_t previous{};
    sigemptyset(&forwarded);
    for (const int signal : forwarded_signals) {
        sigaddset(&forwarded, signal);
    }
    // Blocked until the child's pid is known, so that no signal is lost in between.
    sigprocmask(SIG_BLOCK, &forwarded, &previous);
    struct sigaction action {};
    action.sa_sigaction = forward_signal;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : forwarded_signals) {
        sigaction(signal, &action, nullptr);
    }

    const pid_t pid = fork();
    if (pid < 0) {
        const int error = errno;
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        close(exec_report[0]);
        close(exec_report[1]);
        return std::unexpected(fmt::format("cannot start a process: {}", std::strerror(error)));
    }
    if (pid == 0) {
        struct sigaction default_action {};
        default_action.sa_handler = SIG_DFL;
        for (const int signal : forwarded_signals) {
            sigaction(signal, &default_action, nullptr);
        }
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        close(exec_report[0]);
        execvp(argv[0], argv.data());
        const int error = errno;
        [[maybe_unused]] const auto written = write(exec_report[1], &error, sizeof error);
        _exit(127);
    }
    child_pid = pid;
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    close(exec_report[1]);
    int exec_error = 0;
    ssize_t got = 0;
    do {
        got = read(exec_report[0], &exec_error, sizeof exec_error);
    } while (got < 0 && errno == EINTR);
    close(exec_report[0]);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    child_pid = 0;
    if (got == static_cast<ssize_t>(sizeof exec_error)) {
        fmt::print(stderr, "vek-sim: cannot run '{}': {}\n", command[0], std::strerror(exec_error));
        return exec_error == ENOENT ? 127 : 126;
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return WEXITSTATUS(status);
}

}  // namespace vek_sim
