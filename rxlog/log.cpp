// The received-data log: lines gathered in memory during a poll, appended with one write at close.
#include "rxlog/log.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace rxlog {

namespace {

#ifndef _WIN32
bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}
#endif

}  // namespace

std::string ByteLine(std::string_view hex2) {
  std::string line(hex2);
  if (line.size() < 2) {
    line.insert(0, 2 - line.size(), ' ');
  }
  return line;
}

Log::~Log() {
  if (IsOpen()) {
    (void)Close();
  }
}

#ifdef _WIN32

bool Log::Open(const std::filesystem::path& dir) {
  if (IsOpen()) {
    (void)Close();
  }
  // Append-only access makes each write land at the end of the file as a whole, as O_APPEND
  // does; sharing everything lets other copies and other programs use the file meanwhile.
  HANDLE file = ::CreateFileW((dir / kFileName).c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  handle_ = file;
  return true;
}

bool Log::IsOpen() const {
  return handle_ != nullptr;
}

bool Log::Close() {
  if (!IsOpen()) {
    return true;
  }
  HANDLE file = static_cast<HANDLE>(handle_);
  handle_ = nullptr;
  std::string_view bytes = pending_;
  bool ok = true;
  while (ok && !bytes.empty()) {
    DWORD written = 0;
    ok =
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0 &&
        written > 0;
    bytes.remove_prefix(written);
  }
  pending_.clear();
  return ::CloseHandle(file) != 0 && ok;
}

#else

bool Log::Open(const std::filesystem::path& dir) {
  if (IsOpen()) {
    (void)Close();
  }
  // O_APPEND puts each write at the end of the file as a whole, whoever else appends.
  const int fd = ::open((dir / kFileName).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    return false;
  }
  fd_ = fd;
  return true;
}

bool Log::IsOpen() const {
  return fd_ >= 0;
}

bool Log::Close() {
  if (!IsOpen()) {
    return true;
  }
  const int fd = fd_;
  fd_ = -1;
  // One write for the whole poll; only a short write (a full disk) goes on in a second one.
  const bool ok = WriteAll(fd, pending_);
  pending_.clear();
  return ::close(fd) == 0 && ok;
}

#endif

void Log::WriteSeparator() {
  AddLine("--");
}

void Log::WriteByteLine(std::string_view hex2) {
  AddLine(ByteLine(hex2));
}

void Log::AddLine(std::string_view line) {
  if (!IsOpen()) {
    return;
  }
  pending_ += line;
  pending_ += kLineEnd;
}

}  // namespace rxlog
