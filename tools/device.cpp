// tolvaner-cli device: a virtual Tolvaner device at the far end of a pseudo-terminal, so the
// program and scripts can be tried without hardware.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/frame.h"
#include "link/parameters.h"
#include "tools/commands.h"
#include "tools/hex_args.h"
#include "tools/link_options.h"
#include "tools/stop_signals.h"
#include "tools/timed_decoder.h"

namespace cli {

namespace {

// The ways a reply can be damaged; a fault set combines them.
enum Fault : unsigned {
  kCrc = 1u << 0,           // the first block's low checksum byte is wrong
  kBits = 1u << 1,          // the last code byte is invalid yet reads as the right nibble
  kOdd = 1u << 2,           // the last code byte is left out: an odd count before the end mark
  kUnterminated = 1u << 3,  // no end mark
  kNoise = 1u << 4,         // line noise before the start mark; the frame itself is good
};
using FaultSet = unsigned;

struct FaultName {
  const char* name;
  FaultSet faults;
};
constexpr FaultName kFaultNames[] = {{"none", 0},
                                     {"crc", kCrc},
                                     {"bits", kBits},
                                     {"odd", kOdd},
                                     {"unterminated", kUnterminated},
                                     {"noise", kNoise}};

// Noise holds no start mark, or it would open a frame; an end mark and control characters are
// in it because a receiver must ignore them outside a frame.
constexpr std::uint8_t kNoiseBytes[] = {0x00, 0xFF, 0x4B, 0x55, 0xAA, 0x0D, 0x0A, 0x13};

// Floods go to the program's own identifier as it is set by default.
constexpr std::uint16_t kFloodReceiver = 0x0001;
// A flood catches up at most this many frames after a late wake; older ones are lost.
constexpr std::int64_t kMaxFloodBatch = 64;
// Replies stop being queued once this much waits for a program that does not read.
constexpr std::size_t kMaxPending = 64 * 1024;
// While no one has the port open, how often the device looks again.
constexpr std::chrono::milliseconds kClosedNap{10};

struct DeviceOptions {
  std::string netid = "0000";
  std::string id = "0002";
  PreambleOptions preamble;
  std::string replyDelay = "20";
  std::vector<std::string> faults;
  std::string flood;
};

FaultSet ParseFault(const std::string& text) {
  FaultSet faults = 0;
  std::size_t at = 0;
  for (;;) {
    const auto plus = text.find('+', at);
    const auto word = text.substr(at, plus == std::string::npos ? std::string::npos : plus - at);
    bool known = false;
    for (const auto& f : kFaultNames) {
      if (word == f.name) {
        faults |= f.faults;
        known = true;
      }
    }
    if (!known) {
      throw UsageError("--fault: '" + text +
                       "' is not crc, bits, odd, unterminated, noise or none, or several joined "
                       "with +");
    }
    if (plus == std::string::npos) {
      return faults;
    }
    at = plus + 1;
  }
}

// The frame for `payload` over `link`, damaged as `faults` asks.
std::vector<std::uint8_t> FrameWith(const Link& link, std::span<const std::uint8_t> payload,
                                    FaultSet faults) {
  auto stream = BlockStreamOf(link, payload);
  if ((faults & kCrc) != 0) {
    stream[1] ^= 0xFF;
  }
  auto frame = protocol::BuildFrame(link.preamble, stream);
  const auto startMark = frame.size() - 2 * stream.size() - 2;
  if ((faults & kOdd) != 0) {
    frame.erase(frame.end() - 2);
  }
  if ((faults & kBits) != 0) {
    // Flipping the top bit turns pair 01 into 11 or 10 into 00: invalid, but its low bit, the
    // one a receiver reads, stays, so the checksum still holds.
    frame[frame.size() - 2] ^= 0x80;
  }
  if ((faults & kUnterminated) != 0) {
    frame.pop_back();
  }
  if ((faults & kNoise) != 0) {
    frame.insert(frame.begin() + static_cast<std::ptrdiff_t>(startMark), std::begin(kNoiseBytes),
                 std::end(kNoiseBytes));
  }
  return frame;
}

[[noreturn]] void PtyFailed(const char* what) {
  throw RunError(kPortFailure, std::string("cannot create a pseudo-terminal: ") + what + ": " +
                                   std::strerror(errno));
}

int Milliseconds(Clock::duration d) {
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(d).count();
  return static_cast<int>(std::clamp<std::int64_t>(ms, 0, 60'000));
}

class Device {
 public:
  Device(const DeviceOptions& o, const StopSignals& stop) : stop_(stop) {
    const std::uint16_t netid = IdentifierArg("--netid", o.netid);
    id_ = IdentifierArg("--id", o.id);
    link_ = {.crcSeed = protocol::CrcSeedOf(netid),
             .from = id_,
             .to = 0,
             .preamble = ParsePreamble(o.preamble)};
    replyDelay_ = std::chrono::milliseconds(NumberArg("--reply-delay", o.replyDelay, 0));
    for (const auto& f : o.faults) {
      faults_.push_back(ParseFault(f));
    }
    if (!o.flood.empty()) {
      floodRate_ = NumberArg("--flood", o.flood, 1);
      floodFrameSize_ = FloodFrame(0).size();
    }
    decoder_.emplace(link_.crcSeed, kFrameTimeout);
  }

  ~Device() {
    if (master_ >= 0) {
      ::close(master_);
    }
  }

  // Creates the pseudo-terminal and returns the path of the end the program opens.
  std::string Create() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) {
      PtyFailed("posix_openpt");
    }
    char name[128];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
      PtyFailed("ptsname");
    }
    // Settings made through the master are the slave's: raw from the start, so a program that
    // opens the port without setting it up gets the bytes as they are, with no echo.
    termios raw{};
    if (tcgetattr(master_, &raw) != 0) {
      PtyFailed("tcgetattr");
    }
    cfmakeraw(&raw);
    if (tcsetattr(master_, TCSANOW, &raw) != 0) {
      PtyFailed("tcsetattr");
    }
    // A slave never opened shows no hang-up on the master, one opened and closed does. Opening
    // and closing it once here makes the hang-up mean "no one has the port open" from the start,
    // and no fd of ours stays open to keep the port busy or take its exclusive hold.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
      PtyFailed(name);
    }
    ::close(slave);
    struct stat out {};
    watchStdout_ =
        fstat(STDOUT_FILENO, &out) == 0 && (S_ISFIFO(out.st_mode) || S_ISSOCK(out.st_mode));
    return name;
  }

