// The bit-pair line code and the block checksum: pure functions on single bytes.

#pragma once

#include <array>
#include <cstdint>

// The link layer's namespace is not called link: that name is taken by the POSIX link() call.
namespace protocol {

// Frame markers; neither is a valid code byte, so a receiver tells them from data.
inline constexpr std::uint8_t kStartMark = 0x2B;  // '+'
inline constexpr std::uint8_t kEndMark = 0x4B;    // 'K'

namespace detail {

// Each nibble bit, most significant first, becomes a bit pair: 1 -> 10, 0 -> 01.
constexpr std::uint8_t CodeOfNibble(unsigned nibble) {
  unsigned code = 0;
  for (int bit = 3; bit >= 0; --bit) {
    code = (code << 2) | (((nibble >> bit) & 1u) != 0 ? 0b10u : 0b01u);
  }
  return static_cast<std::uint8_t>(code);
}

constexpr std::array<std::uint8_t, 16> kNibbleCodes = [] {
  std::array<std::uint8_t, 16> codes{};
  for (unsigned n = 0; n < 16; ++n) {
    codes[n] = CodeOfNibble(n);
  }
  return codes;
}();

// Only the low bit of each pair is read: a nibble bit is 1 when that low bit is 0.
constexpr unsigned NibbleOfCode(std::uint8_t code) {
  unsigned nibble = 0;
  for (int pair = 3; pair >= 0; --pair) {
    nibble = (nibble << 1) | (((code >> (2 * pair)) & 1u) == 0 ? 1u : 0u);
  }
  return nibble;
}

}  // namespace detail

// Code byte of b's high nibble (bits 7..4).
constexpr std::uint8_t EncodeHighNibble(std::uint8_t b) {
  return detail::kNibbleCodes[b >> 4];
}
// Code byte of b's low nibble (bits 3..0).
constexpr std::uint8_t EncodeLowNibble(std::uint8_t b) {
  return detail::kNibbleCodes[b & 0x0F];
}

// The nibble of code byte c in bits 7..4. Never fails: an invalid code still yields a nibble.
constexpr std::uint8_t DecodeHighNibble(std::uint8_t c) {
  return static_cast<std::uint8_t>(detail::NibbleOfCode(c) << 4);
}
// The nibble of code byte c in bits 3..0. Never fails.
constexpr std::uint8_t DecodeLowNibble(std::uint8_t c) {
  return static_cast<std::uint8_t>(detail::NibbleOfCode(c));
}

// 0 when c is one of the sixteen valid code bytes (exactly one bit set in each pair), 1 otherwise.
constexpr int IsBadCode(std::uint8_t c) {
  for (int pair = 0; pair < 4; ++pair) {
    const unsigned bits = (c >> (2 * pair)) & 0b11u;
    if (bits == 0b00u || bits == 0b11u) {
      return 1;
    }
  }
  return 0;
}

// One step of the reflected CRC-16 with polynomial 0x8005 (0xA001 reflected), no final XOR.
// A seed within 16 bits keeps the working value within 16 bits.
constexpr std::uint32_t CrcUpdate(std::uint32_t crc, std::uint8_t b) {
  crc ^= b;
  for (int i = 0; i < 8; ++i) {
    const bool low = (crc & 1u) != 0;
    crc >>= 1;
    if (low) {
      crc ^= 0xA001u;
    }
  }
  return crc;
}

}  // namespace protocol
