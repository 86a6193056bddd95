// The receiver state machine and packet check on the streams that matter, plus a fault sweep.
#include "link/receiver.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "link/line_code.h"
#include "tests/support/frames.h"

namespace {

using namespace protocol;
using fixtures::Bytes;
using fixtures::Frame;
using fixtures::Hex;
using fixtures::kWorkedFrame;

// Plays the window: remembers what the lamps, fields and buffer would show.
class Window : public ReceiverEvents {
 public:
  ReceiverRegisters rx;
  text::LineList memo6;
  text::LineList memo5;
  Receiver receiver{rx, memo6, memo5, *this};
  PacketOptions options;

  std::map<Lamp, bool> lamps;
  std::string edit1 = "0";
  std::string edit12, edit13;
  std::vector<std::string> memo2;
  bool timeoutRunning = false;
  int frames = 0;
  std::vector<std::string> blockStreamAtEnd;  // Memo6 as the packet check found it

  void Feed(const Bytes& bytes) {
    for (auto b : bytes) {
      receiver.Step(b, options);
    }
  }
  std::string Lamps() const {
    std::string out;
    for (Lamp l : {Lamp::Frame, Lamp::Bits, Lamp::Crc}) {
      auto it = lamps.find(l);
      out += it == lamps.end() ? '-' : (it->second ? 'G' : 'R');
    }
    return out;
  }

  void FrameStarted() override {
    edit1 = "0";
    timeoutRunning = true;
    lamps.clear();
  }
  void FrameLengthChanged(int bytes) override { edit1 = std::to_string(bytes); }
  void FrameEnded(FrameEnd) override {
    timeoutRunning = false;
    ++frames;
    blockStreamAtEnd.clear();
    for (int i = 0; i < memo6.Count(); ++i) {
      blockStreamAtEnd.push_back(memo6.Get(i));
    }
  }
  void LightLamp(Lamp lamp, bool good) override { lamps[lamp] = good; }
  void ShowIdentifiers(std::uint16_t to, std::uint16_t from) override {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", to);
    edit13 = buf;
    std::snprintf(buf, sizeof buf, "%04X", from);
    edit12 = buf;
  }
  void ClearIdentifiers() override { edit12.clear(), edit13.clear(); }
  void Deliver(const std::string& line) override { memo2.push_back(line); }
  void PacketChecked(const PacketReport&) override {}
};

Bytes Replace(Bytes frame, std::size_t at, std::uint8_t value) {
  frame.at(at) = value;
  return frame;
}

TEST(Receiver, WorkedFrameFillsTheBlockStreamAndDelivers) {
  Window w;
  w.Feed(kWorkedFrame);
  EXPECT_EQ(w.blockStreamAtEnd,
            (std::vector<std::string>{"112", "104", "6", "0", "0", "2", "0", "1", "1", "2"}));
  EXPECT_EQ(w.edit1, "22");
  EXPECT_EQ(w.Lamps(), "GGG");
  EXPECT_EQ(w.edit13, "0002");
  EXPECT_EQ(w.edit12, "0001");
  EXPECT_EQ(w.memo2, (std::vector<std::string>{"01", "02"}));
  EXPECT_EQ(w.memo6.Count(), 0);
  EXPECT_EQ(w.memo5.Count(), 0);
  EXPECT_EQ(w.rx.RxState, 1);
  EXPECT_FALSE(w.timeoutRunning);
}

struct StreamCase {
  const char* name;
  Bytes stream;
  bool acceptDamaged;
  std::int32_t seed;
  std::string lamps;
  std::vector<std::string> delivered;
  std::string edit12;
  std::string edit13;
};

TEST(Receiver, StreamsGiveTheirLampsAndDelivery) {
  const Bytes worked = kWorkedFrame;
  const std::size_t last = worked.size() - 2;  // the last code byte, 59
  const std::vector<std::string> both = {"01", "02"};
  Bytes twoBlocks(20);
  for (std::size_t i = 0; i < twoBlocks.size(); ++i) {
    twoBlocks[i] = static_cast<std::uint8_t>(0x40 + i);
  }
  std::vector<std::string> twoBlocksLines;
  for (auto b : twoBlocks) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", b);
    twoBlocksLines.push_back(buf);
  }
  // A packet whose header length says 2: header bytes from offset 2 on arrive as payload.
  Bytes lowHeader = {0x02, 0x00, 0x00, 0x02, 0x00, 0x01, 0x01, 0x02};
  const auto lowHeaderFrame =
      protocol::BuildFrame({}, protocol::BuildBlockStream(lowHeader, 0xFFFF));

