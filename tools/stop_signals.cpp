// Stop signals through a self-pipe, so a poll wakes on them without a race.
#include "tools/stop_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <stdexcept>

namespace cli {

namespace {

volatile std::sig_atomic_t requested = 0;
int wakeRead = -1;
int wakeWrite = -1;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[std::size(kSignals)];
bool installed[std::size(kSignals)];

extern "C" void OnStopSignal(int) {
  const int saved = errno;
  requested = 1;
  const char byte = 1;
  (void)!::write(wakeWrite, &byte, 1);
  errno = saved;
}

}  // namespace

StopSignals::StopSignals() {
  int fds[2];
  if (::pipe(fds) != 0) {
    throw std::runtime_error("cannot create a pipe for the stop signals");
  }
  for (int fd : fds) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  wakeRead = fds[0];
  wakeWrite = fds[1];
  requested = 0;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    struct sigaction current {};
    ::sigaction(kSignals[i], nullptr, &current);
    installed[i] = !(kSignals[i] == SIGHUP && current.sa_handler == SIG_IGN);
    if (installed[i]) {
      ::sigaction(kSignals[i], &action, &previous[i]);
    }
  }
}

StopSignals::~StopSignals() {
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    if (installed[i]) {
      ::sigaction(kSignals[i], &previous[i], nullptr);
    }
  }
  ::close(wakeRead);
  ::close(wakeWrite);
  wakeRead = wakeWrite = -1;
}

bool StopSignals::Requested() const {
  return requested != 0;
}

int StopSignals::Fd() const {
  return wakeRead;
}

bool StopSignals::Wait(std::chrono::milliseconds timeout) const {
  if (!Requested()) {
    pollfd wake{.fd = wakeRead, .events = POLLIN, .revents = 0};
    const auto ms = std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, 60'000);
    (void)::poll(&wake, 1, static_cast<int>(ms));
  }
  return Requested();
}

}  // namespace cli
