// Reading the settings file the way a 250-byte line reader sees it, and replacing it atomically.
#include "settings/settings_file.h"

#include <atomic>
#include <cstdio>

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
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace settings {

namespace {

namespace fs = std::filesystem;

std::string Contents(const Values& values) {
  std::string contents;
  for (const std::string& line : FormatLines(values)) {
    contents += line;
    contents += kLineEnd;
  }
  return contents;
}

unsigned ProcessId() {
#ifdef _WIN32
  return static_cast<unsigned>(::GetCurrentProcessId());
#else
  return static_cast<unsigned>(::getpid());
#endif
}

// Two copies of the program may save into one directory at the same moment, and two programs may
// run in one process in tests: the process id and a counter keep their new files apart.
fs::path TempPath(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  fs::path temp = target;
  temp += "." + std::to_string(ProcessId()) + "." + std::to_string(counter++) + ".tmp";
  return temp;
}

// Tries a few names in case a crashed save left a file with the one we picked.
constexpr int kTempAttempts = 16;

#ifdef _WIN32

bool WriteThenRename(const fs::path& target, std::string_view contents) {
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    const fs::path temp = TempPath(target);
    HANDLE file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      if (::GetLastError() == ERROR_FILE_EXISTS) {
        continue;
      }
      return false;
    }
    bool ok = true;
    while (ok && !contents.empty()) {
      DWORD written = 0;
      ok = ::WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written,
                       nullptr) != 0 &&
           written > 0;
      contents.remove_prefix(written);
    }
    ok = ok && ::FlushFileBuffers(file) != 0;
    ok = ::CloseHandle(file) != 0 && ok;
    // Replacing a read-only file fails here, which keeps a file the user protected.
    ok = ok && ::MoveFileExW(temp.c_str(), target.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) {
      ::DeleteFileW(temp.c_str());
    }
    return ok;
  }
  return false;
}

#else

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

bool WriteThenRename(const fs::path& target, std::string_view contents) {
  struct stat old {};
  const bool hadOld = ::stat(target.c_str(), &old) == 0;
  // A rename ignores the old file's permissions; refusing keeps a file the user made read-only,
  // as rewriting it in place would have.
  if (hadOld && ::access(target.c_str(), W_OK) != 0) {
    return false;
  }
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    const fs::path temp = TempPath(target);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) {
        continue;
      }
      return false;
    }
    // The replacement keeps the old file's permissions.
    bool ok = !hadOld || ::fchmod(fd, old.st_mode & 07777) == 0;
    // Flushed before the rename, so a crash leaves the old file or the whole new one.
    ok = ok && WriteAll(fd, contents) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
      ::unlink(temp.c_str());
    }
    return ok;
  }
  return false;
}

#endif

}  // namespace

std::vector<std::string> SplitLines(std::string_view contents) {
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < contents.size()) {
    std::string piece;
    while (i < contents.size() && piece.size() < kMaxPiece) {
      const char c = contents[i++];
      if (c == '\r' && i < contents.size() && contents[i] == '\n') {
        continue;
      }
      piece += c;
      if (c == '\n') {
        break;
      }
    }
    // The loader treats a piece as a C string.
    if (const std::size_t nul = piece.find('\0'); nul != std::string::npos) {
      piece.resize(nul);
    }
    while (!piece.empty() && (piece.back() == '\n' || piece.back() == '\r')) {
      piece.pop_back();
    }
    lines.push_back(std::move(piece));
  }
  return lines;
}

std::optional<std::vector<std::string>> ReadLines(const std::filesystem::path& dir) {
  // A C stream, because a file stream reports some read errors (a directory's) by throwing.
#ifdef _WIN32
  std::FILE* file = ::_wfopen((dir / kFileName).c_str(), L"rb");
#else
  std::FILE* file = std::fopen((dir / kFileName).c_str(), "rb");
#endif
  if (file == nullptr) {
    return std::nullopt;
  }
  std::string contents;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
    contents.append(buffer, n);
  }
  std::fclose(file);
  return SplitLines(contents);
}

std::vector<std::string> FormatLines(const Values& values) {
  const auto flag = [](bool on, const char* yes, const char* no) { return on ? yes : no; };
  return {
      "PORT=" + values.port,
      "BAUD=" + values.baud,
      "PARITY=" + values.parity,
      "STOPBITS=" + values.stopBits,
      flag(values.dtr, "DTR=ON", "DTR=OFF"),
      flag(values.rts, "RTS=ON", "RTS=OFF"),
      flag(values.rxClear, "RXCLEAR=YES", "RXCLEAR=NO"),
      flag(values.rxBad, "RXBAD=YES", "RXBAD=NO"),
      flag(values.rxToFile, "RXTOFILE=YES", "RXTOFILE=NO"),
      flag(values.about, "ABOUT=YES", "ABOUT=NO"),
      "NETID=" + values.netId,
      "TXFROMID=" + values.txFromId,
      "TXTOID=" + values.txToId,
      "PREAMBLEN=" + values.preambleLength,
      "PREAMBCODE=" + values.preambleCode,
      "TIMEOUT=" + std::to_string(values.timeout),
  };
}

bool Save(const std::filesystem::path& dir, const Values& values) {
  return WriteThenRename(dir / kFileName, Contents(values));
}

}  // namespace settings
