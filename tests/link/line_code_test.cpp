// The line code and checksum against their published check values.
#include "link/line_code.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string_view>

namespace {

using namespace protocol;

TEST(LineCode, EveryNibbleHasItsCode) {
  const std::array<std::uint8_t, 16> codes = {0x55, 0x56, 0x59, 0x5A, 0x65, 0x66, 0x69, 0x6A,
                                              0x95, 0x96, 0x99, 0x9A, 0xA5, 0xA6, 0xA9, 0xAA};
  for (unsigned n = 0; n < 16; ++n) {
    EXPECT_EQ(EncodeLowNibble(static_cast<std::uint8_t>(n)), codes[n]) << "nibble " << n;
    EXPECT_EQ(EncodeHighNibble(static_cast<std::uint8_t>(n << 4)), codes[n]) << "nibble " << n;
  }
  EXPECT_EQ(EncodeHighNibble(0x8C), 0x95);
  EXPECT_EQ(EncodeLowNibble(0x8C), 0xA5);
}

TEST(LineCode, EveryByteSurvivesTheRoundTrip) {
  for (unsigned b = 0; b < 256; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    EXPECT_EQ(DecodeHighNibble(EncodeHighNibble(byte)) + DecodeLowNibble(EncodeLowNibble(byte)),
              static_cast<int>(b));
  }
}

TEST(LineCode, DecodingReadsOnlyTheLowBitOfEachPair) {
  EXPECT_EQ(DecodeLowNibble(0x00), 0xF);
  EXPECT_EQ(DecodeLowNibble(0xFF), 0x0);
  EXPECT_EQ(DecodeLowNibble(kStartMark), 0xE);
  EXPECT_EQ(DecodeHighNibble(0xEA), DecodeHighNibble(0x6A));
  EXPECT_EQ(DecodeLowNibble(0xD9), DecodeLowNibble(0x59));
}

TEST(LineCode, ExactlySixteenCodesAreGood) {
  int good = 0;
  for (unsigned c = 0; c < 256; ++c) {
    const auto code = static_cast<std::uint8_t>(c);
    // Independent definition: a valid code is the code of some nibble.
    bool isCode = false;
    for (unsigned n = 0; n < 16; ++n) {
      isCode = isCode || EncodeLowNibble(static_cast<std::uint8_t>(n)) == code;
    }
    EXPECT_EQ(IsBadCode(code), isCode ? 0 : 1) << "code " << c;
    good += isCode ? 1 : 0;
  }
  EXPECT_EQ(good, 16);
  EXPECT_EQ(IsBadCode(0x2B), 1);
  EXPECT_EQ(IsBadCode(0x4B), 1);
  EXPECT_EQ(IsBadCode(0x00), 1);
  EXPECT_EQ(IsBadCode(0xFF), 1);
}

std::uint32_t Crc(std::uint32_t seed, std::initializer_list<std::uint8_t> bytes) {
  for (auto b : bytes) {
    seed = CrcUpdate(seed, b);
  }
  return seed;
}

TEST(Checksum, MatchesTheCheckValues) {
  std::uint32_t crc = 0xFFFF;
  for (char c : std::string_view("123456789")) {
    crc = CrcUpdate(crc, static_cast<std::uint8_t>(c));
  }
  EXPECT_EQ(crc, 0x4B37u);
  crc = 0xEDCB;
  for (char c : std::string_view("123456789")) {
    crc = CrcUpdate(crc, static_cast<std::uint8_t>(c));
  }
  EXPECT_EQ(crc, 0x5FD1u);
  EXPECT_EQ(Crc(0xFFFF, {0x06, 0x00, 0x00, 0x02, 0x00, 0x01, 0x01, 0x02}), 0x7068u);
}

TEST(Checksum, StaysWithinSixteenBitsForSixteenBitSeeds) {
  for (std::uint32_t seed : {0x0000u, 0x1234u, 0xFFFFu}) {
    std::uint32_t crc = seed;
    for (unsigned b = 0; b < 1024; ++b) {
      crc = CrcUpdate(crc, static_cast<std::uint8_t>(b * 37));
      ASSERT_LE(crc, 0xFFFFu);
    }
  }
}

}  // namespace
