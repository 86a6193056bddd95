// tolvaner-cli started as a separate process whose output the test reads as it comes, with
// every wait bounded.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace fixtures {

class CliProcess {
 public:
  // Starts the tool with `args`; standard input is /dev/null.
  explicit CliProcess(const std::vector<std::string>& args);
  // Kills the process if it still runs.
  ~CliProcess();
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  // The next line of standard output without its line break; no value if none came in time or
  // the output ended.
  std::optional<std::string> ReadLine(std::chrono::milliseconds within);
  // Closes the test's end of the standard-output pipe.
  void CloseOutput();
  void Signal(int signal) const;
  // The exit status once the process has ended (-1 if a signal ended it); no value if it still
  // runs after `within`.
  std::optional<int> Wait(std::chrono::milliseconds within);
  // Standard output not yet read and all of standard error, after Wait.
  std::string RestOfOutput();
  std::string Errors();

 private:
  void Pump(std::chrono::milliseconds within, bool untilLine);

  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string outBuffer_;
  std::string errBuffer_;
  std::optional<int> status_;
};

}  // namespace fixtures
