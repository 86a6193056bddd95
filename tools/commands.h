// The commands of tolvaner-cli. Each takes its parsed options and returns the exit status.
#pragma once

#include <CLI/CLI.hpp>

namespace cli {

// Exit status for a bad argument or unreadable input.
inline constexpr int kUsageError = 2;

// A bad argument: main prints the message on one line and exits with kUsageError.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Each Add* registers a subcommand and the action that runs when it is chosen.
void AddEncode(CLI::App& app);
void AddDecode(CLI::App& app);

}  // namespace cli
