// Tidying and cleaning the transmit buffer, as one table of typed lines and what is sent.
#include "link/transmit_buffer.h"

#include <gtest/gtest.h>

namespace {

using namespace protocol;

std::string Normalised(std::string line) {
  NormaliseLine(line);
  return line;
}

// Cleans a one-line buffer; "<deleted>" when the line goes.
std::string Cleaned(const std::string& line) {
  text::LineList buffer;
  buffer.Add(line);
  CleanBuffer(buffer);
  return buffer.Count() == 0 ? "<deleted>" : buffer.Get(0);
}

TEST(TransmitBuffer, LinesAreTidiedAndCleanedIntoBytes) {
  struct Row {
    std::string typed;
    std::string afterLeaving;  // when the buffer loses the focus
    std::string sent;          // after the cleaning of a transmission
  };
  const Row rows[] = {
      {" 5", " 5", "05"},       {"5", "5", "05"},          {"5 ", "5 ", "<deleted>"},
      {"a", "A", "0A"},         {"abc", "AB", "AB"},       {"", "", "<deleted>"},
      {" ", " ", "00"},         {"\t", " ", "00"},         {"  ", "  ", "<deleted>"},
      {"g5", " 5", "05"},       {"5x", "5 ", "<deleted>"}, {"ff", "FF", "FF"},
      {"Я", "  ", "<deleted>"},  // two bytes of UTF-8, each not a digit
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Normalised(row.typed), row.afterLeaving)
        << "typed " << testing::PrintToString(row.typed);
    EXPECT_EQ(Cleaned(row.afterLeaving), row.sent) << "typed " << testing::PrintToString(row.typed);
  }
  // Cleaning alone, without leaving the buffer first.
  EXPECT_EQ(Cleaned("\t5"), "05");
  EXPECT_EQ(Cleaned("5\t"), "<deleted>");
  EXPECT_EQ(Cleaned("abc"), "AB");
}

TEST(TransmitBuffer, CleaningKeepsTheOrderAndDeletesOnlyEmptiedLines) {
  text::LineList buffer;
  buffer.SetText("01\n\n5 \n 2\nab\n");
  CleanBuffer(buffer);
  EXPECT_EQ(buffer.Text(), "01\n02\nAB\n");
}

TEST(TransmitBuffer, IdentifierPartsAreReadSeparately) {
  EXPECT_EQ(IdentifierFromParts("0002"), 0x0002);
  EXPECT_EQ(IdentifierFromParts("1G23"), 0x0123);
  EXPECT_EQ(IdentifierFromParts("12345"), 0x1234);
  EXPECT_EQ(IdentifierFromParts("ZZ12"), std::nullopt);
  EXPECT_EQ(IdentifierFromParts("12ZZ"), std::nullopt);
  EXPECT_EQ(LineByte("FF"), 0xFF);
  EXPECT_EQ(LineByte("ZZ"), std::nullopt);
}

}  // namespace
