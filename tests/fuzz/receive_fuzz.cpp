// Fuzz target: arbitrary polls of bytes, pauses and clicks through the window's receive road, on
// the virtual-clock backend, with every byte sent through a real pseudo-terminal. After each step
// the window must agree with a straight-line model of what it should show, and keep its
// invariants; a disagreement aborts.
//
// Input: byte 0 holds the options (bit 0 "Принимать битые", bit 1 "Записывать в файл", bits 2-3
// the frame time-out: 1000, 0, 300 or 7 ms, bit 4 network identifier 1234). Then steps, each an
// op byte, by its low three bits:
//   0 a poll of 1-32 bytes (op >> 3, plus one)      1 a poll of 1-256 bytes (next byte, plus one)
//   2 a poll of 16-4000 bytes (next byte x 16)     3 a poll that finds nothing
//   4 time passes: (op >> 3) x 50 + 1 ms           5 a click on "Записывать в файл" (op & 8) or
//   6 a click on "Очистить"                          on "Принимать битые"
//   7 the receive buffer filled to 4093-4096 lines ((op >> 3) & 3)
// The poll's bytes follow its op (and its length byte).
#include <fcntl.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/Unit1.h"
#include "link/receiver.h"
#include "rxlog/log.h"
#include "tests/support/pty.h"
#include "tests/support/virtual_backend.h"
#include "text/convert.h"
#include "ui/application.h"

