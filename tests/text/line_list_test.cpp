// The line list's index rules, which the handlers lean on when they walk lists by position.
#include "text/line_list.h"

#include <gtest/gtest.h>

namespace {

using text::LineList;

LineList Of(std::string_view text) {
  LineList list;
  list.SetText(text);
  return list;
}

TEST(LineList, CountsLineBreaksNotTheEmptyTextAfterTheLast) {
  struct Row {
    std::string_view text;
    int count;
  };
  const Row rows[] = {
      {"", 0},           {"a", 1},    {"a\n", 1}, {"a\nb", 2},  {"a\nb\n", 2},
      {"a\r\nb\r\n", 2}, {"a\rb", 2}, {"\n", 1},  {"a\n\n", 2}, {"\n\nx", 3},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Of(row.text).Count(), row.count) << "text: " << testing::PrintToString(row.text);
  }
}

TEST(LineList, OutOfRangeAccessIsHarmless) {
  LineList list = Of("01\n02\n");
  EXPECT_EQ(list.Get(2), "");
  EXPECT_EQ(list.Get(-1), "");
  list.Set(2, "zz");
  list.Set(-1, "zz");
  list.Delete(5);
  list.Delete(-1);
  EXPECT_EQ(list.Text(), "01\n02\n");
}

TEST(LineList, EditsInPlace) {
  LineList list = Of("01\n02\n03");
  list.Set(1, "AA");
  list.Delete(0);
  list.Add("");
  list.Add("04");
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Text(), "AA\n03\n\n04\n");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Get(0), "");
}

}  // namespace
