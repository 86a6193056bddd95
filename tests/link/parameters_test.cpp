// The link parameters' texts: network identifier, preamble code and identifier padding.
#include "link/parameters.h"

#include <gtest/gtest.h>

namespace {

using namespace protocol;

TEST(NetworkId, LeavingTheFieldRewritesItAndSetsTheSeed) {
  struct Row {
    const char* rule;
    std::string startText;
    std::int32_t startSeed;
    std::string endText;
    std::int32_t endSeed;
  };
  const Row rows[] = {
      {"four digits", "1234", 0xFFFF, "1234", 0xEDCB},
      {"short text padded", "A", 0xFFFF, "000A", 0xFFF5},
      {"lower case", "beef", 0xFFFF, "BEEF", 0xFFFF - 0xBEEF},
      {"empty keeps the previous identifier", "", 0xEDCB, "1234", 0xEDCB},
      {"no number keeps the previous identifier", "zz", 0xFFF5, "000A", 0xFFF5},
      {"only the first four characters count", "123456", 0xFFFF, "1234", 0xEDCB},
      {"a sign stays within 16 bits", "-1", 0xFFFF, "FFFF", 0x0000},
  };
  for (const auto& row : rows) {
    std::string text = row.startText;
    std::int32_t seed = row.startSeed;
    ApplyNetworkIdText(text, seed);
    EXPECT_EQ(text, row.endText) << row.rule;
    EXPECT_EQ(seed, row.endSeed) << row.rule;
  }
}

TEST(PreambleCode, EachPartWritesOnlyItsOwnByte) {
  struct Row {
    const char* rule;
    std::string_view text;
    std::uint8_t high;
    std::uint8_t low;
  };
  // Every row starts from 0x11, 0x22.
  const Row rows[] = {
      {"upper case", "B24D", 0xB2, 0x4D},
      {"lower case", "b24d", 0xB2, 0x4D},
      {"first part only", "12", 0x12, 0x22},
      {"one character", "7", 0x07, 0x22},
      {"empty", "", 0x11, 0x22},
      {"first part not a number", "zz4D", 0x11, 0x4D},
      {"second part not a number", "12zz", 0x12, 0x22},
      {"three characters", "123", 0x12, 0x03},
      {"beyond the fourth ignored", "B24D99", 0xB2, 0x4D},
  };
  for (const auto& row : rows) {
    std::uint8_t high = 0x11;
    std::uint8_t low = 0x22;
    ApplyPreambleCode(row.text, high, low);
    EXPECT_EQ(high, row.high) << row.rule;
    EXPECT_EQ(low, row.low) << row.rule;
  }
}

TEST(Identifier, PaddedAndBoundedToSixteenBits) {
  EXPECT_EQ(PadIdentifier("2"), "0002");
  EXPECT_EQ(PadIdentifier(""), "0000");
  EXPECT_EQ(PadIdentifier("12345"), "12345");
  EXPECT_EQ(ParseIdentifier("0002"), 0x0002);
  EXPECT_EQ(ParseIdentifier("123456"), 0x1234);
  EXPECT_EQ(ParseIdentifier("xyz"), std::nullopt);
}

}  // namespace
