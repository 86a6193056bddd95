// Receive load: the window's real poll reading a pseudo-terminal that a paced device fills, with
// the poll run every 55 ms of wall time as the window's timer runs it. Measures the highest
// sustained line rate delivered whole, the poll's CPU cost per wire byte, and resident memory
// across a long flood.
//
// The device keeps what the line has carried but the port has not yet taken in a buffer of its
// own (a serial driver's receive buffer; --device-buffer), in front of the pseudo-terminal's own
// buffer. What does not fit is lost, as a real port loses it.
//
//   bench_receive [--flood-seconds N] [--trial-seconds N] [--payload BYTES] [--device-buffer KiB]
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "app/Unit1.h"
#include "link/frame.h"
#include "port/serial_port.h"
#include "tests/support/virtual_backend.h"
#include "text/convert.h"
#include "ui/application.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr int kPollMs = 55;
constexpr double kBaud256k = 25600.0;  // bytes per second: 10 bits a byte on the line
constexpr double kBaud3M = 300000.0;

[[noreturn]] void Die(const char* what) {
  std::perror(what);
  std::exit(1);
}

double CpuSeconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A line of /proc/self/status, in KiB.
long StatusKiB(const char* key) {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key, 0) == 0) {
      return std::strtol(line.c_str() + std::char_traits<char>::length(key), nullptr, 10);
    }
  }
  return -1;
}

