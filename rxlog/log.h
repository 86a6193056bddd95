// The received-data log "tolvaner.rxd": one poll's lines gathered and appended in one write.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "text/line_end.h"

namespace rxlog {

inline constexpr std::string_view kFileName = "tolvaner.rxd";

// The platform's text-mode line end, which the log uses.
inline constexpr std::string_view kLineEnd = text::kPlatformLineEnd;

// A byte line as "%02s" makes it from the byte's "%02X" text: right-aligned in two columns,
// padded with blanks; a longer text is kept whole. Without the line end.
std::string ByteLine(std::string_view hex2);

// The log as one receive poll uses it. Copies of the program sharing a directory append to one
// file; each poll's lines reach it in a single append, so lines and polls are never split by
// another writer. The file is held open only between Open and Close, and nothing reaches it
// before Close.
class Log {
 public:
  Log() = default;
  Log(const Log&) = delete;
  Log& operator=(const Log&) = delete;
  // A log still open closes as Close does; whether its append succeeded is lost.
  ~Log();

  // Opens (creating it if absent) the log in `dir` (empty: the current directory) for appending.
  // Returns false when it cannot be opened, for example in a directory the program may not write;
  // the log then stays closed and the caller logs nothing this poll. A log already open is closed
  // first, as Close does.
  [[nodiscard]] bool Open(const std::filesystem::path& dir);
  bool IsOpen() const;
  // Whether this poll has lines waiting for Close.
  bool HasLines() const { return !pending_.empty(); }

  // Add the separator line "--" or a byte line (see ByteLine) to this poll's lines. Do nothing
  // when the log is not open.
  void WriteSeparator();
  void WriteByteLine(std::string_view hex2);

  // Appends this poll's lines in one write and closes the file. Returns whether all of them were
  // written and the file closed cleanly; true when the log was not open. The log is closed and
  // its lines are dropped either way.
  [[nodiscard]] bool Close();

 private:
  void AddLine(std::string_view line);

#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
  std::string pending_;
};

}  // namespace rxlog
