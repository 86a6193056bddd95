// tolvaner-cli send: one frame on a serial port, written the way the window's "send" writes it.
#include <array>
#include <iostream>
#include <memory>

#include "link/frame.h"
#include "tools/commands.h"
#include "tools/hex_args.h"
#include "tools/link_options.h"
#include "tools/port_options.h"
#include "tools/stop_signals.h"

namespace cli {

namespace {

struct SendOptions {
  PortOptions port;
  LinkOptions link;
  std::vector<std::string> bytes;
};

void RunSend(const SendOptions& o) {
  // Everything is checked before the port is touched, so a bad argument sends nothing.
  const PortSettings settings = ParsePortOptions(o.port);
  const Link link = ParseLink(o.link);
  const auto payload = PayloadArgs(o.bytes, std::cin);
  const auto blockStream = BlockStreamOf(link, payload);

  const StopSignals stop;  // so an interrupted send still closes the port
  PortSession session(settings);
  std::array<std::uint8_t, protocol::kChunkSize> chunk{};
  std::size_t written = 0;
  std::size_t wanted = 0;
  bool failed = false;
  protocol::WriteFrame(chunk, link.preamble, blockStream, [&](std::span<const std::uint8_t> bytes) {
    wanted += bytes.size();
    if (failed || stop.Requested()) {
      failed = true;
      return;
    }
    const int put = session.Api().Write(session.Handle(), bytes);
    written += put > 0 ? static_cast<std::size_t>(put) : 0;
    failed = put < 0 || static_cast<std::size_t>(put) != bytes.size();
  });
  if (failed) {
    throw RunError(kPortFailure, "port '" + session.Name() + "' took " + std::to_string(written) +
                                     " of the frame's " + std::to_string(wanted) + " bytes");
  }
}

}  // namespace

void AddSend(CLI::App& app) {
  auto options = std::make_shared<SendOptions>();
  auto* cmd = app.add_subcommand("send", "Send one frame on a serial port");
  AddPortOptions(*cmd, options->port);
  AddLinkOptions(*cmd, options->link);
  cmd->add_option("bytes", options->bytes, "payload bytes in hex; - reads them from stdin");
  cmd->footer(
      "Opens and sets up the port as the window does, writes the frame as the window does\n"
      "and closes the port.\n"
      "Exit status: 0 sent; 1 the port could not be opened or configured, or did not take\n"
      "the whole frame; 2 bad arguments.");
  cmd->callback([options] { RunSend(*options); });
}

}  // namespace cli
