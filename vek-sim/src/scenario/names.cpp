#include "vek_sim/names.hpp"

#include <cerrno>
#include <csignal>
#include <string>
#include <utility>

namespace vek_sim {
namespace {

constexpr std::pair<std::string_view, int> errno_names[] = {
    {"EPERM", EPERM},   {"ENOENT", ENOENT},   {"EINTR", EINTR},         {"EIO", EIO},
    {"ENXIO", ENXIO},   {"EBADF", EBADF},     {"EAGAIN", EAGAIN},       {"ENOMEM", ENOMEM},
    {"EACCES", EACCES}, {"EFAULT", EFAULT},   {"EBUSY", EBUSY},         {"EEXIST", EEXIST},
    {"ENODEV", ENODEV}, {"EINVAL", EINVAL},   {"ENFILE", ENFILE},       {"EMFILE", EMFILE},
    {"ENOTTY", ENOTTY}, {"ENOSPC", ENOSPC},   {"EROFS", EROFS},         {"ERANGE", ERANGE},
    {"ENOSYS", ENOSYS}, {"ENOTSUP", ENOTSUP}, {"EOVERFLOW", EOVERFLOW}, {"ETIMEDOUT", ETIMEDOUT},
};

constexpr std::pair<std::string_view, int> signal_names[] = {
    {"SIGHUP", SIGHUP},   {"SIGINT", SIGINT},   {"SIGQUIT", SIGQUIT}, {"SIGKILL", SIGKILL},
    {"SIGUSR1", SIGUSR1}, {"SIGUSR2", SIGUSR2}, {"SIGTERM", SIGTERM},
};

template <std::size_t N>
std::optional<int> find_value(const std::pair<std::string_view, int> (&table)[N],
                              std::string_view name) {
    for (const auto& [entry, value] : table) {
        if (entry == name) {
            return value;
        }
    }
    return std::nullopt;
}

template <std::size_t N>
std::string find_name(const std::pair<std::string_view, int> (&table)[N], int value) {
    for (const auto& [entry, number] : table) {
        if (number == value) {
            return std::string(entry);
        }
    }
    return std::to_string(value);
}

}  // namespace

std::optional<int> errno_from_name(std::string_view name) {
    return find_value(errno_names, name);
}
std::string errno_name(int error) {
    return find_name(errno_names, error);
}
std::optional<int> signal_from_name(std::string_view name) {
    return find_value(signal_names, name);
}
std::string signal_name(int signal) {
    return find_name(signal_names, signal);
}

}  // namespace vek_sim
