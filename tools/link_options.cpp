// Reading the link options: identifiers, route and preamble, each checked strictly.
#include "tools/link_options.h"

#include "link/parameters.h"
#include "tools/commands.h"
#include "tools/hex_args.h"

namespace cli {

void AddPreambleOptions(CLI::App& cmd, PreambleOptions& options) {
  cmd.add_option("--preamble-length", options.length, "preamble pairs (default 0)");
  cmd.add_option("--preamble-code", options.code, "preamble code, hex (default B24D)");
}

void AddLinkOptions(CLI::App& cmd, LinkOptions& options) {
  cmd.add_option("--netid", options.netid, "network identifier, hex (default 0000)");
  cmd.add_option("--from", options.from, "sender identifier, hex (default 0001)");
  cmd.add_option("--to", options.to, "receiver identifier, hex (default 0002)");
  cmd.add_option("--via", options.via, "retransmitter, hex, in route order; repeatable")
      ->take_all()
      ->expected(1)
      ->allow_extra_args(false);
  AddPreambleOptions(cmd, options.preamble);
}

protocol::Preamble ParsePreamble(const PreambleOptions& options) {
  protocol::Preamble preamble{
      .pairs = NumberArg("--preamble-length", options.length, 0, protocol::kMaxPreamblePairs)};
  IdentifierArg("--preamble-code", options.code);  // checks the form; the field rules apply
  protocol::ApplyPreambleCode(options.code, preamble.high, preamble.low);
  return preamble;
}

Link ParseLink(const LinkOptions& options) {
  Link link;
  link.crcSeed = protocol::CrcSeedOf(IdentifierArg("--netid", options.netid));
  link.from = IdentifierArg("--from", options.from);
  link.to = IdentifierArg("--to", options.to);
  if (options.via.size() > protocol::kMaxRetransmitters) {
    throw UsageError("--via: at most 5 retransmitters");
  }
  for (const auto& hop : options.via) {
    link.route.push_back(IdentifierArg("--via", hop));
  }
  link.preamble = ParsePreamble(options.preamble);
  return link;
}

std::vector<std::uint8_t> BlockStreamOf(const Link& link, std::span<const std::uint8_t> payload) {
  const auto packet = protocol::BuildPacket(link.to, link.from, link.route, payload);
  return protocol::BuildBlockStream(packet, static_cast<std::uint32_t>(link.crcSeed));
}

}  // namespace cli