  const StreamCase cases[] = {
      {"worked frame", worked, false, 0xFFFF, "GGG", both, "0001", "0002"},
      {"invalid first code byte EA decodes the same", Replace(worked, 3, 0xEA), false, 0xFFFF,
       "GGG", both, "0001", "0002"},
      {"invalid last code byte D9 drops the payload",
       Replace(worked, last, 0xD9),
       false,
       0xFFFF,
       "GRG",
       {},
       "0001",
       "0002"},
      {"invalid last code byte D9 accepted", Replace(worked, last, 0xD9), true, 0xFFFF, "GRG", both,
       "0001", "0002"},
      {"other network drops payload and addresses", worked, false, 0xEDCB, "GGR", {}, "", ""},
      {"other network accepted", worked, true, 0xEDCB, "GGR", both, "0001", "0002"},
      {"odd frame", Hex("2B 55 56 59 4B"), false, 0xFFFF, "GR-", {}, "", ""},
      {"empty frame +K is a damaged packet", Hex("2B 4B"), true, 0xFFFF, "GGR", {}, "", ""},
      {"noise before the start mark", Hex("00 FF 4B 55 13"), false, 0xFFFF, "---", {}, "", ""},
      {"two blocks skip the second checksum", Frame(2, 1, twoBlocks), false, 0xFFFF, "GGG",
       twoBlocksLines, "0001", "0002"},
      {"retransmitters are skipped", Frame(2, 1, {0x01, 0x02}, 0xFFFF, {0x10, 0x20, 0x30}), false,
       0xFFFF, "GGG", both, "0001", "0002"},
      {"header length below six delivers header bytes",
       lowHeaderFrame,
       false,
       0xFFFF,
       "GGG",
       {"00", "02", "00", "01", "01", "02"},
       "0001",
       "0002"},
  };
  for (const auto& c : cases) {
    Window w;
    w.options = {.crcSeed = c.seed, .acceptDamaged = c.acceptDamaged};
    w.Feed(c.stream);
    EXPECT_EQ(w.Lamps(), c.lamps) << c.name;
    EXPECT_EQ(w.memo2, c.delivered) << c.name;
    EXPECT_EQ(w.edit12, c.edit12) << c.name;
    EXPECT_EQ(w.edit13, c.edit13) << c.name;
    EXPECT_EQ(w.rx.RxState, 1) << c.name;
  }
}

TEST(Receiver, FrameSplitAnywhereIsAssembledTheSame) {
  for (std::size_t cut = 0; cut <= kWorkedFrame.size(); ++cut) {
    Window w;
    w.Feed(Bytes(kWorkedFrame.begin(), kWorkedFrame.begin() + static_cast<long>(cut)));
    w.Feed(Bytes(kWorkedFrame.begin() + static_cast<long>(cut), kWorkedFrame.end()));
    EXPECT_EQ(w.Lamps(), "GGG") << "cut at " << cut;
    EXPECT_EQ(w.memo2, (std::vector<std::string>{"01", "02"})) << "cut at " << cut;
  }
}

TEST(Receiver, SecondStartMarkInsideAFrameIsACodeByte) {
  Window w;
  // '+' then a stray '+' then the rest of the worked frame: one extra (invalid) code byte.
  Bytes stream = {0x2B, 0x2B};
  stream.insert(stream.end(), kWorkedFrame.begin() + 3, kWorkedFrame.end());
  w.Feed(stream);
  EXPECT_EQ(w.frames, 1);
  EXPECT_EQ(w.Lamps(), "GR-") << "21 code bytes: an odd frame";
  EXPECT_TRUE(w.memo2.empty());
}

TEST(Receiver, TimeOutDropsThePartialFrameAndTheNextStartsAfresh) {
  Window w;
  w.Feed(Bytes(kWorkedFrame.begin(), kWorkedFrame.begin() + 10));
  EXPECT_TRUE(w.timeoutRunning);
  EXPECT_EQ(w.rx.RxState, 3);
  w.receiver.TimeOut();
  EXPECT_EQ(w.Lamps(), "R--");
  EXPECT_FALSE(w.timeoutRunning);
  EXPECT_EQ(w.memo6.Count(), 0);
  EXPECT_EQ(w.rx.RxState, 1);
  w.Feed(kWorkedFrame);
  EXPECT_EQ(w.Lamps(), "GGG");
  EXPECT_EQ(w.memo2, (std::vector<std::string>{"01", "02"}));
}

TEST(Receiver, ChecksumErrorIsClearedAtTheNextStartMark) {
  Window w;
  w.options.crcSeed = 0xEDCB;
  w.Feed(Frame(2, 1, {7}, 0xFFFF));
  EXPECT_EQ(w.rx.RxCrcError, 1);
  w.Feed(Frame(2, 1, {7}, 0xEDCB));
  EXPECT_EQ(w.Lamps(), "GGG");
  EXPECT_EQ(w.memo2, (std::vector<std::string>{"07"}));
}

// Truncating the worked frame anywhere or flipping any bit of it never crashes the receiver,
// leaves it in a sane state, and the next good frame is still received.
TEST(Receiver, FaultSweepNeverStopsReception) {
  std::vector<Bytes> faults;
  for (std::size_t len = 0; len < kWorkedFrame.size(); ++len) {
    faults.emplace_back(kWorkedFrame.begin(), kWorkedFrame.begin() + static_cast<long>(len));
  }
  for (std::size_t at = 0; at < kWorkedFrame.size(); ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      faults.push_back(
          Replace(kWorkedFrame, at, static_cast<std::uint8_t>(kWorkedFrame[at] ^ (1u << bit))));
    }
  }
  for (const auto& fault : faults) {
    Window w;
    w.options.acceptDamaged = true;
    w.Feed(fault);
    ASSERT_TRUE(w.rx.RxState >= 1 && w.rx.RxState <= 3);
    ASSERT_LE(w.memo2.size(), 8u);
    if (w.rx.RxState != 1) {
      w.receiver.TimeOut();  // a frame left open ends with the frame time-out
    }
    w.memo2.clear();
    w.options.acceptDamaged = false;
    w.Feed(kWorkedFrame);
    ASSERT_EQ(w.Lamps(), "GGG") << testing::PrintToString(fault);
    ASSERT_EQ(w.memo2, (std::vector<std::string>{"01", "02"})) << testing::PrintToString(fault);
  }
}

}  // namespace
