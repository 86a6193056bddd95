// Ending a long-running command cleanly: SIGINT, SIGTERM and SIGHUP let it close its port and
// exit normally instead of dying with the port's exclusive hold still set.
#pragma once

#include <chrono>

namespace cli {

// While one exists, SIGINT, SIGTERM and SIGHUP mark the stop request and wake Fd(). SIGHUP is
// left alone when it was ignored at start (as under nohup). One at a time per process.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  bool Requested() const;
  // Readable once a stop signal came: add it to a poll set to wake on one.
  int Fd() const;
  // Sleeps for `timeout` or until a stop signal comes; returns Requested().
  bool Wait(std::chrono::milliseconds timeout) const;
};

}  // namespace cli
