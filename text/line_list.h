// An ordered list of text lines: the program's buffers and hidden lists all hold one byte a line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace text {

// The list forgives out-of-range access on purpose: the handlers walk lists by index and rely on
// a missing line reading as empty and on a write past the end being ignored.
class LineList {
 public:
  LineList() = default;

  // Number of lines. A text that ends with a line break has as many lines as line breaks, so
  // SetText("a\nb\n") and SetText("a\nb") both count 2; an empty list counts 0.
  int Count() const;
  // Line i, or the empty text when i is outside the list.
  const std::string& Get(int i) const;
  // Replaces line i; does nothing when i is outside the list.
  void Set(int i, std::string line);
  // Appends a line at the end.
  void Add(std::string line);
  // Removes line i; does nothing when i is outside the list.
  void Delete(int i);
  void Clear();

  // The whole list as text, every line followed by a line feed.
  std::string Text() const;
  // Replaces the list with the lines of a text; accepts LF, CRLF and CR line ends. The empty text
  // after a final line break is not a line.
  void SetText(std::string_view text);

  bool operator==(const LineList&) const = default;

 private:
  std::vector<std::string> lines_;
};

}  // namespace text
