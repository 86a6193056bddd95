// The receive road in the window: polls, the frame time-out, lamps, fields, the receive buffer and
// its limit, "Очистить", bursts and sustained input, with bytes sent through a real pseudo-terminal
// and time kept by the virtual clock.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/app/program.h"
#include "tests/support/frames.h"
#include "text/convert.h"

namespace {

using fixtures::Bytes;
using fixtures::Frame;
using fixtures::Hex;
using fixtures::kWorkedFrame;
using fixtures::Program;
using fixtures::PtyPair;

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t to) {
  return Bytes(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(to));
}

// The program with its port open on a pseudo-terminal; the test holds the far end.
struct Link : fixtures::Station {
  using Station::Station;

  // More than the port reports queued at once: in pieces, one poll each.
  void ReceiveInPieces(const Bytes& bytes, std::size_t piece = 2048) {
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
      Receive(Slice(bytes, at, std::min(bytes.size(), at + piece)));
    }
  }
  // Leaves the network-identifier field with `text` in it, as a user does.
  void SetNetworkId(const std::string& text) {
    p.form1.UserFocus(&p.form1.Edit2);
    p.form1.Edit2.UserType(text);
    p.form1.UserFocus(&p.form1.Edit14);
  }
};

char LampLetter(ui::Color c) {
  return c == kLampGreen ? 'G' : c == kLampRed ? 'R' : c == kLampGrey ? '-' : '?';
}

std::vector<std::string> LinesOf(const text::LineList& list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i) {
    lines.push_back(list.Get(i));
  }
  return lines;
}

// What the receive column shows.
struct View {
  std::string lamps;  // frame, bits, CRC: G green, R red, - grey
  std::vector<std::string> memo2;
  std::string edit1, edit6, edit12, edit13;
  bool operator==(const View&) const = default;
};

void PrintTo(const View& v, std::ostream* os) {
  *os << "lamps " << v.lamps << ", Memo2 " << testing::PrintToString(v.memo2) << ", Edit1 "
      << v.edit1 << ", Edit6 " << v.edit6 << ", Edit12 '" << v.edit12 << "', Edit13 '" << v.edit13
      << "'";
}

View Seen(const TForm1& f) {
  return {
      .lamps = {LampLetter(f.Shape1.BrushColor()), LampLetter(f.Shape2.BrushColor()),
                LampLetter(f.Shape3.BrushColor())},
      .memo2 = LinesOf(f.Memo2.Lines()),
      .edit1 = f.Edit1.Text(),
      .edit6 = f.Edit6.Text(),
      .edit12 = f.Edit12.Text(),
      .edit13 = f.Edit13.Text(),
  };
}

const View kWorkedView = {"GGG", {"01", "02"}, "22", "2", "0001", "0002"};

Bytes WithByte(Bytes frame, std::size_t at, std::uint8_t value) {
  frame.at(at) = value;
  return frame;
}

// The worked frame with its last code byte 59 made the invalid D9, which decodes the same.
Bytes D9Frame() {
  return WithByte(kWorkedFrame, kWorkedFrame.size() - 2, 0xD9);
}

