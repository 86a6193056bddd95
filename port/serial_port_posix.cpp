// The serial port on POSIX (Linux): an exclusive, non-blocking terminal with time-bounded writes.
#include "port/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "port/common.h"
#include "port/termios2_linux.h"

namespace port {
namespace {

using Clock = std::chrono::steady_clock;

// A handle that cannot be an fd is refused rather than truncated into some other open fd.
int Fd(Handle handle) {
  return handle >= 0 && handle <= INT_MAX ? static_cast<int>(handle) : -1;
}

bool Alive(int fd) {
  int queued = 0;
  return ioctl(fd, FIONREAD, &queued) == 0;
}

class PosixSerial final : public SerialApi {
 public:
  Handle Open(std::string_view name) override {
    const auto path = DevicePath(name);
    if (!path) {
      return kInvalidHandle;
    }
    const int fd = ::open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      return kInvalidHandle;
    }
    // The lock keeps out a second open by root, which TIOCEXCL does not. It comes first because
    // TIOCEXCL belongs to the terminal, not to this fd: a refused second open must not go on to
    // touch the holder's flag.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
      ::close(fd);
      return kInvalidHandle;
    }
    std::lock_guard lock(mutex_);
    timeouts_[fd] = Timeouts{};
    return fd;
  }

  bool SetQueueSizes(Handle handle, std::uint32_t, std::uint32_t) override {
    return isatty(Fd(handle)) == 1;
  }

  bool GetSettings(Handle handle, DeviceControl& control) override {
    return tty::Read(Fd(handle), control);
  }

  bool SetSettings(Handle handle, const DeviceControl& control) override {
    return tty::Write(Fd(handle), control);
  }

  bool GetTimeouts(Handle handle, Timeouts& timeouts) override {
    const int fd = Fd(handle);
    std::lock_guard lock(mutex_);
    const auto kept = timeouts_.find(fd);
    if (kept == timeouts_.end() || isatty(fd) != 1) {
      return false;
    }
    timeouts = kept->second;
    return true;
  }

  bool SetTimeouts(Handle handle, const Timeouts& timeouts) override {
    const int fd = Fd(handle);
    std::lock_guard lock(mutex_);
    const auto kept = timeouts_.find(fd);
    if (kept == timeouts_.end() || isatty(fd) != 1) {
      return false;
    }
    kept->second = timeouts;
    return true;
  }

  bool RequestLine(Handle handle, int request) override {
    unsigned long operation = 0;
    int bits = 0;
    switch (request) {
      case kSetRts:
        std::tie(operation, bits) = std::pair(TIOCMBIS, TIOCM_RTS);
        break;
      case kClearRts:
        std::tie(operation, bits) = std::pair(TIOCMBIC, TIOCM_RTS);
        break;
      case kSetDtr:
        std::tie(operation, bits) = std::pair(TIOCMBIS, TIOCM_DTR);
        break;
      case kClearDtr:
        std::tie(operation, bits) = std::pair(TIOCMBIC, TIOCM_DTR);
        break;
      default:
        return false;
    }
    return ioctl(Fd(handle), operation, &bits) == 0;
  }

  bool GetStatus(Handle handle, std::uint32_t& errors, std::uint32_t& queuedInput) override {
    // Once the far end is gone the terminal is hung up and every ioctl on it fails with EIO.
    int queued = 0;
    if (ioctl(Fd(handle), FIONREAD, &queued) != 0 || queued < 0) {
      return false;
    }
    errors = 0;
    queuedInput = static_cast<std::uint32_t>(queued);
    return true;
  }

  int Read(Handle handle, std::span<std::uint8_t> buffer) override {
    const int fd = Fd(handle);
    const std::size_t wanted = std::min<std::size_t>(buffer.size(), INT_MAX);
    for (;;) {
      const ssize_t got = ::read(fd, buffer.data(), wanted);
      if (got > 0) {
        return static_cast<int>(got);
      }
      if (got < 0 && errno == EINTR) {
        continue;
      }
      if (got < 0 && errno == EAGAIN) {
        return 0;
      }
      // A hung-up terminal reads as end of file; an empty request reads 0 from a live one.
      if (got == 0 && Alive(fd)) {
        return 0;
      }
      return -1;
    }
  }

  int Write(Handle handle, std::span<const std::uint8_t> bytes) override {
    const int fd = Fd(handle);
    if (fd < 0) {
      return -1;
    }
    const std::size_t total = std::min<std::size_t>(bytes.size(), INT_MAX);
    if (total == 0) {
      return Alive(fd) ? 0 : -1;
    }
    const auto byteTime = tty::ReadByteTime(fd);
    const auto deadline =
        Clock::now() + common::WriteBound(total, byteTime.bitsPerSecond, byteTime.bitsPerByte);
    std::size_t done = 0;
    while (done < total) {
      const ssize_t put = ::write(fd, bytes.data() + done, total - done);
      if (put > 0) {
        done += static_cast<std::size_t>(put);
        continue;
      }
      if (put < 0 && errno == EINTR) {
        continue;
      }
      if (put < 0 && errno != EAGAIN) {
        return done > 0 ? static_cast<int>(done) : -1;
      }
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) {
        break;
      }
      pollfd writable{.fd = fd, .events = POLLOUT, .revents = 0};
      const auto waitMs = static_cast<int>(std::min<std::int64_t>(left.count(), INT_MAX));
      if (::poll(&writable, 1, waitMs) < 0 && errno != EINTR) {
        return done > 0 ? static_cast<int>(done) : -1;
      }
    }
    return static_cast<int>(done);
  }

  void Close(Handle handle) override {
    const int fd = Fd(handle);
    if (fd < 0) {
      return;
    }
    {
      std::lock_guard lock(mutex_);
      timeouts_.erase(fd);
    }
    // TIOCEXCL is the terminal's and would outlive this fd, keeping everyone else out.
    (void)ioctl(fd, TIOCNXCL);
    ::close(fd);
  }

 private:
  std::mutex mutex_;
  std::map<int, Timeouts> timeouts_;  // per open port: POSIX has no time-outs to hold them
};

}  // namespace

SerialApi& SystemSerial() {
  static PosixSerial serial;
  return serial;
}

std::optional<std::string> DevicePath(std::string_view name) {
  if (!common::UsableName(name)) {
    return std::nullopt;
  }
  std::string path(name);
  std::error_code error;
  if (std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
    return path;
  }
  if (const auto number = common::BareComNumber(name)) {
    return "/dev/ttyS" + std::to_string(*number - 1);
  }
  return path;
}

std::vector<std::string> UsbSerialDevices(std::string_view directory) {
  struct Found {
    std::string_view kind;
    std::uint64_t number;
    std::string path;
  };
  std::vector<Found> found;
  std::error_code error;
  const std::filesystem::path folder(directory);
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    for (const std::string_view kind : {"ttyACM", "ttyUSB"}) {
      if (!name.starts_with(kind) || name.size() == kind.size()) {
        continue;
      }
      const char* first = name.data() + kind.size();
      const char* last = name.data() + name.size();
      std::uint64_t number = 0;
      const auto [stop, failed] = std::from_chars(first, last, number);
      if (failed == std::errc{} && stop == last) {
        found.push_back({kind, number, (folder / name).string()});
      }
    }
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return std::tie(a.kind, a.number) < std::tie(b.kind, b.number);
  });
  std::vector<std::string> paths;
  for (auto& device : found) {
    paths.push_back(std::move(device.path));
  }
  return paths;
}

}  // namespace port
