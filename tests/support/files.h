// File fixtures the tests share: a fresh temporary directory, whole-file reads and writes, and
// checks run in a forked child, optionally as an unprivileged user.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace fixtures {

// A new empty directory under the system's temporary folder, removed with everything in it when
// the fixture ends, whatever permissions the test left on it.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  // Makes the directory the process's current one until the fixture ends, for code that uses
  // relative names the way the program does.
  void Enter();

 private:
  std::filesystem::path path_;
  std::optional<std::filesystem::path> previous_;
};

// How many of this process's open descriptors refer to the file at `path`.
int OpenDescriptors(const std::filesystem::path& path);

// The whole file, or no value when it cannot be read.
std::optional<std::string> ReadFile(const std::filesystem::path& path);
// `lf` with every line feed replaced by `lineEnd`, for comparing with text files.
std::string WithLineEnds(std::string_view lf, std::string_view lineEnd);

// Creates or replaces the file with exactly these bytes; fails the test when it cannot.
void WriteFile(const std::filesystem::path& path, std::string_view bytes);

// The user and group a child takes when it drops root: "nobody" on most systems.
inline constexpr unsigned kUnprivilegedId = 65534;

struct ChildOptions {
  // Drop root (groups, gid, uid) before the body runs; a process that is not root already runs
  // unprivileged and keeps its own ids.
  bool dropRoot = false;
  // Files may not grow past this many bytes: a write beyond fails as on a full disk.
  std::optional<std::uint64_t> maxFileSize;
};

using ChildBody = std::function<testing::AssertionResult()>;

// A forked child running `body`; its verdict (with the failure's message) comes back through a
// pipe. Use it for checks that change the process (its ids, its limits) or that need a second
// process. The child never returns into the test framework.
class Child {
 public:
  explicit Child(const ChildBody& body, ChildOptions options = {});
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  // Waits for a child not yet waited for.
  ~Child();

  // Waits for the child to end: its verdict, or a failure saying how it ended otherwise.
  testing::AssertionResult Wait();

 private:
  int pid_ = -1;
  int verdictFd_ = -1;
};

// Runs `body` in a child and waits for its verdict.
testing::AssertionResult RunInChild(const ChildBody& body, ChildOptions options = {});
// Runs `body` in a child that has dropped root: file permissions then bind it, as they bind a user.
testing::AssertionResult RunUnprivileged(const ChildBody& body);

}  // namespace fixtures
