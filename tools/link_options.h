// The link options as typed on the command line, shared by the commands that build frames.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/frame.h"

namespace cli {

struct PreambleOptions {
  std::string length = "0";
  std::string code = "B24D";
};

struct LinkOptions {
  std::string netid = "0000";
  std::string from = "0001";
  std::string to = "0002";
  std::vector<std::string> via;
  PreambleOptions preamble;
};

// --preamble-length and --preamble-code.
void AddPreambleOptions(CLI::App& cmd, PreambleOptions& options);
// --netid, --from, --to, --via (repeatable) and the preamble options.
void AddLinkOptions(CLI::App& cmd, LinkOptions& options);

// The preamble the options ask for; throws UsageError naming a bad option.
protocol::Preamble ParsePreamble(const PreambleOptions& options);

// Checked link parameters: everything a frame needs except its payload.
struct Link {
  std::int32_t crcSeed = 0xFFFF;
  std::uint16_t from = 0x0001;
  std::uint16_t to = 0x0002;
  std::vector<std::uint16_t> route;  // in route order, retransmitter 1 first
  protocol::Preamble preamble;
};

// Throws UsageError naming the first bad option.
Link ParseLink(const LinkOptions& options);

// The block stream of the packet that carries `payload` over `link`.
std::vector<std::uint8_t> BlockStreamOf(const Link& link, std::span<const std::uint8_t> payload);

}  // namespace cli
