#pragma once

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "vek_driver/driver_error.hpp"
#include "vek_driver/os_error.hpp"
#include "vek_error/error.hpp"
#include "vek_exchange/exchange_error.hpp"

namespace live_state {

// A driver failure with the tool's note of what it was reading, for example
// "read tile 5 exchange state". The driver error is its cause.
class ContextError final : public vek_error::Error {
  public:
    ContextError(std::string message, vek_driver::DriverError cause)
        : message_(std::move(message)), cause_(std::move(cause)) {}

    [[nodiscard]] std::string message() const override { return message_; }
    [[nodiscard]] std::string debug() const override;
    [[nodiscard]] const vek_error::Error* cause() const override { return &cause_; }

  private:
    std::string message_;
    vek_driver::DriverError cause_;
};

// The card's tile count does not fit the 16-bit logical tile numbers.
class ConversionError final : public vek_error::Error {
  public:
    [[nodiscard]] std::string message() const override {
        return "out of range integral type conversion attempted";
    }
    [[nodiscard]] std::string debug() const override { return "ConversionError"; }
    [[nodiscard]] const vek_error::Error* cause() const override { return nullptr; }
};

// A report line could not be written to standard output.
class OutputError final : public vek_error::Error {
  public:
    explicit OutputError(vek_driver::OsError cause) : cause_(cause) {}

    [[nodiscard]] std::string message() const override { return "write report to standard output"; }
    [[nodiscard]] std::string debug() const override;
    [[nodiscard]] const vek_error::Error* cause() const override { return &cause_; }

  private:
    vek_driver::OsError cause_;
};

// The run was asked to stop by a signal and ended after the query in hand.
class Interrupted final : public vek_error::Error {
  public:
    explicit Interrupted(int signal) : signal_(signal) {}

    [[nodiscard]] int signal() const noexcept { return signal_; }
    [[nodiscard]] std::string message() const override;
    [[nodiscard]] std::string debug() const override;
    [[nodiscard]] const vek_error::Error* cause() const override { return nullptr; }

  private:
    int signal_;
};

// Whatever ended a run early, carried unchanged to the one place that reports it.
class RunError {
  public:
    using Value = std::variant<vek_driver::DriverError, vek_exchange::ExchangeError,
                               ConversionError, ContextError, OutputError, Interrupted>;

    template <class Error>
    requires std::is_constructible_v<Value, Error&&> RunError(Error&& error)
        : value_(std::forward<Error>(error)) {}  // NOLINT: implicit

    [[nodiscard]] const Value& value() const noexcept { return value_; }
    // The top of the chain of causes that the report shows.
    [[nodiscard]] const vek_error::Error& top() const noexcept;
    // 128 + the signal for an interrupted run, 1 for every failure.
    [[nodiscard]] int exit_status() const noexcept;

  private:
    Value value_;
};

}  // namespace live_state
