// "Передать" and the transmit buffer through a real pseudo-terminal: the bytes on the line, the
// size of every write, what the fields and hidden lists hold afterwards, and what is refused.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "tests/app/program.h"
#include "tests/support/frames.h"
#include "text/convert.h"

namespace {

using fixtures::Bytes;
using fixtures::Program;
using fixtures::PtyPair;
using namespace std::chrono_literals;

using fixtures::Station;

// What one click on "Передать" put on the line.
struct Sent {
  std::string bytes;  // as the far end read them, in hex
  std::vector<std::size_t> writes;
};

std::string HexText(const Bytes& bytes) {
  std::string out;
  for (std::uint8_t b : bytes) {
    out += (out.empty() ? "" : " ") + text::FormatHex2(b);
  }
  return out;
}

Sent Transmit(Station& s) {
  s.p.serial.writes.clear();
  s.f.Button1.UserClick();
  const auto& writes = s.p.serial.writes;
  // The writes are synchronous, so their sizes say how much the far end is to read.
  const std::size_t total = std::accumulate(writes.begin(), writes.end(), std::size_t{0});
  return {HexText(s.far.Collect(total, 5s)), writes};
}

// `count` payload lines 00, 01, 02, ... as typed, and the bytes they stand for.
std::string PayloadText(int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    out += text::FormatHex2(static_cast<std::uint8_t>(i)) + "\n";
  }
  return out;
}
Bytes PayloadBytes(int count) {
  Bytes out;
  for (int i = 0; i < count; ++i) {
    out.push_back(static_cast<std::uint8_t>(i));
  }
  return out;
}

TEST(Transmit, WorkedFrameGoesOutByteForByteAndTheListsKeepIt) {
  Station s;
  s.f.Memo1.UserType("01\n02\n");
  s.f.Edit5.UserType("1");
  // The second click shows that the hidden lists are emptied first, not appended to.
  for (int click = 0; click < 2; ++click) {
    const Sent sent = Transmit(s);
    EXPECT_EQ(sent.bytes,
              "B2 4D 2B 6A 55 69 95 55 69 55 55 55 55 55 59 55 55 55 56 55 56 55 59 4B");
    EXPECT_EQ(sent.writes, (std::vector<std::size_t>{2, 1, 20, 1}));
    EXPECT_EQ(s.f.Memo4.Text(), "06\n00\n00\n02\n00\n01\n01\n02\n");
    EXPECT_EQ(s.f.Memo3.Text(), "112\n104\n6\n0\n0\n2\n0\n1\n1\n2\n");
  }
  EXPECT_EQ(s.f.Memo1.Lines().Text(), "01\n02\n");
}

TEST(Transmit, CodedPartGoesOutInSlicesOfAtMost256Bytes) {
  struct Row {
    const char* fault;
    int payloadLines;
    int packetLines;  // Memo4
    int blockLines;   // Memo3
    std::vector<std::size_t> writes;
  };
  const Row rows[] = {
      {"an empty buffer sends no frame", 0, 6, 8, {0, 1, 16, 1}},
      {"a short last block is padded or dropped", 40, 46, 52, {0, 1, 104, 1}},
      {"a block list over 128 lines overruns the staging buffer",
       260,
       266,
       300,
       {0, 1, 256, 256, 88, 1}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fault);
    Station s;
    s.f.Memo1.UserType(PayloadText(row.payloadLines));
    const Sent sent = Transmit(s);
    EXPECT_EQ(sent.writes, row.writes);
    EXPECT_EQ(sent.bytes, HexText(fixtures::Frame(0x0002, 0x0001, PayloadBytes(row.payloadLines))));
    EXPECT_EQ(s.f.Memo4.Count(), row.packetLines);
    EXPECT_EQ(s.f.Memo3.Count(), row.blockLines);
  }
}

