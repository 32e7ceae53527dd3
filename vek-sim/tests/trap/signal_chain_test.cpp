// Faults and traps that are not a window's still go where they went before: to the handler
// installed before, or to the default action. Each case runs in a fresh probe process, since
// "before" means before the first window of a process.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <string>

extern char** environ;

namespace {

struct ProbeResult {
    int status = -1;
    std::string errors;  // what the probe wrote to stderr
};

ProbeResult run_probe(const std::string& mode) {
    ProbeResult result;
    int pipe_ends[2];
    if (pipe2(pipe_ends, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe2 failed";
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDERR_FILENO);
    std::string program = VEK_SIM_TRAP_PROBE;
    char* argv[] = {program.data(), const_cast<char*>(mode.c_str()), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_ends[1]);
    if (spawned != 0) {
        close(pipe_ends[0]);
        ADD_FAILURE() << "cannot start " << program;
        return result;
    }
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(pipe_ends[0], buffer, sizeof buffer)) > 0) {
        result.errors.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipe_ends[0]);
    waitpid(pid, &result.status, 0);
    return result;
}

bool exited_cleanly(const ProbeResult& result) {
    return WIFEXITED(result.status) && WEXITSTATUS(result.status) == 0;
}

bool killed_by(const ProbeResult& result, int signal) {
    return WIFSIGNALED(result.status) && WTERMSIG(result.status) == signal;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool under_address_sanitizer = true;
#else
constexpr bool under_address_sanitizer = false;
#endif

// A crash ends the process exactly as the same crash does in a process without windows: by
// SIGSEGV, or, under AddressSanitizer (whose handler was there first), after its report.
void expect_crash_as_without_windows(const ProbeResult& crash, const char* bare_mode) {
    const ProbeResult bare = run_probe(bare_mode);
    EXPECT_EQ(crash.status, bare.status) << crash.errors;
    if (under_address_sanitizer) {
        EXPECT_NE(crash.errors.find("AddressSanitizer: SEGV"), std::string::npos) << crash.errors;
    } else {
        EXPECT_TRUE(killed_by(crash, SIGSEGV)) << "status " << crash.status << crash.errors;
    }
}

TEST(SignalChain, NullDereferenceStillCrashes) {
    expect_crash_as_without_windows(run_probe("null-deref"), "null-deref-bare");
}

TEST(SignalChain, RunningCodeInTheWindowCrashesRatherThanDecoding) {
    expect_crash_as_without_windows(run_probe("jump-into-window"), "jump-into-page-bare");
}

TEST(SignalChain, HandlersInstalledBeforeGetTheFaultsOutsideWindows) {
    for (const char* mode : {"prior-siginfo", "prior-plain", "prior-trap"}) {
        const ProbeResult result = run_probe(mode);
        EXPECT_TRUE(exited_cleanly(result)) << mode << ": status " << result.status << "\n"
                                            << result.errors;
    }
}

TEST(SignalChain, BreakpointWithoutHandlerEndsTheProcessBySigtrap) {
    const ProbeResult result = run_probe("breakpoint");
    EXPECT_TRUE(killed_by(result, SIGTRAP)) << "status " << result.status << "\n" << result.errors;
}

TEST(SignalChain, IgnoredSegvSentByAProcessStaysIgnored) {
    const ProbeResult result = run_probe("sent-segv-ignored");
    EXPECT_TRUE(exited_cleanly(result)) << "status " << result.status << "\n" << result.errors;
}

}  // namespace
