// "Записывать в файл": the received-data log as the window writes it, in a real temporary
// directory, with bytes sent through a pseudo-terminal: separator placement, rejected packets,
// the file held only during a poll, and places the program may not write.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/app/program.h"
#include "tests/support/frames.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Bytes;
using fixtures::Frame;
using fixtures::Hex;
using fixtures::kWorkedFrame;
using fixtures::Program;
using fixtures::PtyPair;
using fixtures::ReadFile;

constexpr const char* kLogTrouble =
    "Не удаётся записать файл tolvaner.rxd: принятые данные не сохраняются.";

struct Link : fixtures::Station {
  using Station::Station;

  void Receive(const Bytes& bytes) {
    Station::Receive(bytes);
    p.backend.Advance(1);  // a notice about the log follows its poll at once
  }
  fs::path Log() const { return p.dir / "tolvaner.rxd"; }
};

// The worked frame, payload 01 02; a frame carrying 03; the worked frame with an invalid last
// code byte, which the bit check rejects.
const Bytes kPacketA = kWorkedFrame;
const Bytes kPacketB = Frame(2, 1, {0x03});
Bytes Rejected() {
  Bytes frame = kWorkedFrame;
  frame.at(frame.size() - 2) = 0xD9;
  return frame;
}

// One step of a script: C click the box, A and B a good packet, X a rejected one, N a noise
// byte (data but no frame), E a poll that finds nothing.
void Step(Link& l, char step) {
  switch (step) {
    case 'C':
      l.p.form1.CheckBox3.UserClick();
      break;
    case 'A':
      l.Receive(kPacketA);
      break;
    case 'B':
      l.Receive(kPacketB);
      break;
    case 'X':
      l.Receive(Rejected());
      break;
    case 'N':
      l.Receive(Hex("00"));
      break;
    case 'E':
      l.p.Poll();
      break;
    default:
      FAIL() << "no step '" << step << "'";
  }
}

TEST(ReceiveLog, SeparatorGoesBeforeTheFirstDataReadAfterAToggle) {
  struct Row {
    const char* fault;
    std::optional<std::string> settingsFile;
    const char* steps;
    std::optional<std::string> log;  // no value: no file
  };
  const Row rows[] = {
      {"logged while the box is unchecked", std::nullopt, "ABN", std::nullopt},
      {"separator missing, repeated, or bytes lost", std::nullopt, "CAB", "--\n01\n02\n03\n"},
      {"the settings file's tick is no toggle", "RXTOFILE=YES\n", "AB", "--\n01\n02\n03\n"},
      {"a rejected packet logged, or its poll kept the separator back", std::nullopt, "CX", "--\n"},
      {"the separator went out twice around a rejected packet", std::nullopt, "CXB", "--\n03\n"},
      {"the separator waits for a delivery instead of data", std::nullopt, "CN", "--\n"},
      {"a poll that read nothing opened the log", std::nullopt, "CEE", std::nullopt},
      {"a poll that read nothing took the separator", std::nullopt, "CEA", "--\n01\n02\n"},
      {"off and on between packets gave other than one separator", std::nullopt, "CACCB",
       "--\n01\n02\n--\n03\n"},
      {"a packet received while off was logged", std::nullopt, "CACBCA",
       "--\n01\n02\n--\n01\n02\n"},
  };
  for (const auto& row : rows) {
    Link l(row.settingsFile);
    for (const char* s = row.steps; *s != '\0'; ++s) {
      Step(l, *s);
    }
    EXPECT_EQ(ReadFile(l.Log()), row.log) << row.fault << " (" << row.steps << ")";
    EXPECT_TRUE(l.p.backend.boxes.empty()) << row.fault;
  }
}

TEST(ReceiveLog, FileIsAppendedToAndFreeBetweenPolls) {
  Link l;
  fixtures::WriteFile(l.Log(), "FF\n");
  l.p.form1.CheckBox3.UserClick();
  l.Receive(kPacketA);
  EXPECT_EQ(ReadFile(l.Log()), "FF\n--\n01\n02\n") << "what a poll logs is in the file after it";
  EXPECT_EQ(fixtures::OpenDescriptors(l.Log()), 0);
  // Another program may take the file away meanwhile; the next poll starts a new one.
  fs::remove(l.Log());
  l.Receive(kPacketB);
  EXPECT_EQ(ReadFile(l.Log()), "03\n");
  EXPECT_EQ(fixtures::OpenDescriptors(l.Log()), 0);
  // A frame split over two polls: each poll appends what it delivered.
  l.Receive(std::vector(kPacketA.begin(), kPacketA.begin() + 10));
  EXPECT_EQ(ReadFile(l.Log()), "03\n");
  l.Receive(std::vector(kPacketA.begin() + 10, kPacketA.end()));
  EXPECT_EQ(ReadFile(l.Log()), "03\n01\n02\n");
}