// A pseudo-terminal whose master the device writes without ever waiting.
class Line {
 public:
  Line() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char name[128];
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
      Die("pseudo-terminal");
    }
    slave_ = name;
  }
  ~Line() { ::close(master_); }
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;

  const std::string& SlavePath() const { return slave_; }
  // Waits until the pseudo-terminal has room again, or `ms` has passed.
  void AwaitRoom(int ms) {
    pollfd writable{.fd = master_, .events = POLLOUT, .revents = 0};
    ::poll(&writable, 1, ms);
  }
  // Writes what the pseudo-terminal takes now; returns how much that was.
  std::size_t Offer(std::span<const std::uint8_t> bytes) {
    const ssize_t put = ::write(master_, bytes.data(), bytes.size());
    if (put < 0 && errno != EAGAIN && errno != EINTR) {
      Die("write to the pseudo-terminal");
    }
    return put > 0 ? static_cast<std::size_t>(put) : 0;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

// How much a pseudo-terminal holds with nobody reading its slave (opened raw, as the program's
// port layer leaves it).
std::size_t PseudoTerminalCapacity() {
  Line line;
  const int slave = ::open(line.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios raw{};
  tcgetattr(slave, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave, TCSANOW, &raw);
  const Bytes chunk(1024);
  std::size_t held = 0;
  for (int idle = 0; idle < 20; ++idle) {
    for (std::size_t put; (put = line.Offer(chunk)) > 0;) {
      held += put;
      idle = 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // the kernel moves it on
  }
  ::close(slave);
  return held;
}

// The system's port, counting what the program reads, so that the backlog on the line is known.
class CountingSerial : public port::SerialApi {
 public:
  std::atomic<std::uint64_t> read{0};

  port::Handle Open(std::string_view name) override { return real_.Open(name); }
  bool SetQueueSizes(port::Handle h, std::uint32_t in, std::uint32_t out) override {
    return real_.SetQueueSizes(h, in, out);
  }
  bool GetSettings(port::Handle h, port::DeviceControl& c) override {
    return real_.GetSettings(h, c);
  }
  bool SetSettings(port::Handle h, const port::DeviceControl& c) override {
    return real_.SetSettings(h, c);
  }
  bool GetTimeouts(port::Handle h, port::Timeouts& t) override { return real_.GetTimeouts(h, t); }
  bool SetTimeouts(port::Handle h, const port::Timeouts& t) override {
    return real_.SetTimeouts(h, t);
  }
  bool RequestLine(port::Handle h, int request) override { return real_.RequestLine(h, request); }
  bool GetStatus(port::Handle h, std::uint32_t& errors, std::uint32_t& queued) override {
    return real_.GetStatus(h, errors, queued);
  }
  int Read(port::Handle h, std::span<std::uint8_t> buffer) override {
    const int got = real_.Read(h, buffer);
    if (got > 0) {
      read += static_cast<std::uint64_t>(got);
    }
    return got;
  }
  int Write(port::Handle h, std::span<const std::uint8_t> bytes) override {
    return real_.Write(h, bytes);
  }
  void Close(port::Handle h) override { real_.Close(h); }

 private:
  port::SerialApi& real_ = port::SystemSerial();
};

// A cycle of frames with distinct payloads; frame n of a run is frames[n % size].
struct Traffic {
  explicit Traffic(std::size_t payload) {
    for (int n = 0; n < 256; ++n) {
      Bytes bytes(payload);
      std::string lines;
      for (std::size_t i = 0; i < payload; ++i) {
        bytes[i] = static_cast<std::uint8_t>(n * 7 + static_cast<int>(i));
        lines += text::FormatHex2(bytes[i]) + "\n";
      }
      const auto packet = protocol::BuildPacket(2, 1, {}, bytes);
      frames.push_back(protocol::BuildFrame({.high = 0xB2, .low = 0x4D, .pairs = 1},
                                            protocol::BuildBlockStream(packet, 0xFFFF)));
      logLines.push_back(lines);
    }
  }
  std::size_t FrameBytes() const { return frames[0].size(); }

  std::vector<Bytes> frames;
  std::vector<std::string> logLines;
};

// The program in a temporary directory, its port open on a pseudo-terminal.
class Rig {
 public:
  // The port set to `baud`, as the user sets it to the line's rate.
  Rig(bool log, long baud) : dir_(MakeDir()), form(app, serial, dir_) {
    app.Dispatch([this] { form.FormCreate(); });
    if (log) {
      form.CheckBox3.UserClick();
    }
    form.ComboBox2.UserType(std::to_string(baud));
    form.ComboBox1.UserType(line.SlavePath());
    form.CheckBox4.UserClick();
    if (form.State.PortHandle == port::kInvalidHandle) {
      Die("the program cannot open the pseudo-terminal");
    }
  }
  ~Rig() {
    serial.Close(form.State.PortHandle);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path LogPath() const { return dir_ / "tolvaner.rxd"; }

  Line line;
  fixtures::VirtualBackend backend;
  ui::Application app{"/usr/bin/tolvaner", backend};
  CountingSerial serial;

 private:
  static fs::path MakeDir() {
    std::string pattern = (fs::temp_directory_path() / "tolvaner-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      Die("mkdtemp");
    }
    return pattern;
  }
  fs::path dir_;

 public:
  TForm1 form;
};

struct Result {
  double rate = 0;  // asked, bytes per second
  double seconds = 0;
  std::uint64_t sent = 0;  // carried by the line
  std::uint64_t lost = 0;  // did not fit in the device's buffer
  std::uint64_t read = 0;  // taken by the program
  std::uint64_t peakBacklog = 0;
  int polls = 0;
  int cappedPolls = 0;  // polls that stopped at the per-poll cap
  double maxPollMs = 0;
  double maxGapMs = 0;  // between the starts of two polls, at most (55 when on time)
  double pollCpu = 0;   // the polling thread's CPU time inside the polls
  double processCpu = 0;
  bool logWhole = true;  // the log holds exactly what was sent (when logging)
  std::vector<long> rssKiB;

  bool Kept() const { return lost == 0 && read == sent && logWhole; }
};

struct Settings {
  double trialSeconds = 3;
  double floodSeconds = 20;
  std::size_t payload = 64;
  std::size_t deviceBuffer = 64 * 1024;
};

// Sends frames at `rate` bytes per second for `seconds` while the program polls in real time.
Result Run(const Traffic& traffic, const Settings& settings, double rate, double seconds, bool log,
           int rssEverySeconds = 0) {
  Rig rig(log, std::lround(rate * 10));
  Result r;
  r.rate = rate;
  std::atomic<bool> stop{false};     // the line falls silent
  std::atomic<bool> abandon{false};  // the program stopped taking bytes: give up the rest
  std::atomic<bool> flushed{false};
  std::atomic<std::uint64_t> sent{0};
  std::uint64_t frames = 0;
  std::uint64_t lost = 0;
  std::uint64_t peakBacklog = 0;
  const std::size_t frameBytes = traffic.FrameBytes();
  const auto start = Clock::now();

  std::thread device([&] {
    // What the line carried meanwhile joins the device's buffer, whole frames at a time, or is
    // lost when it does not fit; then the pseudo-terminal takes what it can.
    std::deque<std::uint8_t> buffer;
    Bytes out;
    std::uint64_t due = 0;
    while (!abandon && (!stop || !buffer.empty())) {
      if (!stop) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        due = static_cast<std::uint64_t>(rate * elapsed / static_cast<double>(frameBytes));
      }
      for (; frames < due; ++frames) {
        const Bytes& f = traffic.frames[frames % traffic.frames.size()];
        if (buffer.size() + f.size() > settings.deviceBuffer) {
          lost += f.size();
        } else {
          buffer.insert(buffer.end(), f.begin(), f.end());
          sent += f.size();
        }
      }
      out.assign(buffer.begin(), buffer.end());
      const std::size_t taken = rig.line.Offer(out);
      buffer.erase(buffer.begin(), buffer.begin() + static_cast<long>(taken));
      const std::uint64_t readSoFar = rig.serial.read;
      const std::uint64_t carried = sent;
      peakBacklog = std::max(peakBacklog, carried > readSoFar ? carried - readSoFar : 0);
      // A driver hands bytes on as soon as there is room, not at its next turn.
      if (buffer.empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      } else {
        rig.line.AwaitRoom(1);
      }
    }
    flushed = true;
  });

  const double cpuBefore = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  const auto end =
      start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  auto next = Clock::now();
  auto nextRss = next;
  auto giveUp = Clock::time_point::max();
  auto lastPoll = Clock::time_point{};
  for (;;) {
    const auto now = Clock::now();
    if (rssEverySeconds > 0 && now >= nextRss) {
      r.rssKiB.push_back(StatusKiB("VmRSS:"));
      nextRss = now + std::chrono::seconds(rssEverySeconds);
    }
    if (now >= end && !stop) {
      stop = true;
      giveUp = now + std::chrono::seconds(10);
    }
    if ((flushed && rig.serial.read == sent) || now > giveUp) {
      break;
    }
    next += std::chrono::milliseconds(kPollMs);
    std::this_thread::sleep_until(next);
    const double cpu0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const std::uint64_t read0 = rig.serial.read;
    const auto t0 = Clock::now();
    if (r.polls > 0) {
      r.maxGapMs =
          std::max(r.maxGapMs, std::chrono::duration<double, std::milli>(t0 - lastPoll).count());
    }
    lastPoll = t0;
    rig.backend.Advance(kPollMs);
    const auto t1 = Clock::now();
    r.pollCpu += CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0;
    r.cappedPolls += rig.serial.read - read0 >= TForm1::kPollByteCap ? 1 : 0;
    r.maxPollMs = std::max(r.maxPollMs, std::chrono::duration<double, std::milli>(t1 - t0).count());
    ++r.polls;
    if (t1 > next) {
      next = t1;  // a late timer does not fire twice to catch up
    }
  }
  stop = true;
  abandon = true;
  device.join();
  r.processCpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore;
  r.seconds = seconds;
  r.sent = sent;
  r.lost = lost;
  r.read = rig.serial.read;
  r.peakBacklog = peakBacklog;
  if (rssEverySeconds > 0) {
    r.rssKiB.push_back(StatusKiB("VmRSS:"));
  }
  if (log) {
    std::ifstream in(rig.LogPath(), std::ios::binary);
    const std::string got{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    r.logWhole = lost == 0 && got.compare(0, 3, "--\n") == 0;
    std::size_t at = 3;
    for (std::uint64_t n = 0; r.logWhole && n < frames; ++n) {
      const std::string& lines = traffic.logLines[n % traffic.logLines.size()];
      r.logWhole = got.compare(at, lines.size(), lines) == 0;
      at += lines.size();
    }
    r.logWhole = r.logWhole && at == got.size();
  }
  return r;
}

void PrintTrial(const char* label, const Result& r, std::size_t frameBytes) {
  const double carried = static_cast<double>(r.sent + r.lost) / r.seconds;
  std::printf(
      "  %-12s %7.1f KB/s = %5.0f frames/s: %s; backlog peak %5.1f KB, poll max %4.1f ms, "
      "polls apart up to %5.1f ms, %3.0f ns/byte in the polls\n",
      label, carried / 1000.0, carried / static_cast<double>(frameBytes),
      r.Kept() ? "all delivered" : "LOST", static_cast<double>(r.peakBacklog) / 1000.0, r.maxPollMs,
      r.maxGapMs, r.pollCpu / static_cast<double>(std::max<std::uint64_t>(r.read, 1)) * 1e9);
  if (!r.Kept()) {
    std::printf(
        "  %-12s %llu bytes lost in the device, %llu of %llu read, log %s, %d of %d polls "
        "at the cap\n",
        "", static_cast<unsigned long long>(r.lost), static_cast<unsigned long long>(r.read),
        static_cast<unsigned long long>(r.sent), r.logWhole ? "whole" : "not whole", r.cappedPolls,
        r.polls);
  }
}

bool ParseArgs(int argc, char** argv, Settings& s) {
  for (int i = 1; i < argc; i += 2) {
    if (i + 1 >= argc) {
      return false;
    }
    const std::string flag = argv[i];
    const double value = std::atof(argv[i + 1]);
    if (flag == "--flood-seconds") {
      s.floodSeconds = value;
    } else if (flag == "--trial-seconds") {
      s.trialSeconds = value;
    } else if (flag == "--payload") {
      s.payload = static_cast<std::size_t>(value);
    } else if (flag == "--device-buffer") {
      s.deviceBuffer = static_cast<std::size_t>(value * 1024);
    } else {
      return false;
    }
  }
  return s.floodSeconds > 0 && s.trialSeconds > 0 && s.payload > 0;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  if (!ParseArgs(argc, argv, settings)) {
    std::fprintf(stderr,
                 "usage: %s [--flood-seconds N] [--trial-seconds N] [--payload BYTES] "
                 "[--device-buffer KiB]\n",
                 argv[0]);
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  const Traffic traffic(settings.payload);
  const std::size_t frameBytes = traffic.FrameBytes();
  const std::size_t ptyBytes = PseudoTerminalCapacity();
  std::printf(
      "Receive load: frames of %zu payload bytes, %zu bytes on the line; a poll every %d ms of "
      "wall time, at most %zu KiB a poll; device buffer %zu KiB, then the pseudo-terminal's own "
      "%zu KiB; %u CPUs\n",
      settings.payload, frameBytes, kPollMs, TForm1::kPollByteCap / 1024,
      settings.deviceBuffer / 1024, ptyBytes / 1024, std::thread::hardware_concurrency());

  // (a) The line rates of 256000 baud and of 3 Mbaud, then doubling until something is lost,
  // then halving the gap three times. Logging on: the log is the proof that nothing was lost.
  std::printf("Sustained rate, logging on, %.0f s a trial:\n", settings.trialSeconds);
  PrintTrial("256000 baud", Run(traffic, settings, kBaud256k, settings.trialSeconds, true),
             frameBytes);
  const Result at3M = Run(traffic, settings, kBaud3M, settings.trialSeconds, true);
  PrintTrial("3 Mbaud", at3M, frameBytes);
  double kept = at3M.Kept() ? kBaud3M : 0;
  double failed = at3M.Kept() ? 0 : kBaud3M;
  for (double rate = 2 * kBaud3M; failed == 0 && rate < 64 * kBaud3M; rate *= 2) {
    const Result r = Run(traffic, settings, rate, settings.trialSeconds, true);
    PrintTrial("doubling", r, frameBytes);
    (r.Kept() ? kept : failed) = rate;
  }
  for (int step = 0; failed > 0 && step < 3; ++step) {
    const double rate = (std::max(kept, kBaud256k) + failed) / 2;
    const Result r = Run(traffic, settings, rate, settings.trialSeconds, true);
    PrintTrial("narrowing", r, frameBytes);
    (r.Kept() ? kept : failed) = rate;
  }
  std::printf("Highest rate kept: %.1f KB/s = %.0f frames/s (%.2f x 3 Mbaud, %.1f x 256000 baud)\n",
              kept / 1000.0, kept / static_cast<double>(frameBytes), kept / kBaud3M,
              kept / kBaud256k);

  // (b) and (c) A flood at 3 Mbaud, logging off: CPU per byte, and resident memory over time.
  const Result flood = Run(traffic, settings, kBaud3M, settings.floodSeconds, false,
                           std::max(1, static_cast<int>(settings.floodSeconds / 10)));
  std::printf("Flood at 3 Mbaud for %.0f s, logging off:\n", settings.floodSeconds);
  PrintTrial("3 Mbaud", flood, frameBytes);
  std::printf(
      "  receive road CPU: %.0f ns per wire byte in the polls (%.2f%% of one CPU at 3 Mbaud); "
      "whole process, device thread included: %.0f ns per byte\n",
      flood.pollCpu / static_cast<double>(flood.read) * 1e9, flood.pollCpu / flood.seconds * 100.0,
      flood.processCpu / static_cast<double>(flood.read) * 1e9);
  std::printf("  VmRSS from the flood's start to its end (KiB):");
  for (long kib : flood.rssKiB) {
    std::printf(" %ld", kib);
  }
  std::printf("\n  VmRSS once the program closed %ld KiB; process peak (VmHWM) %ld KiB\n",
              StatusKiB("VmRSS:"), StatusKiB("VmHWM:"));
  return flood.Kept() ? 0 : 1;
}