TEST(Receive, EachFrameShowsItsVerdictAndDeliversWhatItShould) {
  struct Row {
    const char* fault;
    Bytes stream;
    const char* netId;  // typed into the field and left; nullptr keeps 0000
    bool acceptDamaged;
    View view;
  };
  const Row rows[] = {
      {"worked frame: a lamp, an identifier or a counter wrong", kWorkedFrame, nullptr, false,
       kWorkedView},
      {"invalid last code byte delivered anyway",
       D9Frame(),
       nullptr,
       false,
       {"GRG", {}, "22", "0", "0001", "0002"}},
      {"invalid last code byte dropped though damaged packets are accepted",
       D9Frame(),
       nullptr,
       true,
       {"GRG", {"01", "02"}, "22", "2", "0001", "0002"}},
      {"foreign network delivered, or its identifiers kept",
       kWorkedFrame,
       "1234",
       false,
       {"GGR", {}, "22", "0", "", ""}},
      {"foreign network dropped though damaged packets are accepted",
       kWorkedFrame,
       "1234",
       true,
       {"GGR", {"01", "02"}, "22", "2", "0001", "0002"}},
      {"the seed does not follow the left field", Frame(2, 1, {1, 2}, 0xFFFF - 0x1234), "1234",
       false, kWorkedView},
      {"odd frame delivered or its lamps wrong",
       Hex("2B 55 56 59 4B"),
       nullptr,
       true,
       {"GR-", {}, "4", "0", "", ""}},
      {"frame too short for a header taken as good, or a failure",
       Hex("2B 4B"),
       nullptr,
       true,
       {"GGR", {}, "0", "0", "", ""}},
      {"noise without a start mark taken for a frame",
       Hex("00 55 4B 59 FF"),
       nullptr,
       true,
       {"---", {}, "0", "0", "", ""}},
  };
  for (const auto& row : rows) {
    Link l;
    if (row.netId != nullptr) {
      l.SetNetworkId(row.netId);
    }
    if (row.acceptDamaged) {
      l.p.form1.CheckBox5.UserClick();
    }
    l.Receive(row.stream);
    EXPECT_EQ(Seen(l.p.form1), row.view) << row.fault;
    EXPECT_TRUE(l.p.backend.boxes.empty()) << row.fault;
    EXPECT_EQ(l.p.form1.State.RxState, 1) << row.fault;
  }
}

TEST(Receive, FrameSplitAcrossTwoPollsAnywhereGivesTheSameWindow) {
  for (std::size_t cut = 0; cut <= kWorkedFrame.size(); ++cut) {
    Link l;
    l.Receive(Slice(kWorkedFrame, 0, cut));
    l.Receive(Slice(kWorkedFrame, cut, kWorkedFrame.size()));
    EXPECT_EQ(Seen(l.p.form1), kWorkedView) << "cut at " << cut;
  }
}

TEST(Receive, FrameTooShortForAHeaderEmptiesTheIdentifiersAndReceptionGoesOn) {
  for (const Bytes& shortFrame : {Hex("2B 4B"), Hex("2B 55 56 55 59 55 55 55 55 4B")}) {
    Link l;
    l.Receive(kWorkedFrame);
    l.Receive(shortFrame);
    const View v = Seen(l.p.form1);
    EXPECT_EQ(v.lamps, "GGR");
    EXPECT_EQ(v.edit12 + v.edit13, "");
    EXPECT_EQ(v.memo2, (std::vector<std::string>{"01", "02"}));
    EXPECT_TRUE(l.p.backend.boxes.empty());
    EXPECT_EQ(l.p.form1.State.RxBusy, 0);
    l.Receive(kWorkedFrame);
    EXPECT_EQ(Seen(l.p.form1).edit13, "0002");
    EXPECT_EQ(Seen(l.p.form1).memo2.size(), 4u);
  }
}

TEST(Receive, FrameTimeOutRunsFromTheStartMarkAndZeroNeverEnds) {
  struct Row {
    const char* fault;
    std::optional<std::string> settingsFile;
    int interval;  // 0: never times out
  };
  const Row rows[] = {
      {"default time-out wrong or restarted by later bytes", std::nullopt, 1000},
      {"time-out not taken from the settings", "TIMEOUT=300\n", 300},
      {"a time-out of 0 fires", "TIMEOUT=0\n", 0},
  };
  // The start mark and ten code bytes; ten more; the end mark.
  const Bytes head = Slice(kWorkedFrame, 0, 13);
  const Bytes middle = Slice(kWorkedFrame, 13, kWorkedFrame.size() - 1);
  const Bytes end = {kWorkedFrame.back()};
  for (const auto& row : rows) {
    Link l(row.settingsFile);
    auto& f = l.p.form1;
    l.Receive(head);
    const long started = l.p.backend.Now();
    l.p.Poll();
    l.Receive(middle);  // code bytes do not restart the time-out
    ASSERT_EQ(f.State.RxState, 2) << row.fault;

    if (row.interval == 0) {
      l.p.backend.Advance(10 * 60 * 1000);
      EXPECT_EQ(f.State.RxState, 2) << row.fault;
      EXPECT_EQ(f.Shape1.BrushColor(), kLampGrey) << row.fault;
      l.Receive(end);
      EXPECT_EQ(Seen(f), kWorkedView) << row.fault;
      continue;
    }
    l.p.backend.Advance(static_cast<int>(started + row.interval - 1 - l.p.backend.Now()));
    EXPECT_EQ(f.Shape1.BrushColor(), kLampGrey) << row.fault;
    EXPECT_NE(f.State.RxState, 1) << row.fault;
    l.p.backend.Advance(1);
    EXPECT_EQ(f.Shape1.BrushColor(), kLampRed) << row.fault;
    EXPECT_EQ(f.State.RxState, 1) << row.fault;
    EXPECT_EQ(f.Memo6.Count(), 0) << row.fault;
    EXPECT_FALSE(f.Timer2.Enabled()) << row.fault;

    // The rest of the dropped frame is noise; the next start mark begins a fresh frame.
    l.Receive(end);
    EXPECT_TRUE(f.Memo2.Lines().Count() == 0 && f.Shape2.BrushColor() == kLampGrey) << row.fault;
    l.Receive(kWorkedFrame);
    EXPECT_EQ(Seen(f), kWorkedView) << row.fault;
  }
}

