// tolvaner-cli encode: the frame the program would send for the given link parameters.
#include <cstdio>
#include <iostream>
#include <memory>

#include "link/frame.h"
#include "link/parameters.h"
#include "text/convert.h"
#include "tools/commands.h"
#include "tools/hex_args.h"

namespace cli {

namespace {

struct EncodeOptions {
  std::string netid = "0000";
  std::string from = "0001";
  std::string to = "0002";
  std::vector<std::string> via;
  std::string preambleLength = "0";
  std::string preambleCode = "B24D";
  bool raw = false;
  std::vector<std::string> bytes;
};

void RunEncode(const EncodeOptions& o) {
  const std::uint16_t netid = IdentifierArg("--netid", o.netid);
  const std::uint16_t from = IdentifierArg("--from", o.from);
  const std::uint16_t to = IdentifierArg("--to", o.to);
  if (o.via.size() > protocol::kMaxRetransmitters) {
    throw UsageError("--via: at most 5 retransmitters");
  }
  std::vector<std::uint16_t> route;
  for (const auto& hop : o.via) {
    route.push_back(IdentifierArg("--via", hop));
  }
  const auto pairs = text::TryStrToInt(o.preambleLength);
  if (!pairs || *pairs < 0 || *pairs > protocol::kMaxPreamblePairs) {
    throw UsageError("--preamble-length: '" + o.preambleLength + "' is not a number from 0 to " +
                     std::to_string(protocol::kMaxPreamblePairs));
  }
  protocol::Preamble preamble{.pairs = *pairs};
  IdentifierArg("--preamble-code", o.preambleCode);  // checks the form; the field rules apply
  protocol::ApplyPreambleCode(o.preambleCode, preamble.high, preamble.low);

  const auto payload = PayloadArgs(o.bytes, std::cin);
  const auto packet = protocol::BuildPacket(to, from, route, payload);
  const auto stream =
      protocol::BuildBlockStream(packet, static_cast<std::uint32_t>(protocol::CrcSeedOf(netid)));
  const auto frame = protocol::BuildFrame(preamble, stream);

  if (o.raw) {
    std::fwrite(frame.data(), 1, frame.size(), stdout);
  } else {
    std::string line;
    for (std::size_t i = 0; i < frame.size(); ++i) {
      line += (i == 0 ? "" : " ") + text::FormatHex2(frame[i]);
    }
    std::printf("%s\n", line.c_str());
  }
  std::fflush(stdout);
}

}  // namespace

void AddEncode(CLI::App& app) {
  auto options = std::make_shared<EncodeOptions>();
  auto* cmd = app.add_subcommand("encode", "Print the frame the program would send");
  cmd->add_option("--netid", options->netid, "network identifier, hex (default 0000)");
  cmd->add_option("--from", options->from, "sender identifier, hex (default 0001)");
  cmd->add_option("--to", options->to, "receiver identifier, hex (default 0002)");
  cmd->add_option("--via", options->via, "retransmitter, hex, in route order; repeatable")
      ->take_all()
      ->expected(1);
  cmd->add_option("--preamble-length", options->preambleLength, "preamble pairs (default 0)");
  cmd->add_option("--preamble-code", options->preambleCode, "preamble code, hex (default B24D)");
  cmd->add_flag("--raw", options->raw, "write the frame's bytes instead of hex text");
  cmd->add_option("bytes", options->bytes, "payload bytes in hex; - reads them from stdin");
  cmd->callback([options] { RunEncode(*options); });
}

}  // namespace cli