TEST(Transmit, IdentifierFieldsArePaddedWrittenBackAndSentInRouteOrder) {
  struct Row {
    const char* fault;
    std::string receiver, sender;
    std::array<std::string, 5> route;  // Edit7 .. Edit11 as typed
    std::string header;                // Memo4's header lines
    std::array<std::string, 5> routeAfter;
  };
  const Row rows[] = {
      {"short identifiers are not padded", "2", "", {}, "06 00 00 02 00 00", {}},
      {"retransmitters are counted wrongly or sent first hop first",
       "ABCD",
       "1",
       {"10", "", "30", "", ""},
       "0A 00 AB CD 00 01 00 30 00 10",
       {"0010", "", "0030", "", ""}},
      {"a full route loses a hop",
       "2",
       "1",
       {"1", "2", "3", "4", "5"},
       "10 00 00 02 00 01 00 05 00 04 00 03 00 02 00 01",
       {"0001", "0002", "0003", "0004", "0005"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fault);
    Station s;
    ui::Edit* routeFields[] = {&s.f.Edit7, &s.f.Edit8, &s.f.Edit9, &s.f.Edit10, &s.f.Edit11};
    s.f.Edit4.UserType(row.receiver);
    s.f.Edit3.UserType(row.sender);
    std::vector<std::uint16_t> route;
    for (std::size_t i = 0; i < 5; ++i) {
      routeFields[i]->UserType(row.route[i]);
      if (!row.route[i].empty()) {
        route.push_back(static_cast<std::uint16_t>(*text::ScanHex(row.route[i])));
      }
    }
    const Sent sent = Transmit(s);

    EXPECT_EQ(s.f.Edit4.Text(), text::FormatHex4(*text::ScanHex(row.receiver)));
    EXPECT_EQ(s.f.Edit3.Text(), row.sender.empty() ? "0000" : "0001");
    for (std::size_t i = 0; i < 5; ++i) {
      EXPECT_EQ(routeFields[i]->Text(), row.routeAfter[i]) << "Edit" << 7 + i;
    }
    std::string header;
    for (int i = 0; i < s.f.Memo4.Count(); ++i) {
      header += (i == 0 ? "" : " ") + s.f.Memo4.Get(i);
    }
    EXPECT_EQ(header, row.header);
    const auto to = static_cast<std::uint16_t>(*text::ScanHex(row.receiver));
    const std::uint16_t from = row.sender.empty() ? 0 : 1;
    EXPECT_EQ(sent.bytes, HexText(fixtures::Frame(to, from, {}, 0xFFFF, route)));
  }
}

TEST(Transmit, ClickingWhileAFieldHasTheFocusRunsItsLeaveHandlerFirst) {
  {
    SCOPED_TRACE("the transmit buffer: tidied on leaving, then cleaned line by line");
    Station s;
    s.f.UserFocus(&s.f.Memo1);
    // Without the tidying, g5 would reach the cleaning as it stands and be refused.
    s.f.Memo1.UserType("g5\n5x\nabc\na\n \n\n  \nff\n");
    const Sent sent = Transmit(s);
    EXPECT_TRUE(s.p.backend.boxes.empty()) << s.p.backend.BoxTexts()[0];
    EXPECT_EQ(s.f.Memo1.Lines().Text(), "05\nAB\n0A\n00\nFF\n");
    EXPECT_EQ(sent.bytes, HexText(fixtures::Frame(0x0002, 0x0001, {0x05, 0xAB, 0x0A, 0x00, 0xFF})));
  }
  {
    SCOPED_TRACE("the network identifier: the new seed is used at once");
    Station s;
    s.f.UserFocus(&s.f.Edit2);
    s.f.Edit2.UserType("1234");
    const Sent sent = Transmit(s);
    EXPECT_EQ(s.f.State.CrcSeed, 0xEDCB);
    EXPECT_EQ(sent.bytes, HexText(fixtures::Frame(0x0002, 0x0001, {}, 0xEDCB)));
  }
}

TEST(Transmit, ClearReceiveBoxEmptiesTheReceiveSideBeforeAnythingIsSent) {
  struct Row {
    const char* fault;
    bool clear;
    const char* preambleLength;
    bool cleared;
    std::size_t writes;
  };
  const Row rows[] = {
      {"the box is ignored", true, "0", true, 4},
      // Refused before the first write, yet already cleared: the clearing comes first.
      {"the clearing waits for the writes", true, "x", true, 0},
      {"the receive side is cleared unasked", false, "0", false, 4},
  };
  const auto receiveSide = [](TForm1& f) {
    return f.Memo2.Lines().Text() + "|" + f.Edit1.Text() + "|" + f.Edit6.Text() + "|" +
           f.Edit12.Text() + "|" + f.Edit13.Text();
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fault);
    Station s;
    s.p.Arrive(s.far, fixtures::kWorkedFrame);
    s.p.Poll();
    const std::string received = receiveSide(s.f);
    ASSERT_EQ(s.f.Memo2.Lines().Text(), "01\n02\n");
    s.f.CheckBox6.SetChecked(row.clear);
    s.f.Edit5.UserType(row.preambleLength);
    const Sent sent = Transmit(s);
    EXPECT_EQ(sent.writes.size(), row.writes);
    EXPECT_EQ(receiveSide(s.f), row.cleared ? "|0|0||" : received);
  }
}

