// The received-data log: its lines, appends across polls, no file held between polls, two writers
// sharing one file, and places it may not write.
#include "rxlog/log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <vector>

#include "tests/support/files.h"

namespace {

namespace fs = std::filesystem;
using fixtures::ReadFile;

// The platform's form of a text written with line feeds.
std::string WithLineEnds(std::string_view lf) {
  std::string out;
  for (char c : lf) {
    if (c == '\n') {
      out += rxlog::kLineEnd;
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<std::string> Lines(std::string_view contents) {
  std::vector<std::string> lines;
  std::istringstream in{std::string(contents)};
  for (std::string line; std::getline(in, line, rxlog::kLineEnd.back());) {
    if (rxlog::kLineEnd.size() > 1 && !line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(line);
  }
  return lines;
}

// One poll: "--" stands for the separator, any other text for a byte line.
[[nodiscard]] bool Poll(const fs::path& dir, const std::vector<std::string>& writes) {
  rxlog::Log log;
  if (!log.Open(dir)) {
    return false;
  }
  for (const std::string& w : writes) {
    if (w == "--") {
      log.WriteSeparator();
    } else {
      log.WriteByteLine(w);
    }
  }
  return log.Close();
}

TEST(RxLogByteLine, PadsAsPercent02sDoes) {
  struct Row {
    const char* fault;
    std::string_view hex;
    std::string_view line;
  };
  const Row rows[] = {
      {"a byte's two digits changed", "0A", "0A"},
      {"zeros taken for the padding", "A", " A"},
      {"an empty text not padded", "", "  "},
      {"a longer text cut", "ABC", "ABC"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(rxlog::ByteLine(row.hex), row.line) << row.fault;
#ifdef __GLIBC__
    // The C library agrees: its "0" flag does nothing for a string. (The format is not a literal
    // because the compiler rightly warns about that flag.)
    const char* format = "%02s";
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, format, std::string(row.hex).c_str());
    EXPECT_EQ(buffer, row.line) << row.fault;
#endif
  }
}

TEST(RxLog, WritesOneLinePerByteAndTheSeparator) {
  struct Row {
    const char* fault;
    std::vector<std::string> writes;
    std::string_view file;
  };
  const Row rows[] = {
      {"a separator or a byte line lost", {"--", "01", "02", "03"}, "--\n01\n02\n03\n"},
      {"lines out of order", {"FF", "--", "00"}, "FF\n--\n00\n"},
      {"a short text not padded", {"A"}, " A\n"},
      {"a file left uncreated by a poll that wrote nothing", {}, ""},
  };
  for (const auto& row : rows) {
    fixtures::TempDir dir;
    ASSERT_TRUE(Poll(dir.Path(), row.writes)) << row.fault;
    EXPECT_EQ(ReadFile(dir / "tolvaner.rxd"), WithLineEnds(row.file)) << row.fault;
  }
}

TEST(RxLog, AppendsEachPollToWhatIsThere) {
  fixtures::TempDir dir;
  fixtures::WriteFile(dir / "tolvaner.rxd", WithLineEnds("01\n"));
  ASSERT_TRUE(Poll(dir.Path(), {"--", "02"}));
  ASSERT_TRUE(Poll(dir.Path(), {"03"}));
  // The program logs into its current directory.
  dir.Enter();
  ASSERT_TRUE(Poll({}, {"04"}));
  EXPECT_EQ(ReadFile(dir / "tolvaner.rxd"), WithLineEnds("01\n--\n02\n03\n04\n"));
}

TEST(RxLog, HoldsTheFileOnlyFromOpenToClose) {
  fixtures::TempDir dir;
  const fs::path path = dir / "tolvaner.rxd";
  rxlog::Log log;
  ASSERT_TRUE(log.Open(dir.Path()));
  EXPECT_TRUE(log.IsOpen());
  EXPECT_EQ(fixtures::OpenDescriptors(path), 1);
  log.WriteByteLine("01");
  EXPECT_EQ(ReadFile(path), "") << "the poll's lines go out in one append, at the close";
  ASSERT_TRUE(log.Close());
  EXPECT_FALSE(log.IsOpen());
  EXPECT_EQ(fixtures::OpenDescriptors(path), 0);

  // Between polls another program may move the file away; the next poll starts a new one.
  fs::rename(path, dir / "moved.rxd");
  ASSERT_TRUE(log.Open(dir.Path()));
  log.WriteByteLine("02");
  ASSERT_TRUE(log.Close());
  EXPECT_EQ(ReadFile(dir / "moved.rxd"), WithLineEnds("01\n"));
  EXPECT_EQ(ReadFile(path), WithLineEnds("02\n"));
}

TEST(RxLog, ClosesItselfAndDropsWritesWhileClosed) {
  fixtures::TempDir dir;
  const fs::path path = dir / "tolvaner.rxd";
  {
    rxlog::Log log;
    log.WriteByteLine("01");  // not open: dropped
    EXPECT_TRUE(log.Close());
    ASSERT_TRUE(log.Open(dir.Path()));
    log.WriteByteLine("02");
    ASSERT_TRUE(log.Open(dir.Path()));  // reopening closes first, appending what was written
    log.WriteByteLine("03");
  }
  EXPECT_EQ(fixtures::OpenDescriptors(path), 0);
  EXPECT_EQ(ReadFile(path), WithLineEnds("02\n03\n"));
}

TEST(RxLog, TwoWritersNeverSplitALineOrAPoll) {
  constexpr int kPolls = 2000;
  constexpr int kBytesPerPoll = 256;  // the most one poll reads
  fixtures::TempDir dir;
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  // Each writer is a copy of the program; both start together when the parent closes the pipe.
  const auto writer = [&](std::string hex) {
    return [&, hex]() -> testing::AssertionResult {
      ::close(go[1]);
      char c;
      (void)::read(go[0], &c, 1);
      for (int p = 0; p < kPolls; ++p) {
        if (!Poll(dir.Path(), [&] {
              std::vector<std::string> writes(kBytesPerPoll + 1, hex);
              writes[0] = "--";
              return writes;
            }())) {
          return testing::AssertionFailure() << hex << ": poll " << p << " failed";
        }
      }
      return testing::AssertionSuccess();
    };
  };
  fixtures::Child first(writer("AA"));
  fixtures::Child second(writer("BB"));
  ::close(go[1]);
  ::close(go[0]);
  ASSERT_TRUE(first.Wait());
  ASSERT_TRUE(second.Wait());

  const auto contents = ReadFile(dir / "tolvaner.rxd");
  ASSERT_TRUE(contents.has_value());
  const std::vector<std::string> lines = Lines(*contents);
  ASSERT_EQ(lines.size(), 2u * kPolls * (kBytesPerPoll + 1));
  std::map<std::string, int> polls;
  int turns = 0;
  std::string previous;
  for (std::size_t i = 0; i < lines.size(); i += kBytesPerPoll + 1) {
    ASSERT_EQ(lines[i], "--") << "line " << i;
    const std::string& hex = lines[i + 1];
    ASSERT_TRUE(hex == "AA" || hex == "BB") << "line " << i + 1 << ": " << hex;
    for (int j = 2; j <= kBytesPerPoll; ++j) {
      ASSERT_EQ(lines[i + j], hex) << "line " << i + j;
    }
    ++polls[hex];
    turns += !previous.empty() && previous != hex ? 1 : 0;
    previous = hex;
  }
  EXPECT_EQ(polls["AA"], kPolls);
  EXPECT_EQ(polls["BB"], kPolls);
  EXPECT_GT(turns, 0) << "the writers never overlapped, so nothing was tested";
}

TEST(RxLog, OpenFailsCleanlyWhereTheProgramMayNotWrite) {
  fixtures::TempDir dir;
  const auto readOnly =
      fs::perms::all & ~(fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write);
  fs::create_directory(dir / "open");
  fs::permissions(dir / "open", fs::perms::all);
  fs::create_directory(dir / "locked");
  fs::create_directory(dir / "locked-with-log");
  fixtures::WriteFile(dir / "locked-with-log" / "tolvaner.rxd", WithLineEnds("01\n"));
  fs::permissions(dir / "locked-with-log" / "tolvaner.rxd",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                      fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);
  fs::permissions(dir / "locked", readOnly);
  fs::permissions(dir / "locked-with-log", readOnly);
  fs::permissions(dir.Path(), readOnly);

  EXPECT_TRUE(fixtures::RunUnprivileged([&]() -> testing::AssertionResult {
    rxlog::Log log;
    if (!Poll(dir / "open", {"01"})) {
      return testing::AssertionFailure() << "cannot log where it may write";
    }
    if (log.Open(dir / "locked")) {
      return testing::AssertionFailure() << "opened a log it may not create";
    }
    if (log.IsOpen()) {
      return testing::AssertionFailure() << "open after a failed Open";
    }
    log.WriteSeparator();
    log.WriteByteLine("02");
    if (!log.Close()) {
      return testing::AssertionFailure() << "closing a log that never opened failed";
    }
    // Appending needs only the file, not its directory.
    if (!Poll(dir / "locked-with-log", {"03"})) {
      return testing::AssertionFailure() << "cannot append to a writable log";
    }
    return testing::AssertionSuccess();
  }));
  EXPECT_EQ(ReadFile(dir / "open" / "tolvaner.rxd"), WithLineEnds("01\n"));
  EXPECT_TRUE(fs::is_empty(dir / "locked"));
  EXPECT_EQ(ReadFile(dir / "locked-with-log" / "tolvaner.rxd"), WithLineEnds("01\n03\n"));
}

TEST(RxLog, CloseReportsAnAppendCutShort) {
  fixtures::TempDir dir;
  EXPECT_TRUE(fixtures::RunInChild(
      [&]() -> testing::AssertionResult {
        if (Poll(dir.Path(), std::vector<std::string>(256, "01"))) {
          return testing::AssertionFailure() << "the append reported success";
        }
        return testing::AssertionSuccess();
      },
      {.maxFileSize = 8}));
}

}  // namespace