  void Run() {
    while (!stop_.Requested()) {
      if (!portOpen_) {
        if (SlaveClosed()) {
          if (!Wait(Clock::now() + kClosedNap, false)) {
            return;
          }
          continue;
        }
        PortOpened();
      }
      const auto now = Clock::now();
      decoder_->Expire(now);
      if (!ReadInput(now)) {
        PortClosed();
        continue;
      }
      Answer(now);
      QueueDueReplies(now);
      QueueDueFlood(now);
      if (!Flush()) {
        PortClosed();
        continue;
      }
      if (!Wait(NextWake(now), true)) {
        return;
      }
    }
  }

 private:
  std::vector<std::uint8_t> FloodFrame(std::uint32_t counter) const {
    Link link = link_;
    link.to = kFloodReceiver;
    const std::uint8_t payload[] = {
        static_cast<std::uint8_t>(counter >> 24), static_cast<std::uint8_t>(counter >> 16),
        static_cast<std::uint8_t>(counter >> 8), static_cast<std::uint8_t>(counter)};
    return FrameWith(link, payload, 0);
  }

  bool SlaveClosed() const {
    pollfd master{.fd = master_, .events = POLLIN, .revents = 0};
    return ::poll(&master, 1, 0) > 0 && (master.revents & POLLHUP) != 0;
  }

  void PortOpened() {
    portOpen_ = true;
    floodStart_ = Clock::now();
    floodDone_ = 0;
  }

  // What was on its way when the program closed the port is lost, as on a real line: nothing
  // stale waits for the next open.
  void PortClosed() {
    portOpen_ = false;
    pending_.clear();
    pendingAt_ = 0;
    replies_.clear();
    (void)tcflush(master_, TCIOFLUSH);
    decoder_.emplace(link_.crcSeed, kFrameTimeout);
  }