TEST(Transmit, PreambleLengthIsTheIntegerConversionBoundedToTheStagingBuffer) {
  struct Row {
    const char* text;
    int pairs;
  };
  const Row rows[] = {{"1", 1},     {"80", 80},   {" 7", 7}, {"$10", 16},
                      {"128", 128}, {"200", 128}, {"-3", 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    Station s;
    s.f.Memo1.UserType("01\n02\n");
    s.f.Edit5.UserType(row.text);
    const Sent sent = Transmit(s);
    EXPECT_TRUE(s.p.backend.boxes.empty());
    EXPECT_EQ(sent.writes,
              (std::vector<std::size_t>{static_cast<std::size_t>(2 * row.pairs), 1, 20, 1}));
    EXPECT_EQ(sent.bytes,
              HexText(fixtures::Frame(0x0002, 0x0001, {0x01, 0x02}, 0xFFFF, {}, row.pairs)));
  }
}

TEST(Transmit, TextsThatHoldNoNumberRefuseTheWholeTransmission) {
  struct Row {
    const char* fault;
    std::function<void(TForm1&)> set;
    std::string message;
  };
  const Row rows[] = {
      {"an empty preamble length is sent as 0", [](TForm1& f) { f.Edit5.UserType(""); },
       "'' is not a valid integer value."},
      {"a trailing blank is accepted", [](TForm1& f) { f.Edit5.UserType("1 "); },
       "'1 ' is not a valid integer value."},
      {"a receiver part with no digit is sent as some byte",
       [](TForm1& f) { f.Edit4.UserType("zz"); }, "'00ZZ' is not a valid hexadecimal identifier."},
      {"a sender part with no digit is sent as some byte",
       [](TForm1& f) { f.Edit3.UserType("G1"); }, "'00G1' is not a valid hexadecimal identifier."},
      {"a retransmitter is sent partly", [](TForm1& f) { f.Edit9.UserType("XY12"); },
       "'XY12' is not a valid hexadecimal identifier."},
      // Put there from code, so no leaving of the buffer tidied it.
      {"a buffer line with no digit is sent as some byte",
       [](TForm1& f) { f.Memo1.Lines().SetText("01\nGG\n"); },
       "'GG' is not a valid hexadecimal byte."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fault);
    Station s;
    row.set(s.f);
    const Sent sent = Transmit(s);
    EXPECT_TRUE(sent.writes.empty()) << "writes: " << sent.writes.size();
    EXPECT_EQ(s.p.backend.BoxTexts(), (std::vector<std::string>{row.message}));
    ASSERT_FALSE(s.p.backend.boxes.empty());
    EXPECT_EQ(s.p.backend.boxes[0].icon, ui::MessageIcon::Stop);
  }
}

// The command-line tool as a separate process, where the build put it.
std::filesystem::path CliPath() {
  return TOLVANER_CLI;
}

std::string CliEncode(const std::string& args) {
  std::string out;
  FILE* pipe = popen((CliPath().string() + " encode " + args + " 2>&1").c_str(), "r");
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    out.append(buffer, n);
  }
  EXPECT_EQ(pclose(pipe), 0) << out;
  if (!out.empty() && out.back() == '\n') {
    out.pop_back();
  }
  return out;
}

TEST(Transmit, WindowAndCommandLineToolSendTheSameBytes) {
  struct Row {
    std::string netid, from, to;
    std::array<std::string, 5> route;  // Edit7 .. Edit11
    std::string preambleLength, preambleCode;
    int payloadLines;
  };
  const Row rows[] = {
      {"0000", "0001", "0002", {}, "1", "B24D", 2},
      {"1234", "10", "30", {"11", "22", "", "", ""}, "2", "0A0D", 17},
      {"FFFF", "ABCD", "0", {"1", "2", "3", "4", "5"}, "80", "b24d", 300},
      {"7", "FFFF", "FFFF", {"", "", "", "", "9"}, "0", "55AA", 0},
  };
  ASSERT_TRUE(std::filesystem::exists(CliPath())) << CliPath() << " is missing: build tolvaner-cli";
  for (const auto& row : rows) {
    Station s;
    std::string args = "--netid " + row.netid + " --from " + row.from + " --to " + row.to +
                       " --preamble-length " + row.preambleLength + " --preamble-code " +
                       row.preambleCode;
    SCOPED_TRACE(args);
    s.f.UserFocus(&s.f.Edit2);
    s.f.Edit2.UserType(row.netid);
    s.f.Edit3.UserType(row.from);
    s.f.Edit4.UserType(row.to);
    ui::Edit* routeFields[] = {&s.f.Edit7, &s.f.Edit8, &s.f.Edit9, &s.f.Edit10, &s.f.Edit11};
    for (std::size_t i = 0; i < 5; ++i) {
      routeFields[i]->UserType(row.route[i]);
      if (!row.route[i].empty()) {
        args += " --via " + row.route[i];
      }
    }
    s.f.Edit5.UserType(row.preambleLength);
    s.f.Edit14.UserType(row.preambleCode);
    s.f.Memo1.UserType(PayloadText(row.payloadLines));
    args += " --";  // a repeatable option would take the payload bytes as its own values
    for (std::uint8_t b : PayloadBytes(row.payloadLines)) {
      args += " " + text::FormatHex2(b);
    }
    EXPECT_EQ(Transmit(s).bytes, CliEncode(args));
  }
}

}  // namespace
