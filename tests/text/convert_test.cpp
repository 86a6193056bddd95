// The conversions as tables: each row names the rule it pins.
#include "text/convert.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(ScanHex, ReadsLikePercentX) {
  struct Row {
    const char* rule;
    std::string_view text;
    std::optional<std::uint32_t> value;
  };
  const Row rows[] = {
      {"plain digits", "1234", 0x1234},
      {"either case", "aBcD", 0xABCD},
      {"leading white space", " \t\n12", 0x12},
      {"0x prefix", "0x1F", 0x1F},
      {"0X prefix", "0XfF", 0xFF},
      {"0x with no digit reads the zero", "0xg", 0},
      {"stops at the first other character", "12g4", 0x12},
      {"plus sign", "+A", 0xA},
      {"minus sign negates", "-1", 0xFFFFFFFFu},
      {"keeps the low 32 bits", "123456789", 0x23456789},
      {"empty text", "", std::nullopt},
      {"blanks only", "   ", std::nullopt},
      {"no digit first", "g5", std::nullopt},
      {"sign alone", "-", std::nullopt},
      {"blank then digit", " 5", 0x5},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(text::ScanHex(row.text), row.value) << row.rule;
  }
}

TEST(FormatHex, PadsToTheWidthAndGrowsPastIt) {
  EXPECT_EQ(text::FormatHex2(0x0A), "0A");
  EXPECT_EQ(text::FormatHex2(0xFF), "FF");
  EXPECT_EQ(text::FormatHex2(0x100), "100");
  EXPECT_EQ(text::FormatHex4(0x2), "0002");
  EXPECT_EQ(text::FormatHex4(0xedcb), "EDCB");
}

TEST(StrToInt, AcceptsExactlyTheIntegerForms) {
  struct Row {
    const char* rule;
    std::string_view text;
    std::optional<std::int32_t> value;
  };
  const Row rows[] = {
      {"decimal", "9600", 9600},
      {"leading blanks", "  42", 42},
      {"plus", "+7", 7},
      {"minus", "-7", -7},
      {"leading zeros", "007", 7},
      {"largest", "2147483647", 2147483647},
      {"smallest", "-2147483648", INT32_MIN},
      {"dollar hex", "$3E8", 1000},
      {"x hex", "x10", 16},
      {"X hex", "X10", 16},
      {"0x hex", "0x10", 16},
      {"0X hex", "0Xff", 255},
      {"eight hex digits wrap to negative", "$FFFFFFFF", -1},
      {"leading zeros beyond eight hex digits", "$0000000001", 1},
      {"trailing blank", "1000 ", std::nullopt},
      {"empty", "", std::nullopt},
      {"blanks only", "  ", std::nullopt},
      {"sign alone", "-", std::nullopt},
      {"prefix alone", "$", std::nullopt},
      {"0x alone", "0x", std::nullopt},
      {"too large", "2147483648", std::nullopt},
      {"too small", "-2147483649", std::nullopt},
      {"hex too large", "$100000000", std::nullopt},
      {"no sign before hex", "-$10", std::nullopt},
      {"letters", "abc", std::nullopt},
      {"decimal then letters", "12ab", std::nullopt},
      {"tab is not a blank", "\t5", std::nullopt},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(text::TryStrToInt(row.text), row.value) << row.rule;
  }
}

TEST(StrToInt, FailureCarriesTheTextInItsMessage) {
  try {
    text::StrToInt("1000 ");
    FAIL() << "no failure";
  } catch (const text::ConversionError& e) {
    EXPECT_STREQ(e.what(), "'1000 ' is not a valid integer value");
  }
  EXPECT_THROW(text::StrToInt(""), text::ConversionError);
  EXPECT_EQ(text::StrToInt("$3E8"), 1000);
}

}  // namespace
