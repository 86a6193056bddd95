// Frames the protocol tests share: the worked example and a helper to build others.
#pragma once

#include <cstdint>
#include <sstream>
#include <string_view>
#include <vector>

#include "link/frame.h"

namespace fixtures {

using Bytes = std::vector<std::uint8_t>;

// "B2 4D 2B" -> {0xB2, 0x4D, 0x2B}
inline Bytes Hex(std::string_view text) {
  Bytes out;
  std::istringstream in{std::string(text)};
  unsigned value = 0;
  while (in >> std::hex >> value) {
    out.push_back(static_cast<std::uint8_t>(value));
  }
  return out;
}

// Network identifier 0000, sender 0001, receiver 0002, payload 01 02, one preamble pair B24D.
inline const Bytes kWorkedFrame =
    Hex("B2 4D 2B 6A 55 69 95 55 69 55 55 55 55 55 59 55 55 55 56 55 56 55 59 4B");

inline Bytes Frame(std::uint16_t to, std::uint16_t from, const Bytes& payload,
                   std::int32_t seed = 0xFFFF, std::vector<std::uint16_t> route = {},
                   int preamblePairs = 0) {
  const auto packet = protocol::BuildPacket(to, from, route, payload);
  const auto stream = protocol::BuildBlockStream(packet, static_cast<std::uint32_t>(seed));
  return protocol::BuildFrame({.high = 0xB2, .low = 0x4D, .pairs = preamblePairs}, stream);
}

}  // namespace fixtures