namespace {

namespace fs = std::filesystem;

constexpr long kPollMs = 55;
constexpr int kLimit = 4095;  // more lines than this are emptied before the next byte
constexpr int kTimeOuts[] = {1000, 0, 300, 7};  // no multiple of the poll's 55 ms: no ties
constexpr std::size_t kMostPerPoll = 4000;      // a pseudo-terminal queues at most 4095
constexpr int kMostSteps = 200;

[[noreturn]] void Broken(const std::string& what) {
  std::fprintf(stderr, "receive road broken: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

void Expect(bool ok, const std::string& what) {
  if (!ok) {
    Broken(what);
  }
}

template <typename T>
void ExpectEq(const T& seen, const T& wanted, const char* what) {
  if (!(seen == wanted)) {
    Broken(std::string(what) + " differs from the model");
  }
}

// What the window should show, from the receiver alone, byte by byte, without ports or timers.
class Model : public protocol::ReceiverEvents {
 public:
  protocol::ReceiverRegisters rx;
  text::LineList memo6, memo5;
  protocol::Receiver receiver{rx, memo6, memo5, *this};
  protocol::PacketOptions options;
  int interval = 1000;

  std::vector<std::string> memo2;
  std::string edit1 = "0", edit6 = "0", edit12, edit13;
  int lastByteDelivered = 0;
  int clears = 0;

  bool logOn = false;
  bool logPending = false;
  bool logCreated = false;
  std::string log;

  void Clear() {
    ++clears;
    memo2.clear();
    memo5.Clear();
    memo6.Clear();
    edit1 = edit6 = "0";
    edit12.clear();
    edit13.clear();
  }
  // Time passes to `t`: the frame time-out fires once it is due.
  void AdvanceTo(long t) {
    if (rx.RxState != 1 && interval > 0 && frameStart_ + interval <= t) {
      receiver.TimeOut();
    }
    now_ = t;
  }
  void Poll(long t, std::span<const std::uint8_t> bytes) {
    AdvanceTo(t);
    logOpen_ = logOn && !bytes.empty();
    logCreated |= logOpen_;
    for (std::uint8_t b : bytes) {
      if (logPending) {
        log += logOpen_ ? "--\n" : "";
        logPending = false;
      }
      if (static_cast<int>(memo2.size()) > kLimit) {
        Clear();
      }
      lastByteDelivered = 0;
      receiver.Step(b, options);
    }
    logOpen_ = false;
  }

 private:
  void FrameStarted() override {
    edit1 = "0";
    frameStart_ = now_;
  }
  void FrameLengthChanged(int bytes) override { edit1 = std::to_string(bytes); }
  void FrameEnded(protocol::FrameEnd) override {}
  void LightLamp(protocol::Lamp, bool) override {}
  void ShowIdentifiers(std::uint16_t receiver, std::uint16_t sender) override {
    edit13 = text::FormatHex4(receiver);
    edit12 = text::FormatHex4(sender);
  }
  void ClearIdentifiers() override {
    edit12.clear();
    edit13.clear();
  }
  void Deliver(const std::string& line) override {
    memo2.push_back(line);
    ++lastByteDelivered;
    if (logOn && logOpen_) {
      log += rxlog::ByteLine(line) + "\n";
    }
  }
  void PacketChecked(const protocol::PacketReport&) override {
    edit6 = std::to_string(memo2.size());
  }

  long now_ = 0;
  long frameStart_ = 0;
  bool logOpen_ = false;
};

// The receive buffer only grows at its end or is emptied, so each check compares only what is new
// since the last one, unless the model has been emptied meanwhile.
class BufferCheck {
 public:
  bool Same(const text::LineList& seen, const Model& m) {
    if (m.clears != clears_) {
      clears_ = m.clears;
      checked_ = 0;
    }
    if (seen.Count() != static_cast<int>(m.memo2.size()) || seen.Count() < checked_) {
      return false;
    }
    for (; checked_ < seen.Count(); ++checked_) {
      if (seen.Get(checked_) != m.memo2[static_cast<std::size_t>(checked_)]) {
        return false;
      }
    }
    return true;
  }

 private:
  int clears_ = 0;
  int checked_ = 0;
};

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What lives for the whole run: the far end of the line and a working directory.
struct Bench {
  Bench() {
    // Short waits for the kernel should be short: the default slack stretches each to 50 us.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::string pattern = (fs::temp_directory_path() / "tolvaner-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      Broken("no temporary directory");
    }
    dir = pattern;
  }
  ~Bench() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  fixtures::PtyPair far;
  fs::path dir;
};

Bench& TheBench() {
  static Bench bench;
  return bench;
}

// Waits (bounded) until the port has `count` bytes queued: the kernel moves them in its own time.
void AwaitQueued(port::Handle port, std::uint32_t count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (int spins = 0;; ++spins) {
    std::uint32_t errors = 0;
    std::uint32_t queued = 0;
    Expect(port::SystemSerial().GetStatus(port, errors, queued), "the port went away");
    if (queued >= count) {
      Expect(queued == count, "bytes queued that were never sent");
      return;
    }
    Expect(std::chrono::steady_clock::now() < deadline, "the pseudo-terminal kept bytes back");
    if (spins < 2000) {
      sched_yield();
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
  }
}

void CheckLamp(const ui::Shape& lamp, const ui::Timer& reset) {
  const ui::Color c = lamp.BrushColor();
  Expect(c == kLampGrey || c == kLampGreen || c == kLampRed, "a lamp of another colour");
  Expect(c == kLampGrey || reset.Enabled(), "a lamp lit with no reset timer running");
}

void Check(TForm1& f, const Model& m, fixtures::VirtualBackend& backend, BufferCheck& buffer) {
  const auto& s = f.State;
  Expect(s.RxState >= 1 && s.RxState <= 3, "receiver state out of range");
  ExpectEq(s.RxState, m.rx.RxState, "receiver state");
  Expect(s.RxBusy == 0, "the poll guard was left set");
  Expect(!s.LogFile.IsOpen(), "the log was left open after a poll");
  Expect(backend.boxes.empty(),
         "a message or failure box: " + (backend.boxes.empty() ? "" : backend.boxes.front().text));
  Expect(f.Timer1.Enabled(), "polling stopped");
  Expect(f.Timer2.Enabled() == (s.RxState != 1), "frame time-out running out of a frame");
  Expect(f.Memo5.Count() == 0, "payload list not emptied");
  Expect(s.RxState != 1 || f.Memo6.Count() == 0, "block stream kept after the frame");
  if (s.RxState != 1) {
    const int lines = f.Memo6.Count();
    ExpectEq(f.Edit1.Text(), lines == 0 ? std::string("0") : std::to_string(2 * lines + 2),
             "Edit1 within a frame");
  }
  const int memo2 = std::as_const(f.Memo2).Lines().Count();
  Expect(memo2 <= kLimit + 1 || memo2 <= kLimit + m.lastByteDelivered,
         "receive buffer beyond its limit");
  ExpectEq(f.Memo6, m.memo6, "Memo6");
  Expect(buffer.Same(std::as_const(f.Memo2).Lines(), m), "Memo2 differs from the model");
  ExpectEq(f.Edit1.Text(), m.edit1, "Edit1");
  ExpectEq(f.Edit6.Text(), m.edit6, "Edit6");
  ExpectEq(f.Edit12.Text(), m.edit12, "Edit12");
  ExpectEq(f.Edit13.Text(), m.edit13, "Edit13");
  CheckLamp(f.Shape1, f.Timer3);
  CheckLamp(f.Shape2, f.Timer4);
  CheckLamp(f.Shape3, f.Timer5);
}

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Done() const { return at_ == size_; }
  std::uint8_t Byte() { return Done() ? 0 : data_[at_++]; }
  std::span<const std::uint8_t> Take(std::size_t n) {
    n = std::min(n, size_ - at_);
    std::span<const std::uint8_t> taken(data_ + at_, n);
    at_ += n;
    return taken;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bench& bench = TheBench();
  const fs::path logPath = bench.dir / rxlog::kFileName;
  std::error_code ec;
  fs::remove(logPath, ec);

  Reader in(data, size);
  const std::uint8_t options = in.Byte();

  fixtures::VirtualBackend backend;
  ui::Application app("/usr/bin/tolvaner", backend);
  port::SerialApi& serial = port::SystemSerial();
  TForm1 f(app, serial, bench.dir);
  app.Dispatch([&] { f.FormCreate(); });
  Model m;
  BufferCheck memo2;

  f.Timer2.SetInterval(kTimeOuts[(options >> 2) & 3]);
  m.interval = f.Timer2.Interval();
  if ((options & 16) != 0) {
    f.UserFocus(&f.Edit2);
    f.Edit2.UserType("1234");
    f.UserFocus(&f.Edit14);
  }
  m.options.crcSeed = f.State.CrcSeed;
  if ((options & 1) != 0) {
    f.CheckBox5.UserClick();
    m.options.acceptDamaged = true;
  }
  if ((options & 2) != 0) {
    f.CheckBox3.UserClick();
    m.logOn = m.logPending = true;
  }
  // At 110 baud a poll never waits for a fast line's driver to refill: nothing else arrives here.
  f.ComboBox2.UserType("110");
  f.ComboBox1.UserType(bench.far.SlavePath());
  f.CheckBox4.UserClick();
  Expect(f.State.PortHandle != port::kInvalidHandle, "cannot open the pseudo-terminal");
  AwaitQueued(f.State.PortHandle, 0);

  for (int step = 0; step < kMostSteps && !in.Done(); ++step) {
    const std::uint8_t op = in.Byte();
    const int kind = op & 7;
    if (kind <= 3) {
      std::size_t n = 0;
      if (kind == 0) {
        n = (op >> 3) + 1u;
      } else if (kind == 1) {
        n = in.Byte() + 1u;
      } else if (kind == 2) {
        n = std::min<std::size_t>((in.Byte() + 1u) * 16u, kMostPerPoll);
      }
      const auto bytes = in.Take(n);
      if (!bytes.empty()) {
        bench.far.Inject(bytes);
        AwaitQueued(f.State.PortHandle, static_cast<std::uint32_t>(bytes.size()));
      }
      // Exactly one poll: the next one due.
      const long poll = (backend.Now() / kPollMs + 1) * kPollMs;
      backend.Advance(static_cast<int>(poll - backend.Now()));
      m.Poll(poll, bytes);
      AwaitQueued(f.State.PortHandle, 0);
    } else if (kind == 4) {
      const int ms = (op >> 3) * 50 + 1;
      backend.Advance(ms);
      m.AdvanceTo(backend.Now());
    } else if (kind == 5) {
      if ((op & 8) != 0) {
        f.CheckBox3.UserClick();
        m.logOn = !m.logOn;
        m.logPending = true;
      } else {
        f.CheckBox5.UserClick();
        m.options.acceptDamaged = !m.options.acceptDamaged;
      }
    } else if (kind == 6) {
      f.Button2.UserClick();
      m.Clear();
    } else {
      const int target = 4093 + ((op >> 3) & 3);
      while (f.Memo2.Lines().Count() < target) {
        f.Memo2.Lines().Add("EE");
        m.memo2.push_back("EE");
      }
    }
    Check(f, m, backend, memo2);
  }

  BufferCheck whole;
  Expect(whole.Same(std::as_const(f.Memo2).Lines(), m), "Memo2 differs from the model");
  const bool logExists = fs::exists(logPath);
  Expect(logExists == m.logCreated, logExists ? "a log no poll should have made" : "no log made");
  if (logExists) {
    ExpectEq(FileText(logPath), m.log, "the log");
  }
  // Not through "Открыть порт": that would save the settings, with an fsync, at every input.
  serial.Close(f.State.PortHandle);
  return 0;
}
