// The window against the virtual device, run as a separate process on its pseudo-terminal: the
// echo of a frame sent with "Передать", each kind of damaged reply, and a flood received whole.
// The device keeps real time, so the test polls with short real pauses until its reply is in.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/app/program.h"
#include "tests/support/cli_process.h"
#include "tests/support/frames.h"
#include "text/convert.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The device in a process of its own, and the program with its port open on the device's end.
struct Bench {
  explicit Bench(std::vector<std::string> deviceArgs,
                 std::optional<std::string> settingsFile = std::nullopt)
      : device(DeviceCommand(std::move(deviceArgs))), p(std::move(settingsFile)) {
    const auto path = device.ReadLine(5s);
    EXPECT_TRUE(path.has_value()) << "the device named no port: " << device.Errors();
    p.OpenPort(path.value_or(""));
    EXPECT_TRUE(p.backend.boxes.empty()) << p.backend.BoxTexts()[0];
  }
  ~Bench() { f.CheckBox4.SetChecked(false); }

  static std::vector<std::string> DeviceCommand(std::vector<std::string> args) {
    args.insert(args.begin(), "device");
    return args;
  }

  fixtures::CliProcess device;
  fixtures::Program p;
  TForm1& f = p.form1;
};

// The worked frame's payload and preamble length, typed as a user types them.
void TypeWorkedFrame(TForm1& f) {
  f.Memo1.UserType("01\n02\n");
  f.Edit5.UserType("1");
}

// Clicks "Передать" and polls until the reply's frame is over (its frame lamp lit) or, with
// `untilStart`, until its start mark has been read. Returns the virtual time of the poll that
// read the start mark; no value if no reply came within two seconds.
std::optional<long> SendAndAwaitReply(Bench& b, bool untilStart = false) {
  b.f.Button1.UserClick();
  std::optional<long> started;
  for (const auto deadline = Clock::now() + 2s; Clock::now() < deadline;
       std::this_thread::sleep_for(2ms)) {
    b.p.Poll();
    const bool over = b.f.Shape1.BrushColor() != kLampGrey;
    if (!started && (over || b.f.State.RxState != 1)) {
      started = b.p.backend.Now();
    }
    if (over || (started && untilStart)) {
      return started;
    }
  }
  return std::nullopt;
}

char LampLetter(ui::Color c) {
  return c == kLampGreen ? 'G' : c == kLampRed ? 'R' : c == kLampGrey ? '-' : '?';
}

// What the receive column shows.
struct View {
  std::string lamps;  // frame, bits, CRC: G green, R red, - grey
  std::vector<std::string> memo2;
  std::string edit12, edit13;  // sender, receiver
  bool operator==(const View&) const = default;
};

void PrintTo(const View& v, std::ostream* os) {
  *os << "lamps " << v.lamps << ", Memo2 " << testing::PrintToString(v.memo2) << ", Edit12 '"
      << v.edit12 << "', Edit13 '" << v.edit13 << "'";
}

View Seen(const TForm1& f) {
  View v{.lamps = {LampLetter(f.Shape1.BrushColor()), LampLetter(f.Shape2.BrushColor()),
                   LampLetter(f.Shape3.BrushColor())},
         .edit12 = f.Edit12.Text(),
         .edit13 = f.Edit13.Text()};
  for (int i = 0; i < f.Memo2.Lines().Count(); ++i) {
    v.memo2.push_back(f.Memo2.Lines().Get(i));
  }
  return v;
}

const std::vector<std::string> kOnce = {"01", "02"};
const std::vector<std::string> kTwice = {"01", "02", "01", "02"};
// The device's echo of the worked frame: from 0002 back to 0001.
const View kEcho = {"GGG", kOnce, "0002", "0001"};

TEST(WindowAndDevice, WorkedFrameComesBackToTheReceiveBufferAndTheLog) {
  Bench b({});
  TypeWorkedFrame(b.f);
  b.f.CheckBox3.UserClick();
  ASSERT_TRUE(SendAndAwaitReply(b)) << "no reply within 2 s";
  EXPECT_EQ(Seen(b.f), kEcho);
  EXPECT_EQ(fixtures::ReadFile(b.p.dir / "tolvaner.rxd"), "--\n01\n02\n");
  EXPECT_TRUE(b.p.backend.boxes.empty()) << b.p.backend.BoxTexts()[0];
}

