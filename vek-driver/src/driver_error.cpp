#include "vek_driver/driver_error.hpp"

#include <fmt/format.h>

namespace vek_driver {

std::string ElfError::debug() const {
    return fmt::format("ElfError({})", vek_error::quoted(text_));
}

namespace {

template <class... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

}  // namespace

std::string DriverError::message() const {
    return std::visit(
        Overloaded{
            [](const Io& e) { return fmt::format("{}: {}", e.operation, e.source.message()); },
            [](const Invalid& e) { return fmt::format("invalid device data: {}", e.text); },
            [](const Timeout& e) { return fmt::format("device timeout: {}", e.text); },
            [](const Package& e) { return fmt::format("package error: {}", e.error.message()); },
            [](const Elf& e) { return fmt::format("ELF error: {}", e.error.message()); },
        },
        value_);
}

std::string DriverError::debug() const {
    return std::visit(
        Overloaded{
            [](const Io& e) {
                return fmt::format("Io {{ operation: {}, source: {} }}",
                                   vek_error::quoted(e.operation), e.source.debug());
            },
            [](const Invalid& e) { return fmt::format("Invalid({})", vek_error::quoted(e.text)); },
            [](const Timeout& e) { return fmt::format("Timeout({})", vek_error::quoted(e.text)); },
            [](const Package& e) { return fmt::format("Package({})", e.error.debug()); },
            [](const Elf& e) { return fmt::format("Elf({})", e.error.debug()); },
        },
        value_);
}

const vek_error::Error* DriverError::cause() const {
    return std::visit(Overloaded{
                          [](const Io& e) -> const vek_error::Error* { return &e.source; },
                          [](const Invalid&) -> const vek_error::Error* { return nullptr; },
                          [](const Timeout&) -> const vek_error::Error* { return nullptr; },
                          [](const Package& e) -> const vek_error::Error* { return &e.error; },
                          [](const Elf& e) -> const vek_error::Error* { return &e.error; },
                      },
                      value_);
}

DriverError io_error(std::string_view operation) {
    return DriverError::io(operation, OsError::last());
}

}  // namespace vek_driver