TEST(ReceiveLog, TroubleWritingIsToldOnceAndReceptionGoesOn) {
  struct Row {
    const char* name;
    fixtures::ChildOptions child;
    std::function<void(const fs::path& dir)> prepare;  // in the test, before the child starts
    std::function<void(const fs::path& dir)> repair;   // in the child: logging works again
    std::function<void(const fs::path& dir)> spoil;    // in the child: and fails again
  };
  const auto none = [](const fs::path&) {};
  const Row rows[] = {
      {"a directory the program may not write",
       {.dropRoot = true},
       [](const fs::path& dir) {
         // The child's own directory, so that it can mend it, but closed to writing.
         if (::geteuid() == 0) {
           ASSERT_EQ(::chown(dir.c_str(), fixtures::kUnprivilegedId, fixtures::kUnprivilegedId), 0);
         }
         fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec |
                                  fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
       },
       [](const fs::path& dir) {
         fs::permissions(dir, fs::perms::owner_write, fs::perm_options::add);
       },
       [](const fs::path& dir) {
         fs::permissions(dir / "tolvaner.rxd",
                         fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
       }},
      {"a full disk",
       {.maxFileSize = 8},  // room for one poll's "01\n02\n", not for two
       none,
       [](const fs::path& dir) { fs::resize_file(dir / "tolvaner.rxd", 0); },
       none},
  };
  for (const auto& row : rows) {
    Link l;
    row.prepare(l.p.dir.Path());
    const testing::AssertionResult verdict = fixtures::RunInChild(
        [&]() -> testing::AssertionResult {
          auto& f = l.p.form1;
          // Said after the poll let go, and while the box is open reception goes on.
          int heldWhileShown = 0;
          l.p.backend.onMessage = [&](const ui::MessageBox&) {
            heldWhileShown += f.State.RxBusy + (f.State.LogFile.IsOpen() ? 1 : 0);
            if (l.p.backend.boxes.size() == 1) {
              l.Receive(kPacketB);
            }
          };
          f.CheckBox3.UserClick();
          l.Receive(kPacketA);
          EXPECT_EQ(l.p.backend.BoxTexts(), std::vector<std::string>{kLogTrouble});
          EXPECT_EQ(heldWhileShown, 0) << "the poll still held its guard or the log";
          // A poll that logs nothing (noise only) says nothing about the trouble.
          l.Receive(Hex("00"));
          l.Receive(kPacketA);
          l.Receive(kPacketA);
          EXPECT_EQ(l.p.backend.boxes.size(), 1u) << "told more than once";
          EXPECT_EQ(f.Memo2.Lines().Count(), 7) << "reception stopped";
          EXPECT_EQ(f.State.RxBusy, 0);
          EXPECT_TRUE(f.Timer1.Enabled());

          // Switching logging off and on again asks anew.
          f.CheckBox3.UserClick();
          f.CheckBox3.UserClick();
          l.Receive(kPacketA);
          EXPECT_EQ(l.p.backend.boxes.size(), 2u) << "not told again after a toggle";

          // Once a poll has logged, trouble later is news again.
          row.repair(l.p.dir.Path());
          l.Receive(kPacketA);
          EXPECT_EQ(ReadFile(l.Log()), "01\n02\n") << "no log once it could be written";
          EXPECT_EQ(l.p.backend.boxes.size(), 2u) << "told while the log was written";
          row.spoil(l.p.dir.Path());
          l.Receive(kPacketA);
          l.Receive(kPacketA);
          EXPECT_EQ(l.p.backend.boxes.size(), 3u) << "new trouble after logging worked";
          EXPECT_EQ(f.Memo2.Lines().Count(), 15);
          return testing::AssertionSuccess();
        },
        row.child);
    EXPECT_TRUE(verdict) << row.name;
  }
}

}  // namespace
