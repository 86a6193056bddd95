// The pseudo-terminal pair for port tests, read with termios2 so every rate shows exactly.
#include "tests/support/pty.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace fixtures {
namespace {

[[noreturn]] void Fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

PtyPair::PtyPair() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0) {
    Fail("posix_openpt");
  }
  char name[128];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
      ptsname_r(master_, name, sizeof(name)) != 0) {
    const int error = errno;
    ::close(master_);
    errno = error;
    Fail("pty slave");
  }
  slavePath_ = name;
}

PtyPair::~PtyPair() {
  if (master_ >= 0) {
    ::close(master_);
  }
}

LineFlags PtyPair::Settings() const {
  termios2 t{};
  if (ioctl(master_, TCGETS2, &t) != 0) {
    Fail("TCGETS2");
  }
  return {t.c_iflag, t.c_oflag, t.c_cflag, t.c_lflag, t.c_ispeed, t.c_ospeed};
}

void PtyPair::SetFlags(const LineFlags& flags) {
  termios2 t{};
  if (ioctl(master_, TCGETS2, &t) != 0) {
    Fail("TCGETS2");
  }
  t.c_iflag = flags.iflag;
  t.c_oflag = flags.oflag;
  t.c_cflag = flags.cflag;
  t.c_lflag = flags.lflag;
  if (ioctl(master_, TCSETS2, &t) != 0) {
    Fail("TCSETS2");
  }
}

void PtyPair::Inject(std::span<const std::uint8_t> bytes) {
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (put > 0) {
      done += static_cast<std::size_t>(put);
      continue;
    }
    if (put < 0 && errno != EAGAIN && errno != EINTR) {
      Fail("write to pty master");
    }
    pollfd writable{.fd = master_, .events = POLLOUT, .revents = 0};
    if (MillisecondsLeft(deadline) == 0) {
      errno = ETIMEDOUT;
      Fail("write to pty master");
    }
    ::poll(&writable, 1, MillisecondsLeft(deadline));
  }
}

std::vector<std::uint8_t> PtyPair::Collect(std::size_t count, std::chrono::milliseconds within) {
  const auto deadline = Clock::now() + within;
  std::vector<std::uint8_t> got;
  std::uint8_t buffer[4096];
  while (got.size() < count) {
    const ssize_t n = ::read(master_, buffer, std::min(sizeof(buffer), count - got.size()));
    if (n > 0) {
      got.insert(got.end(), buffer, buffer + n);
      continue;
    }
    // EIO: the slave is closed and nothing more can come.
    if (n == 0 || (n < 0 && errno == EIO)) {
      break;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      Fail("read from pty master");
    }
    if (MillisecondsLeft(deadline) == 0) {
      break;
    }
    pollfd readable{.fd = master_, .events = POLLIN, .revents = 0};
    ::poll(&readable, 1, MillisecondsLeft(deadline));
  }
  return got;
}

void PtyPair::Unplug() {
  if (master_ >= 0) {
    ::close(master_);
    master_ = -1;
  }
}

}  // namespace fixtures