TEST(WindowAndDevice, EachDamagedReplyShowsItsLampsAndDeliversWhatItShould) {
  struct Row {
    const char* fault;
    const char* kind;  // --fault
    bool acceptDamaged;
    bool timesOut;  // no end mark: the frame time-out ends it
    View view;      // after a good reply and then the damaged one
  };
  const Row rows[] = {
      {"a checksum error delivered, or the dropped packet's identifiers kept",
       "crc",
       false,
       false,
       {"GGR", kOnce, "", ""}},
      {"a checksum error dropped though damaged packets are accepted",
       "crc",
       true,
       false,
       {"GGR", kTwice, "0002", "0001"}},
      {"an invalid code byte delivered", "bits", false, false, {"GRG", kOnce, "0002", "0001"}},
      {"an invalid code byte dropped though damaged packets are accepted",
       "bits",
       true,
       false,
       {"GRG", kTwice, "0002", "0001"}},
      {"an odd frame delivered or its lamps wrong",
       "odd",
       false,
       false,
       {"GR-", kOnce, "0002", "0001"}},
      {"an odd frame delivered because damaged packets are accepted",
       "odd",
       true,
       false,
       {"GR-", kOnce, "0002", "0001"}},
      {"a frame without an end mark not dropped at its time-out, or dropped early",
       "unterminated",
       false,
       true,
       {"R--", kOnce, "0002", "0001"}},
      {"noise before the start mark spoils a good frame",
       "noise",
       false,
       false,
       {"GGG", kTwice, "0002", "0001"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fault);
    // Good and damaged replies take turns, so the fields hold a packet's identifiers first and
    // clearing them shows.
    Bench b({"--fault", "none", "--fault", row.kind});
    TypeWorkedFrame(b.f);
    if (row.acceptDamaged) {
      b.f.CheckBox5.UserClick();
    }
    ASSERT_TRUE(SendAndAwaitReply(b)) << "no good reply within 2 s";
    ASSERT_EQ(Seen(b.f), kEcho);
    // Whole polls, so that a poll ends where the window's poll timer fires: the lamps go grey
    // again after 250 ms.
    for (int i = 0; i < 5; ++i) {
      b.p.Poll();
    }

    const auto started = SendAndAwaitReply(b, row.timesOut);
    ASSERT_TRUE(started) << "no damaged reply within 2 s";
    if (row.timesOut) {
      b.p.backend.Advance(static_cast<int>(*started + 999 - b.p.backend.Now()));
      EXPECT_EQ(Seen(b.f).lamps, "---") << "ended before its time-out";
      b.p.backend.Advance(1);
    }
    EXPECT_EQ(Seen(b.f), row.view);
    EXPECT_TRUE(b.p.backend.boxes.empty()) << b.p.backend.BoxTexts()[0];
  }
}

TEST(WindowAndDevice, FloodOf25600BytesASecondIsReceivedWithNothingLost) {
  constexpr double kRate = 25600;
  // The line rate that carries the flood at ten bits a byte, as a user would set it.
  Bench b({"--flood", "25600"}, "BAUD=256000\n");
  const auto opened = Clock::now();
  // The log keeps every payload line; the receive buffer empties itself at 4096.
  b.f.CheckBox3.UserClick();
  // The program's timer pace, kept in real time: the device sends whether or not anyone reads.
  auto last = opened;
  Clock::duration longestGap{};
  for (int n = 1; last - opened < 10s; ++n) {
    std::this_thread::sleep_until(opened + n * 55ms);
    b.p.Poll();
    const auto now = Clock::now();
    longestGap = std::max(longestGap, now - last);
    last = now;
  }
  const double seconds = std::chrono::duration<double>(last - opened).count();
  const auto pace = "longest time between polls " +
                    std::to_string(std::chrono::duration<double, std::milli>(longestGap).count()) +
                    " ms";

  // Each frame carries its number, high byte first, counting from 0 at the open.
  std::istringstream log(fixtures::ReadFile(b.p.dir / "tolvaner.rxd").value_or(""));
  std::string line;
  std::getline(log, line);
  EXPECT_EQ(line, "--");
  std::uint32_t frames = 0;
  std::uint32_t counter = 0;
  int bytes = 0;
  std::string gap;
  while (std::getline(log, line)) {
    counter = (counter << 8) | text::ScanHex(line).value_or(0x100);
    if (++bytes % 4 == 0) {
      if (counter != frames && gap.empty()) {
        gap = "frame " + std::to_string(frames) + " carried " + std::to_string(counter);
      }
      ++frames;
    }
  }
  EXPECT_EQ(gap, "") << pace;
  EXPECT_EQ(bytes % 4, 0) << "a frame delivered in part";
  const auto frameBytes = fixtures::Frame(0x0001, 0x0002, {0, 0, 0, 0}).size();
  const double received = frames * static_cast<double>(frameBytes) / seconds;
  EXPECT_NEAR(received, kRate, 0.02 * kRate)
      << frames << " frames of " << frameBytes << " bytes in " << seconds << " s; " << pace;
  EXPECT_TRUE(b.p.backend.boxes.empty()) << b.p.backend.BoxTexts()[0];
}

}  // namespace
