#pragma once

#include <stdexcept>
#include <string>

namespace salvex::cli {

// A failure the user must see: main() prints it as one line and exits with 1.
class CliError : public std::runtime_error {
 public:
  explicit CliError(const std::string& message) : std::runtime_error(message) {}
};

// The command line does not say enough: main() prints it and exits with 2,
// as for any usage error.
class UsageError : public CliError {
 public:
  explicit UsageError(const std::string& message) : CliError(message) {}
};

// A failure the engine has shown already (through the UI port's error box):
// main() exits with 1 and prints nothing more.
class ReportedError : public CliError {
 public:
  ReportedError() : CliError("") {}
};

}  // namespace salvex::cli
