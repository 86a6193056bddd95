// The settings file as the window uses it: what a file gives at start, what a save writes, and
// when the file is written at all, through real files and pseudo-terminals.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "settings/settings_file.h"
#include "tests/app/program.h"
#include "tests/support/frames.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Program;
using fixtures::PtyPair;

using Seen = std::map<std::string, std::string>;

std::string HexOf(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
  return text;
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string out;
  for (const auto& part : parts) {
    out += (out.empty() ? "" : " | ") + part;
  }
  return out;
}

// The platform's form of a text written with line feeds.
std::string WithLineEnds(std::string_view lf) {
  return fixtures::WithLineEnds(lf, settings::kLineEnd);
}

// The value of the saved line that starts with `key`.
std::string SavedValue(const Program& p, std::string_view key) {
  const std::string text = p.SettingsText();
  for (const auto& line : settings::SplitLines(text)) {
    if (line.starts_with(key)) {
      return line.substr(key.size());
    }
  }
  return "<no line>";
}

// Every control the settings reach and the state the window derives from them.
Seen Snapshot(const Program& p) {
  const TForm1& f = p.form1;
  const auto box = [](const ui::CheckBox& b) { return b.Checked() ? "[x]" : "[ ]"; };
  return {
      {"ComboBox1", f.ComboBox1.Text()},
      {"ComboBox2", f.ComboBox2.Text()},
      {"ComboBox3", f.ComboBox3.Text()},
      {"ComboBox4", f.ComboBox4.Text()},
      {"CheckBox1", box(f.CheckBox1)},
      {"CheckBox2", box(f.CheckBox2)},
      {"CheckBox6", box(f.CheckBox6)},
      {"CheckBox5", box(f.CheckBox5)},
      {"CheckBox3", box(f.CheckBox3)},
      {"Button4", f.Button4.Enabled() ? "enabled" : "greyed"},
      {"Edit2", f.Edit2.Text()},
      {"Edit3", f.Edit3.Text()},
      {"Edit4", f.Edit4.Text()},
      {"Edit5", f.Edit5.Text()},
      {"Edit14", f.Edit14.Text()},
      {"Timer2", std::to_string(f.Timer2.Interval())},
      {"PortName", f.State.PortName},
      {"BaudRate", std::to_string(f.State.BaudRate)},
      {"ParityCode", std::to_string(f.State.ParityCode)},
      {"StopBitsCode", std::to_string(f.State.StopBitsCode)},
      {"CrcSeed", HexOf(f.State.CrcSeed)},
      {"PreambleHigh", HexOf(f.State.PreambleHigh)},
      {"PreambleLow", HexOf(f.State.PreambleLow)},
      {"AboutEnabled", std::to_string(f.State.AboutEnabled)},
      {"LogSeparatorPending", std::to_string(f.State.LogSeparatorPending)},
  };
}

// The window as it starts without a settings file.
const Seen kDefaults = {
    {"ComboBox1", "COM2"},
    {"ComboBox2", "9600"},
    {"ComboBox3", "NO"},
    {"ComboBox4", "1"},
    {"CheckBox1", "[ ]"},
    {"CheckBox2", "[ ]"},
    {"CheckBox6", "[ ]"},
    {"CheckBox5", "[ ]"},
    {"CheckBox3", "[ ]"},
    {"Button4", "enabled"},
    {"Edit2", "0000"},
    {"Edit3", "0001"},
    {"Edit4", "0002"},
    {"Edit5", "0"},
    {"Edit14", "B24D"},
    {"Timer2", "1000"},
    {"PortName", "COM2"},
    {"BaudRate", "9600"},
    {"ParityCode", "0"},
    {"StopBitsCode", "0"},
    {"CrcSeed", "FFFF"},
    {"PreambleHigh", "B2"},
    {"PreambleLow", "4D"},
    {"AboutEnabled", "1"},
    {"LogSeparatorPending", "0"},
};

// Beyond the snapshot, each row's run shows the port-line requests made while loading, the log
// of one received frame, what the next save writes for the settings no control shows, and every
// box the run put up.
Seen RunDefaults() {
  Seen seen = kDefaults;
  seen["line requests"] = "";
  seen["tolvaner.rxd"] = "<no file>";
  seen["saved ABOUT"] = "YES";
  seen["saved TIMEOUT"] = "1000";
  seen["boxes"] = "";
  return seen;
}