  // Reads all that is waiting; false once the program has closed the port.
  bool ReadInput(Clock::time_point now) {
    std::uint8_t buffer[4096];
    for (;;) {
      const ssize_t got = ::read(master_, buffer, sizeof buffer);
      if (got > 0) {
        if (!floodRate_) {
          decoder_->Feed(std::span(buffer, static_cast<std::size_t>(got)), now);
        }
        continue;
      }
      if (got < 0 && errno == EINTR) {
        continue;
      }
      return got < 0 && errno == EAGAIN;
    }
  }

  void Answer(Clock::time_point now) {
    for (const auto& r : decoder_->TakeRecords()) {
      if (r.frame != protocol::FrameVerdict::Ok || r.bitsGood != true || r.crcGood != true ||
          r.receiver != id_ || !r.sender) {
        continue;
      }
      Link reply = link_;
      reply.to = *r.sender;
      const FaultSet faults = faults_.empty() ? 0 : faults_[repliesSent_++ % faults_.size()];
      replies_.push_back({now + replyDelay_, FrameWith(reply, r.payload, faults)});
    }
  }

  void QueueDueReplies(Clock::time_point now) {
    while (!replies_.empty() && replies_.front().due <= now) {
      if (pending_.size() - pendingAt_ < kMaxPending) {
        Queue(replies_.front().frame);
      }
      replies_.pop_front();
    }
  }

  // Frames fall due by the wall clock from the moment the port was opened, as a device on a line
  // sends whether or not anyone keeps up. One that falls due while the program's side is still
  // full is lost, its number with it, so the gap shows.
  void QueueDueFlood(Clock::time_point now) {
    if (!floodRate_) {
      return;
    }
    const double seconds = std::chrono::duration<double>(now - floodStart_).count();
    const auto due = static_cast<std::int64_t>(
                         std::floor(seconds * *floodRate_ / static_cast<double>(floodFrameSize_))) +
                     1;
    if (due <= floodDone_) {
      return;
    }
    if (pendingAt_ < pending_.size()) {
      floodCounter_ += static_cast<std::uint32_t>(due - floodDone_);
    } else {
      const std::int64_t from = std::max(floodDone_, due - kMaxFloodBatch);
      floodCounter_ += static_cast<std::uint32_t>(from - floodDone_);
      for (std::int64_t i = from; i < due; ++i) {
        Queue(FloodFrame(floodCounter_++));
      }
    }
    floodDone_ = due;
  }

  Clock::time_point NextFloodFrame() const {
    const double seconds =
        static_cast<double>(floodDone_) * static_cast<double>(floodFrameSize_) / *floodRate_;
    return floodStart_ +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  }

  void Queue(const std::vector<std::uint8_t>& bytes) {
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingAt_));
    pendingAt_ = 0;
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  }

  // Writes what the port takes without waiting; false once the program has closed the port.
  bool Flush() {
    while (pendingAt_ < pending_.size()) {
      const ssize_t put =
          ::write(master_, pending_.data() + pendingAt_, pending_.size() - pendingAt_);
      if (put > 0) {
        pendingAt_ += static_cast<std::size_t>(put);
        continue;
      }
      if (put < 0 && errno == EINTR) {
        continue;
      }
      return put < 0 && errno == EAGAIN;
    }
    return true;
  }

  std::optional<Clock::time_point> NextWake(Clock::time_point now) const {
    std::optional<Clock::time_point> wake;
    auto consider = [&wake](Clock::time_point t) { wake = wake ? std::min(*wake, t) : t; };
    if (!replies_.empty()) {
      consider(replies_.front().due);
    }
    if (const auto due = decoder_->Deadline()) {
      consider(*due);
    }
    if (floodRate_) {
      consider(std::max(now, NextFloodFrame()));
    }
    return wake;
  }

  // Sleeps until `wake` (no value: until something happens), the port's input or room for
  // output, or a stop. False when the device is to end: a stop signal, or its standard output
  // was a pipe whose reader is gone.
  bool Wait(std::optional<Clock::time_point> wake, bool watchPort) {
    pollfd fds[3];
    nfds_t n = 0;
    fds[n++] = {.fd = stop_.Fd(), .events = POLLIN, .revents = 0};
    const nfds_t stdoutAt = n;
    if (watchStdout_) {
      fds[n++] = {.fd = STDOUT_FILENO, .events = 0, .revents = 0};
    }
    const nfds_t portAt = n;
    if (watchPort) {
      const short events = pendingAt_ < pending_.size() ? POLLIN | POLLOUT : POLLIN;
      fds[n++] = {.fd = master_, .events = events, .revents = 0};
    }
    const int timeout = wake ? Milliseconds(*wake - Clock::now()) : -1;
    if (::poll(fds, n, timeout) < 0 && errno != EINTR) {
      throw RunError(kPortFailure, std::string("poll: ") + std::strerror(errno));
    }
    if (watchStdout_ && (fds[stdoutAt].revents & (POLLERR | POLLHUP)) != 0) {
      return false;
    }
    if (watchPort && (fds[portAt].revents & POLLHUP) != 0) {
      PortClosed();
    }
    return !stop_.Requested();
  }

  struct Scheduled {
    Clock::time_point due;
    std::vector<std::uint8_t> frame;
  };

  const StopSignals& stop_;
  std::uint16_t id_ = 0x0002;
  Link link_;
  std::chrono::milliseconds replyDelay_{20};
  std::vector<FaultSet> faults_;
  std::size_t repliesSent_ = 0;
  std::optional<std::int32_t> floodRate_;
  std::size_t floodFrameSize_ = 0;
  Clock::time_point floodStart_{};
  std::int64_t floodDone_ = 0;  // frames due since the port was opened, sent or lost
  std::uint32_t floodCounter_ = 0;

  int master_ = -1;
  bool watchStdout_ = false;
  bool portOpen_ = false;
  std::optional<TimedDecoder> decoder_;  // the receiver keeps references into itself: no moves
  std::deque<Scheduled> replies_;
  std::vector<std::uint8_t> pending_;
  std::size_t pendingAt_ = 0;
};

