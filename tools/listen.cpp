// tolvaner-cli listen: frames received on a serial port, printed as decode prints them.
#include <algorithm>
#include <cstdio>
#include <memory>

#include "link/parameters.h"
#include "tools/commands.h"
#include "tools/hex_args.h"
#include "tools/port_options.h"
#include "tools/record_format.h"
#include "tools/stop_signals.h"
#include "tools/timed_decoder.h"

namespace cli {

namespace {

// How often the port is asked for bytes: finer than the window's 55 ms so scripts see frames
// sooner; the frame time-out and the silence are timed apart from it.
constexpr std::chrono::milliseconds kPollInterval{5};

struct ListenOptions {
  PortOptions port;
  std::string netid = "0000";
  bool json = false;
  std::string count;
  std::string timeout;
  std::string frameTimeout = std::to_string(kFrameTimeout.count());
};

class Printer {
 public:
  Printer(bool json, int count) : json_(json), count_(count) {}

  void Print(TimedDecoder& decoder) {
    for (const auto& record : decoder.TakeRecords()) {
      if (Done()) {
        break;
      }
      const auto line = json_ ? FormatRecordJson(record) : FormatRecord(record);
      std::printf("%s\n", line.c_str());
      ++printed_;
    }
    std::fflush(stdout);
  }
  bool Done() const { return count_ > 0 && printed_ >= count_; }
  int Printed() const { return printed_; }

 private:
  bool json_;
  int count_;  // 0: no limit
  int printed_ = 0;
};

void RunListen(const ListenOptions& o) {
  const PortSettings settings = ParsePortOptions(o.port);
  const std::int32_t seed = protocol::CrcSeedOf(IdentifierArg("--netid", o.netid));
  const int count = o.count.empty() ? 0 : NumberArg("--count", o.count, 1);
  const auto silence =
      std::chrono::milliseconds(o.timeout.empty() ? 0 : NumberArg("--timeout", o.timeout, 1));
  const auto frameTimeout =
      std::chrono::milliseconds(NumberArg("--frame-timeout", o.frameTimeout, 0));

  const StopSignals stop;
  PortSession session(settings);
  TimedDecoder decoder(seed, frameTimeout);
  Printer printer(o.json, count);
  std::vector<std::uint8_t> buffer(4096);
  auto lastByte = Clock::now();
  bool gone = false;
  while (!printer.Done() && !stop.Requested()) {
    const auto now = Clock::now();
    decoder.Expire(now);
    printer.Print(decoder);
    std::uint32_t errors = 0;
    std::uint32_t queued = 0;
    if (!session.Api().GetStatus(session.Handle(), errors, queued)) {
      gone = true;
      break;
    }
    if (queued > 0) {
      const auto want = std::min<std::size_t>(queued, buffer.size());
      const int got = session.Api().Read(session.Handle(), std::span(buffer).first(want));
      if (got < 0) {
        gone = true;
        break;
      }
      if (got > 0) {
        decoder.Feed(std::span(buffer).first(static_cast<std::size_t>(got)), now);
        printer.Print(decoder);
        lastByte = now;
        continue;
      }
    }
    if (silence.count() > 0 && now - lastByte >= silence) {
      break;
    }
    auto wake = now + kPollInterval;
    if (const auto due = decoder.Deadline()) {
      wake = std::min(wake, *due);
    }
    if (silence.count() > 0) {
      wake = std::min(wake, lastByte + silence);
    }
    stop.Wait(std::chrono::ceil<std::chrono::milliseconds>(wake - Clock::now()));
  }
  // As decode does at the end of its input, a frame still open is shown as unterminated.
  decoder.Finish();
  printer.Print(decoder);
  if (gone) {
    throw RunError(kPortFailure, "port '" + session.Name() + "' went away");
  }
  if (count > 0 && !printer.Done()) {
    throw RunError(kTooFewFrames, std::to_string(printer.Printed()) + " of " +
                                      std::to_string(count) + " frames came before " +
                                      (stop.Requested() ? std::string("the stop signal")
                                                        : o.timeout + " ms of silence"));
  }
}

}  // namespace

void AddListen(CLI::App& app) {
  auto options = std::make_shared<ListenOptions>();
  auto* cmd = app.add_subcommand("listen", "Print each frame received on a serial port");
  AddPortOptions(*cmd, options->port);
  cmd->add_option("--netid", options->netid, "network identifier, hex (default 0000)");
  cmd->add_flag("--json", options->json, "one JSON object per frame");
  cmd->add_option("--count", options->count, "stop after this many frames");
  cmd->add_option("--timeout", options->timeout, "stop after this many ms without a byte");
  cmd->add_option("--frame-timeout", options->frameTimeout,
                  "ms from a start mark until an open frame is dropped as unterminated "
                  "(default 1000; 0: never)");
  cmd->footer(
      "Prints the lines decode prints, each flushed as it comes. Without --count or --timeout\n"
      "it runs until SIGINT, SIGTERM or SIGHUP; a frame still open at the end prints as\n"
      "unterminated.\n"
      "Exit status: 0 done; 1 the port could not be opened or configured, or went away;\n"
      "2 bad arguments; 3 fewer than --count frames came.");
  cmd->callback([options] { RunListen(*options); });
}

}  // namespace cli