std::string LineRequests(const std::vector<int>& requests) {
  std::vector<std::string> names;
  for (int r : requests) {
    names.push_back(r == port::kSetDtr     ? "set DTR"
                    : r == port::kClearDtr ? "clear DTR"
                    : r == port::kSetRts   ? "set RTS"
                    : r == port::kClearRts ? "clear RTS"
                                           : std::to_string(r));
  }
  return Joined(names);
}

TEST(WindowSettings, EachFileGivesWhatItSays) {
  // A full first piece of 249 characters, then the rest of the line as a piece of its own.
  const std::string longLine =
      std::string(240, 'x') + "PORT=COM4" + std::string(39, 'y') + "TIMEOUT=2000";
  ASSERT_EQ(longLine.size(), 300u);
  const std::string longPort = "COM1" + std::string(16, '0');
  struct Row {
    const char* fault;
    std::optional<std::string> file;
    Seen changes;  // from RunDefaults
  };
  const Row rows[] = {
      {"the port line not reaching the port name, or touching anything else",
       "PORT=COM3\n",
       {{"ComboBox1", "COM3"}, {"PortName", "COM3"}}},
      {"a box set from the file without its click handler: no separator before the first data",
       "RXTOFILE=YES\n",
       {{"CheckBox3", "[x]"}, {"LogSeparatorPending", "1"}, {"tolvaner.rxd", "--\n01\n02\n"}}},
      {"the seed waiting for the field to be left",
       "NETID=1234\n",
       {{"Edit2", "1234"}, {"CrcSeed", "EDCB"}}},
      {"the About setting not applied or not written back",
       "ABOUT=NO\n",
       {{"Button4", "greyed"}, {"AboutEnabled", "0"}, {"saved ABOUT", "NO"}}},
      {"a key found only at the start of a line",
       "XPORT=COM1\n",
       {{"ComboBox1", "COM1"}, {"PortName", "COM1"}}},
      // The default is 1000 too: a refusal would show as a failure report, the text as a save.
      {"a hexadecimal time-out refused, or saved as it was written", "TIMEOUT=$3E8\n", {}},
      {"a trailing blank accepted, or the load going on after the failure",
       "PORT=COM3\nTIMEOUT=500\nTIMEOUT=1000 \nBAUD=4800\n",
       // The steps after the lines are skipped too: the port name is not taken from the field.
       {{"ComboBox1", "COM3"},
        {"Timer2", "500"},
        {"saved TIMEOUT", "500"},
        {"boxes", "'1000 ' is not a valid integer value."}}},
      {"a zero time-out taken for none", "TIMEOUT=0\n", {{"Timer2", "0"}, {"saved TIMEOUT", "0"}}},
      {"a long line read whole, or cut anywhere but after 249 characters",
       longLine + "\n",
       {{"ComboBox1", "COM4"},
        {"PortName", "COM4"},
        {"Timer2", "2000"},
        {"saved TIMEOUT", "2000"}}},
      {"the CR of a CR LF file left in the values",
       "PORT=COM3\r\nBAUD=4800\r\nPARITY=ODD\r\nSTOPBITS=2\r\nTIMEOUT=2000\r\n",
       {{"ComboBox1", "COM3"},
        {"PortName", "COM3"},
        {"ComboBox2", "4800"},
        {"BaudRate", "4800"},
        {"ComboBox3", "ODD"},
        {"ParityCode", "1"},
        {"ComboBox4", "2"},
        {"StopBitsCode", "2"},
        {"Timer2", "2000"},
        {"saved TIMEOUT", "2000"}}},
      {"a missing file changing anything, or reported", std::nullopt, {}},
      // The port name is taken before the rate; the parity code and the seed would come after.
      {"a refused baud rate not reported, or the steps after it still run",
       "PORT=COM3\nPARITY=EVEN\nBAUD=abc\nNETID=1234\n",
       {{"ComboBox1", "COM3"},
        {"PortName", "COM3"},
        {"ComboBox3", "EVEN"},
        {"ComboBox2", "abc"},
        {"Edit2", "1234"},
        {"boxes", "'abc' is not a valid integer value."}}},
      {"an over-long port name cut into another device's name",
       "PORT=" + longPort + "\n",
       {{"ComboBox1", longPort}, {"PortName", ""}}},
      {"an over-long or lower-case identifier kept as it stands",
       "NETID=12345\nTXFROMID=abcde\nTXTOID=F00D1\nPREAMBCODE=C35E9\n",
       {{"Edit2", "1234"},
        {"CrcSeed", "EDCB"},
        {"Edit3", "ABCD"},
        {"Edit4", "F00D"},
        {"Edit14", "C35E"},
        {"PreambleHigh", "C3"},
        {"PreambleLow", "5E"}}},
      {"a line without the preamble code leaving the field as it was",
       "PREAMBCODE=12\nPORT=COM3\n",
       {{"Edit14", "124D"}, {"PreambleHigh", "12"}, {"ComboBox1", "COM3"}, {"PortName", "COM3"}}},
      {"only the first key of a line applied, or a signal box set without its handler",
       "DTR=ON RTS=ON RXCLEAR=YES RXBAD=YES PREAMBLEN=7\n",
       {{"CheckBox1", "[x]"},
        {"CheckBox2", "[x]"},
        {"CheckBox6", "[x]"},
        {"CheckBox5", "[x]"},
        {"Edit5", "7"},
        {"line requests", "set DTR | set RTS"}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fault);
    Seen expected = RunDefaults();
    for (const auto& [key, value] : row.changes) {
      ASSERT_TRUE(expected.count(key)) << "no such observation: " << key;
      expected[key] = key == "tolvaner.rxd" ? WithLineEnds(value) : value;
    }

    PtyPair far;
    Program p(row.file);
    Seen seen = Snapshot(p);
    seen["line requests"] = LineRequests(p.serial.lineRequests);
    // One good frame (network 0000) on an open port, then the close, which saves.
    p.OpenPort(far.SlavePath());
    p.Arrive(far, fixtures::kWorkedFrame);
    p.Poll();
    seen["tolvaner.rxd"] = fixtures::ReadFile(p.dir / "tolvaner.rxd").value_or("<no file>");
    p.form1.CheckBox4.UserClick();
    seen["saved ABOUT"] = SavedValue(p, "ABOUT=");
    seen["saved TIMEOUT"] = SavedValue(p, "TIMEOUT=");
    seen["boxes"] = Joined(p.backend.BoxTexts());

    ASSERT_EQ(seen.size(), expected.size());
    for (const auto& [key, value] : expected) {
      EXPECT_EQ(seen[key], value) << key;
    }
  }
}

struct Flags {
  bool dtr, rts, rxClear, rxBad, rxToFile;
};

// What has no control comes from the file the program starts with.
constexpr const char* kStartFile = "ABOUT=NO\nTIMEOUT=2500\n";

// Sets every saved control the way a user does, then types a new port name, which closes the
// port and so saves.
void SetControlsAndSave(Program& p, PtyPair& far, Flags flags) {
  TForm1& f = p.form1;
  f.ComboBox2.UserChoose(8);  // 19200
  f.ComboBox3.UserChoose(1);  // EVEN
  f.ComboBox4.UserChoose(2);  // 2 (1.5 with 8 data bits is refused by the port)
  f.Edit2.UserType("1234");
  f.Edit3.UserType("00a1");
  f.Edit4.UserType("0b02");
  f.Edit5.UserType("3");
  f.Edit14.UserType("C35E");
  for (auto [on, box] :
       {std::pair{flags.rxClear, &f.CheckBox6}, std::pair{flags.rxBad, &f.CheckBox5},
        std::pair{flags.rxToFile, &f.CheckBox3}}) {
    if (on) {
      box->UserClick();
    }
  }
  p.OpenPort(far.SlavePath());
  // The signal boxes can be clicked only while the port is open.
  if (flags.dtr) {
    f.CheckBox1.UserClick();
  }
  if (flags.rts) {
    f.CheckBox2.UserClick();
  }
  f.ComboBox1.UserType("COM3");
}

// Flags that differ where their controls are easily confused (CheckBox1/2, CheckBox5/6).
constexpr Flags kMixed = {
    .dtr = true, .rts = false, .rxClear = false, .rxBad = true, .rxToFile = true};

TEST(WindowSettings, SaveWritesTheControlsByteForByte) {
  PtyPair far;
  Program p(kStartFile);
  SetControlsAndSave(p, far, kMixed);
  const auto golden = fixtures::ReadFile(fs::path(__FILE__).parent_path() / "window_saved.par");
  ASSERT_TRUE(golden.has_value());
  EXPECT_EQ(p.SettingsText(), WithLineEnds(*golden));
  EXPECT_TRUE(p.backend.boxes.empty()) << p.backend.BoxTexts()[0];
}

TEST(WindowSettings, WhatOneProgramSavesTheNextRestores) {
  struct Row {
    const char* fault;
    Flags flags;
    bool allChanged;  // every observation away from its default
  };
  const Row rows[] = {
      {"a saved control not restored", {true, true, true, true, true}, true},
      {"two saved controls exchanged", kMixed, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fault);
    PtyPair far;
    Program first(kStartFile);
    SetControlsAndSave(first, far, row.flags);
    ASSERT_TRUE(first.backend.boxes.empty()) << first.backend.BoxTexts()[0];
    const Seen saved = Snapshot(first);
    if (row.allChanged) {
      for (const auto& [key, value] : saved) {
        EXPECT_NE(value, kDefaults.at(key)) << key << " would come back from the defaults alone";
      }
    }
    Program next(first.SettingsText());
    EXPECT_EQ(Snapshot(next), saved);
    EXPECT_TRUE(next.backend.boxes.empty());
  }
}

TEST(WindowSettings, AnUnwritableDirectoryKeepsTheOldFileAndNothingIsSaid) {
  EXPECT_TRUE(fixtures::RunUnprivileged([]() -> testing::AssertionResult {
    const std::string old = "PORT=COM1\nABOUT=NO\n";
    PtyPair far;
    Program p(old);
    const fs::path dir = p.dir.Path();
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    p.OpenPort(far.SlavePath());
    p.form1.CheckBox4.UserClick();
    EXPECT_EQ(p.SettingsText(), old);
    std::set<std::string> entries;
    for (const auto& entry : fs::directory_iterator(dir)) {
      entries.insert(entry.path().filename().string());
    }
    EXPECT_EQ(entries, std::set<std::string>{"tolvaner.par"});
    EXPECT_TRUE(p.backend.boxes.empty()) << p.backend.BoxTexts()[0];

    // Once the directory may be written the same close saves, so the one above did try.
    fs::permissions(dir, fs::perms::owner_all);
    p.form1.CheckBox4.UserClick();
    p.form1.CheckBox4.UserClick();
    EXPECT_EQ(SavedValue(p, "PORT="), far.SlavePath());
    return testing::AssertionSuccess();
  }));
}

TEST(WindowSettings, ExitSavesAndClosingTheWindowOtherwiseDoesNot) {
  const std::string old = "ABOUT=NO\n";
  struct Row {
    const char* fault;
    std::function<void(Program&, PtyPair&)> leave;
    bool saves;
  };
  const Row rows[] = {
      {"\"Выход\" leaving without a save",
       [](Program& p, PtyPair& far) {
         p.form1.ComboBox1.UserType(far.SlavePath());
         p.form1.Button3.UserClick();
       },
       true},
      {"closing the window saving", [](Program& p, PtyPair&) { p.form1.UserClose(); }, false},
      {"closing the window with the port open saving",
       [](Program& p, PtyPair& far) {
         p.OpenPort(far.SlavePath());
         p.form1.UserClose();
       },
       false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fault);
    PtyPair far;
    Program p(old);
    p.form1.Edit3.UserType("00A1");
    row.leave(p, far);
    EXPECT_TRUE(p.app.QuitRequested());
    EXPECT_TRUE(p.backend.boxes.empty()) << p.backend.BoxTexts()[0];
    if (row.saves) {
      EXPECT_EQ(SavedValue(p, "TXFROMID="), "00A1");
      EXPECT_EQ(SavedValue(p, "ABOUT="), "NO");
    } else {
      EXPECT_EQ(p.SettingsText(), old);
    }
  }
}

}  // namespace
