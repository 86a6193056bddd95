// The settings file: how the loader splits it, the saved format, and saves that must not harm the
// old file.
#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "settings/keys.h"
#include "tests/support/files.h"
#include "text/convert.h"

namespace {

namespace fs = std::filesystem;
using settings::Key;
using settings::Values;

// The platform's form of a text written with line feeds.
std::string WithLineEnds(std::string_view lf) {
  return fixtures::WithLineEnds(lf, settings::kLineEnd);
}

std::set<std::string> Entries(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Plays the window's part of the load: each match sets what it names.
void Apply(const settings::Match& match, Values& values) {
  const std::string& v = match.value;
  switch (match.key) {
    case Key::Port:
      values.port = v;
      break;
    case Key::Baud:
      values.baud = v;
      break;
    case Key::Parity:
      values.parity = v;
      break;
    case Key::StopBits:
      values.stopBits = v;
      break;
    case Key::DtrOn:
      values.dtr = true;
      break;
    case Key::DtrOff:
      values.dtr = false;
      break;
    case Key::RtsOn:
      values.rts = true;
      break;
    case Key::RtsOff:
      values.rts = false;
      break;
    case Key::RxClearYes:
      values.rxClear = true;
      break;
    case Key::RxClearNo:
      values.rxClear = false;
      break;
    case Key::RxBadYes:
      values.rxBad = true;
      break;
    case Key::RxBadNo:
      values.rxBad = false;
      break;
    case Key::RxToFileYes:
      values.rxToFile = true;
      break;
    case Key::RxToFileNo:
      values.rxToFile = false;
      break;
    case Key::AboutYes:
      values.about = true;
      break;
    case Key::AboutNo:
      values.about = false;
      break;
    case Key::NetId:
      values.netId = v;
      break;
    case Key::TxFromId:
      values.txFromId = v;
      break;
    case Key::TxToId:
      values.txToId = v;
      break;
    case Key::PreambleLength:
      values.preambleLength = v;
      break;
    case Key::PreambleCode:
      values.preambleCode = v;
      break;
    case Key::Timeout:
      values.timeout = text::StrToInt(v);
      break;
  }
}

// Every field differs from its neighbours, so a field written under another key shows.
const Values kGolden = {
    .port = "COM3",
    .baud = "19200 ",  // kept with its blank: values are written exactly as held
    .parity = "EVEN",
    .stopBits = "1.5",
    .dtr = true,
    .rts = false,
    .rxClear = false,
    .rxBad = true,
    .rxToFile = true,
    .about = false,
    .netId = "1234",
    .txFromId = "0001",
    .txToId = "0002",
    .preambleLength = "3",
    .preambleCode = "B24D",
    .timeout = 1000,
};

TEST(SettingsSplitLines, HandsTheLoaderPiecesOfAtMost249Characters) {
  const std::string a249(249, 'a');
  const std::string a248(248, 'a');
  struct Row {
    const char* fault;
    std::string contents;
    std::vector<std::string> lines;
  };
  const Row rows[] = {
      {"line feeds kept", "PORT=COM3\nBAUD=9600\n", {"PORT=COM3", "BAUD=9600"}},
      {"a CR left on CR LF lines", "PORT=COM3\r\nBAUD=9600\r\n", {"PORT=COM3", "BAUD=9600"}},
      {"the last line lost without a line end", "A\nB", {"A", "B"}},
      {"an empty line after the final line end", "A\n", {"A"}},
      {"empty lines dropped", "\n\nA\n", {"", "", "A"}},
      {"lines from an empty file", "", {}},
      {"only one trailing CR removed", "A\r\r\n", {"A"}},
      {"a CR inside a line removed", "A\rB\n", {"A\rB"}},
      {"a final CR kept", "A\r", {"A"}},
      {"a long line not cut", a249 + "PORT=COM1\n", {a249, "PORT=COM1"}},
      // As a 250-byte line reader does: the line end of a full piece comes as a piece of its own.
      {"the line end of a full piece lost", a249 + "\n", {a249, ""}},
      {"the CR of CR LF counted", a248 + "\r\n", {a248}},
      {"CR LF at a full piece", a249 + "\r\nB\n", {a249, "", "B"}},
      {"text after a NUL kept", std::string("PORT=CO\0M3\r\nB\n", 14), {"PORT=CO", "B"}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(settings::SplitLines(row.contents), row.lines) << row.fault;
  }
}

TEST(SettingsRead, AMissingFileIsNotAnEmptyOne) {
  fixtures::TempDir dir;
  EXPECT_EQ(settings::ReadLines(dir.Path()), std::nullopt);
  fixtures::WriteFile(dir / "tolvaner.par", "");
  EXPECT_EQ(settings::ReadLines(dir.Path()), std::vector<std::string>{});
}

TEST(SettingsRead, ADirectoryInThePlaceOfTheFileGivesNoLines) {
  fixtures::TempDir dir;
  fs::create_directory(dir / "tolvaner.par");
  // Opening a directory succeeds on some systems and reading it fails; either way, no lines.
  const auto lines = settings::ReadLines(dir.Path());
  EXPECT_TRUE(!lines || lines->empty());
}

TEST(SettingsRead, ACrLfFileReadsAsItsLines) {
  fixtures::TempDir dir;
  fixtures::WriteFile(dir / "tolvaner.par", "PORT=COM3\r\nTIMEOUT=$3E8\r\n");
  const std::vector<std::string> expected = {"PORT=COM3", "TIMEOUT=$3E8"};
  EXPECT_EQ(settings::ReadLines(dir.Path()), expected);
}

TEST(SettingsRead, A300CharacterLineArrivesAsTwoLines) {
  fixtures::TempDir dir;
  const std::string first = "PORT=" + std::string(244, 'A');
  const std::string second = "BAUD=9600" + std::string(42, 'B');
  ASSERT_EQ(first.size() + second.size(), 300u);
  fixtures::WriteFile(dir / "tolvaner.par", first + second + "\n");

  const auto lines = settings::ReadLines(dir.Path());
  ASSERT_TRUE(lines.has_value());
  ASSERT_EQ(*lines, (std::vector<std::string>{first, second}));
  // The second piece is matched on its own, not as the first one's value.
  const std::vector<settings::Match> firstMatches = {{Key::Port, std::string(244, 'A')}};
  const std::vector<settings::Match> secondMatches = {{Key::Baud, "9600" + std::string(42, 'B')}};
  EXPECT_EQ(settings::MatchKeys((*lines)[0]), firstMatches);
  EXPECT_EQ(settings::MatchKeys((*lines)[1]), secondMatches);
}

TEST(SettingsSave, WritesTheSixteenLinesByteForByte) {
  fixtures::TempDir dir;
  // A longer old file shows any of it left behind.
  fixtures::WriteFile(dir / "tolvaner.par", std::string(1000, 'x'));
  ASSERT_TRUE(settings::Save(dir.Path(), kGolden));

  const auto golden = fixtures::ReadFile(TOLVANER_SAVED_SETTINGS);
  ASSERT_TRUE(golden.has_value());
  EXPECT_EQ(fixtures::ReadFile(dir / "tolvaner.par"), WithLineEnds(*golden));
  EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"tolvaner.par"});
}

TEST(SettingsSave, WhatIsSavedLoadsBackIntoEveryField) {
  Values inverse = kGolden;
  inverse.dtr = !inverse.dtr;
  inverse.rts = !inverse.rts;
  inverse.rxClear = !inverse.rxClear;
  inverse.rxBad = !inverse.rxBad;
  inverse.rxToFile = !inverse.rxToFile;
  inverse.about = !inverse.about;
  const Values other = {.port = "COM12",
                        .baud = "115200",
                        .parity = "SPACE",
                        .stopBits = "2",
                        .netId = "",
                        .txFromId = "FFFF",
                        .txToId = "A5",
                        .preambleLength = "0",
                        .preambleCode = "0000",
                        .timeout = 0};
  struct Row {
    const char* fault;
    Values values;
  };
  const Row rows[] = {
      {"one polarity of a flag lost", kGolden},
      {"the other polarity of a flag lost", inverse},
      {"empty values or a zero time-out lost", other},
  };
  for (const auto& row : rows) {
    fixtures::TempDir dir;
    // The program saves and loads in its current directory.
    dir.Enter();
    ASSERT_TRUE(settings::Save({}, row.values)) << row.fault;
    const auto lines = settings::ReadLines({});
    ASSERT_TRUE(lines.has_value()) << row.fault;
    ASSERT_EQ(lines->size(), 16u) << row.fault;

    Values loaded;
    loaded.timeout = -1;
    for (const std::string& line : *lines) {
      const auto matches = settings::MatchKeys(line);
      EXPECT_EQ(matches.size(), 1u) << row.fault << ": " << line;
      for (const auto& match : matches) {
        Apply(match, loaded);
      }
    }
    EXPECT_EQ(loaded, row.values) << row.fault;
  }
}

TEST(SettingsSave, KeepsTheOldFilesPermissions) {
  fixtures::TempDir dir;
  fixtures::WriteFile(dir / "tolvaner.par", "PORT=COM1\n");
  fs::permissions(dir / "tolvaner.par", fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(settings::Save(dir.Path(), kGolden));
  EXPECT_EQ(static_cast<unsigned>(fs::status(dir / "tolvaner.par").permissions()), 0600u);
}

TEST(SettingsSave, AFailedSaveLeavesTheOldFileWholeAndNothingElse) {
  enum class Saver {
    Root,
    Unprivileged,
    FullDisk,  // a child whose files may not grow past a few bytes
  };
  const std::string old = "PORT=COM1\nBAUD=9600\n";
  struct Row {
    const char* fault;
    Saver saver;
    std::function<void(const fs::path&)> prepare;
    bool oldIsFile = true;
  };
  const Row rows[] = {
      {"an unwritable directory", Saver::Unprivileged,
       [&](const fs::path& dir) {
         fixtures::WriteFile(dir / "tolvaner.par", old);
         fs::permissions(dir, fs::perms::all & ~(fs::perms::owner_write | fs::perms::group_write |
                                                 fs::perms::others_write));
       }},
      {"a read-only old file replaced", Saver::Unprivileged,
       [&](const fs::path& dir) {
         fixtures::WriteFile(dir / "tolvaner.par", old);
         fs::permissions(dir / "tolvaner.par",
                         fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
         fs::permissions(dir, fs::perms::all);
       }},
      {"a write cut short", Saver::FullDisk,
       [&](const fs::path& dir) { fixtures::WriteFile(dir / "tolvaner.par", old); }},
      {"a failed rename", Saver::Root,
       [&](const fs::path& dir) {
         fs::create_directory(dir / "tolvaner.par");
         fixtures::WriteFile(dir / "tolvaner.par" / "inside", old);
       },
       false},
  };
  for (const auto& row : rows) {
    fixtures::TempDir dir;
    row.prepare(dir.Path());
    const fs::path path = dir.Path();
    const auto saveFails = [&]() -> testing::AssertionResult {
      if (settings::Save(path, kGolden)) {
        return testing::AssertionFailure() << "the save succeeded";
      }
      return testing::AssertionSuccess();
    };
    switch (row.saver) {
      case Saver::Root:
        EXPECT_TRUE(saveFails()) << row.fault;
        break;
      case Saver::Unprivileged:
        EXPECT_TRUE(fixtures::RunUnprivileged([&]() -> testing::AssertionResult {
          // The directory and the old file are within reach: only writing is denied.
          if (settings::ReadLines(path) != std::vector<std::string>{"PORT=COM1", "BAUD=9600"}) {
            return testing::AssertionFailure() << "the old file cannot be read";
          }
          return saveFails();
        })) << row.fault;
        break;
      case Saver::FullDisk:
        EXPECT_TRUE(fixtures::RunInChild(saveFails, {.maxFileSize = 8})) << row.fault;
        break;
    }
    EXPECT_EQ(Entries(path), std::set<std::string>{"tolvaner.par"}) << row.fault;
    if (row.oldIsFile) {
      EXPECT_EQ(fixtures::ReadFile(dir / "tolvaner.par"), old) << row.fault;
    } else {
      EXPECT_TRUE(fs::is_directory(dir / "tolvaner.par")) << row.fault;
    }
  }
}

}  // namespace