TEST(Receive, LampsGoGreyTwoHundredFiftyMillisecondsAfterTheirFirstLighting) {
  Link l;
  auto& f = l.p.form1;
  l.Receive(kWorkedFrame);
  const long lit = l.p.backend.Now();
  l.p.Poll();
  l.Receive(D9Frame());  // lit again 110 ms later: the reset timers keep running
  EXPECT_EQ(Seen(f).lamps, "GRG");
  l.p.backend.Advance(static_cast<int>(lit + 249 - l.p.backend.Now()));
  EXPECT_EQ(Seen(f).lamps, "GRG");
  l.p.backend.Advance(1);
  EXPECT_EQ(Seen(f).lamps, "---");
  l.Receive(kWorkedFrame);
  EXPECT_EQ(Seen(f).lamps, "GGG") << "a lamp lights again after its reset";
}

// A run of frames delivering `lines` payload bytes in all, each frame small enough for one read.
Bytes PayloadLines(int lines) {
  Bytes stream;
  for (int done = 0; done < lines;) {
    const int n = std::min(1500, lines - done);
    Bytes payload(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
      payload[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(done + i);
    }
    const Bytes frame = Frame(2, 1, payload);
    stream.insert(stream.end(), frame.begin(), frame.end());
    done += n;
  }
  return stream;
}

TEST(Receive, ReceiveBufferOf4096LinesIsEmptiedAtTheNextByte) {
  struct Row {
    const char* fault;
    int lines;
    bool emptied;
    int afterFrame;
  };
  const Row rows[] = {
      {"emptied one line early", 4095, false, 4097},
      {"not emptied, or counters and identifiers kept", 4096, true, 2},
  };
  for (const auto& row : rows) {
    Link l;
    auto& f = l.p.form1;
    l.ReceiveInPieces(PayloadLines(row.lines));
    ASSERT_EQ(f.Memo2.Lines().Count(), row.lines) << row.fault << ": the delivery itself";
    View before = Seen(f);
    EXPECT_EQ(before.edit6, std::to_string(row.lines)) << row.fault;

    l.Receive(Hex("00"));  // any byte, not only a frame's
    const View expected = row.emptied ? View{before.lamps, {}, "0", "0", "", ""} : before;
    EXPECT_EQ(Seen(f), expected) << row.fault;

    // The limit is checked before each byte, so a delivery may pass it until the next byte.
    l.Receive(kWorkedFrame);
    EXPECT_EQ(f.Memo2.Lines().Count(), row.afterFrame) << row.fault;
    EXPECT_EQ(f.Edit6.Text(), std::to_string(row.afterFrame)) << row.fault;
    EXPECT_EQ(f.Memo2.Lines().Get(row.afterFrame - 1), "02") << row.fault;
  }
}

TEST(Receive, ClearEmptiesTheReceiveSideButLeavesTheFrameInProgress) {
  Link l;
  auto& f = l.p.form1;
  l.Receive(kWorkedFrame);
  l.Receive(Slice(kWorkedFrame, 0, 16));  // a new frame: the start mark and 13 code bytes
  ASSERT_EQ(f.State.RxState, 3);
  ASSERT_EQ(f.Memo6.Count(), 6);
  f.Button2.UserClick();
  EXPECT_EQ(Seen(f), (View{"GGG", {}, "0", "0", "", ""}));
  EXPECT_EQ(f.Memo6.Count(), 0);
  EXPECT_EQ(f.Memo5.Count(), 0);
  EXPECT_EQ(f.State.RxState, 3) << "the receiver state is not the clear's business";
  EXPECT_TRUE(f.Timer2.Enabled());
  // The rest of that frame ends it (as a packet too short for its header); the next is whole.
  l.Receive(Slice(kWorkedFrame, 16, kWorkedFrame.size()));
  l.Receive(kWorkedFrame);
  EXPECT_EQ(Seen(f).memo2, (std::vector<std::string>{"01", "02"}));
}

// Frames of one payload byte each, counting up: 20 bytes on the wire a frame.
Bytes CountingFrames(int frames, std::vector<std::string>& lines) {
  Bytes stream;
  for (int i = 0; i < frames; ++i) {
    const Bytes frame = Frame(2, 1, {static_cast<std::uint8_t>(i)});
    stream.insert(stream.end(), frame.begin(), frame.end());
    lines.push_back(text::FormatHex2(static_cast<std::uint32_t>(i & 0xFF)));
  }
  return stream;
}

TEST(Receive, BurstLargerThanOneChunkIsReadInOnePoll) {
  Link l;
  std::vector<std::string> lines;
  const Bytes burst = CountingFrames(200, lines);  // 4000 bytes, queued at once
  ASSERT_GT(burst.size(), 15 * l.p.form1.State.RxChunk.size());
  l.Receive(burst);
  EXPECT_EQ(l.p.Queued(), 0u) << "bytes left for the next poll";
  EXPECT_EQ(Seen(l.p.form1).memo2, lines);
  EXPECT_EQ(l.p.form1.Edit6.Text(), "200");
}

TEST(Receive, SustainedInputIsNotLost) {
  // Logged, so that everything delivered is on record past the buffer's limit; no time-out, so
  // the virtual clock cannot outrun the writer and drop a frame it is still writing.
  Link l("TIMEOUT=0\nRXTOFILE=YES\n");
  constexpr int kFrames = 1000;
  constexpr std::size_t kPayload = 200;
  Bytes stream;
  std::string expected = "--\n";
  for (int n = 0; n < kFrames; ++n) {
    Bytes payload(kPayload);
    for (std::size_t i = 0; i < kPayload; ++i) {
      payload[i] = static_cast<std::uint8_t>(n * 7 + static_cast<int>(i));
      expected += text::FormatHex2(payload[i]) + "\n";
    }
    const Bytes frame = Frame(2, 1, payload, 0xFFFF, {}, 4);
    stream.insert(stream.end(), frame.begin(), frame.end());
  }

  std::atomic<bool> written = false;
  std::string writerError;
  std::thread writer([&] {
    try {
      for (std::size_t at = 0; at < stream.size(); at += 8192) {
        l.far.Inject(Slice(stream, at, std::min(stream.size(), at + 8192)));
      }
    } catch (const std::exception& e) {
      writerError = e.what();
    }
    written = true;
  });
  const auto log = l.p.dir / "tolvaner.rxd";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int mostLines = 0;
  std::error_code ec;
  while (std::chrono::steady_clock::now() < deadline) {
    l.p.Poll();
    mostLines = std::max(mostLines, l.p.form1.Memo2.Lines().Count());
    if (written && std::filesystem::file_size(log, ec) >= expected.size() && !ec) {
      break;
    }
  }
  writer.join();
  ASSERT_EQ(writerError, "");
  EXPECT_EQ(fixtures::ReadFile(log), expected)
      << stream.size() << " bytes sent; the log shows what the window delivered";
  EXPECT_LE(mostLines, 4095 + static_cast<int>(kPayload)) << "the buffer outgrew its limit";
  EXPECT_TRUE(l.p.backend.boxes.empty());
}

}  // namespace