void RunDevice(const DeviceOptions& o) {
  const StopSignals stop;
  Device device(o, stop);
  const std::string path = device.Create();
  std::printf("%s\n", path.c_str());
  std::fflush(stdout);
  device.Run();
}

}  // namespace

void AddDevice(CLI::App& app) {
  auto options = std::make_shared<DeviceOptions>();
  auto* cmd =
      app.add_subcommand("device", "Be a Tolvaner device at the far end of a new pseudo-terminal");
  cmd->add_option("--netid", options->netid, "network identifier, hex (default 0000)");
  cmd->add_option("--id", options->id, "the device's identifier, hex (default 0002)");
  AddPreambleOptions(*cmd, options->preamble);
  auto* delay =
      cmd->add_option("--reply-delay", options->replyDelay, "ms before a reply (default 20)");
  auto* fault = cmd->add_option("--fault", options->faults,
                                "damage replies: crc, bits, odd, unterminated, noise, none, or "
                                "several joined with +; repeatable")
                    ->take_all()
                    ->expected(1)
                    ->allow_extra_args(false);
  cmd->add_option("--flood", options->flood,
                  "instead of answering, send frames at this many bytes per second")
      ->excludes(delay)
      ->excludes(fault);
  cmd->footer(
      "Prints the path of the port to open, then answers each good frame addressed to --id\n"
      "with a frame from --id back to its sender carrying the same payload.\n"
      "\n"
      "Faults: crc           a wrong checksum byte\n"
      "        bits          the last code byte invalid (it still reads right: checksum good)\n"
      "        odd           the last code byte left out\n"
      "        unterminated  no end mark\n"
      "        noise         line noise before the start mark (the frame itself is good)\n"
      "        none          no damage\n"
      "One --fault damages every reply. Several take turns, reply by reply: '--fault none\n"
      "--fault crc' alternates good and bad replies. Kinds joined with + apply together:\n"
      "'--fault crc+bits'.\n"
      "\n"
      "--flood sends frames to 0001 whose payload is a 32-bit counter, high byte first, from\n"
      "00000000 at the first open, paced by the clock while the port is open. A frame that\n"
      "finds the program's side full is lost, its number with it, so the gap shows.\n"
      "\n"
      "Nothing is kept for a closed port: what was on its way when the program closed it is\n"
      "dropped. Ends with status 0 on SIGINT, SIGTERM or SIGHUP, or when its standard output\n"
      "is a pipe whose reader has gone.");
  cmd->callback([options] { RunDevice(*options); });
}

}  // namespace cli
