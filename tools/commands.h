// The commands of tolvaner-cli. Each registers itself on the application; main turns the
// failures below into one line on standard error and the exit status.
#pragma once

#include <CLI/CLI.hpp>
#include <stdexcept>

namespace cli {

// Exit status when a port cannot be opened or configured, or goes away.
inline constexpr int kPortFailure = 1;
// Exit status for a bad argument or unreadable input.
inline constexpr int kUsageError = 2;
// Exit status of listen when fewer frames than --count came.
inline constexpr int kTooFewFrames = 3;

// A bad argument: main prints the message on one line and exits with kUsageError.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A command that ran but could not do what was asked: main prints the message on one line and
// exits with the status.
class RunError : public std::runtime_error {
 public:
  RunError(int status, const std::string& message) : std::runtime_error(message), status_(status) {}
  int Status() const { return status_; }

 private:
  int status_;
};

// Each Add* registers a subcommand and the action that runs when it is chosen.
void AddEncode(CLI::App& app);
void AddDecode(CLI::App& app);
void AddSend(CLI::App& app);
void AddListen(CLI::App& app);
void AddDevice(CLI::App& app);

}  // namespace cli
