// The line list's forgiving index rules.
#include "text/line_list.h"

namespace text {

namespace {
const std::string kEmpty;
}

int LineList::Count() const {
  return static_cast<int>(lines_.size());
}

const std::string& LineList::Get(int i) const {
  if (i < 0 || i >= static_cast<int>(lines_.size())) {
    return kEmpty;
  }
  return lines_[static_cast<std::size_t>(i)];
}

void LineList::Set(int i, std::string line) {
  if (i < 0 || i >= static_cast<int>(lines_.size())) {
    return;
  }
  lines_[static_cast<std::size_t>(i)] = std::move(line);
}

void LineList::Add(std::string line) {
  lines_.push_back(std::move(line));
}

void LineList::Delete(int i) {
  if (i < 0 || i >= static_cast<int>(lines_.size())) {
    return;
  }
  lines_.erase(lines_.begin() + i);
}

void LineList::Clear() {
  lines_.clear();
}

std::string LineList::Text() const {
  std::string out;
  for (const auto& line : lines_) {
    out += line;
    out += '\n';
  }
  return out;
}

void LineList::SetText(std::string_view text) {
  lines_.clear();
  std::string current;
  // The text after the last line break is a line only when it is not empty: a final line break
  // ends the last line rather than starting an empty one.
  bool pending = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        ++i;
      }
      lines_.push_back(std::move(current));
      current.clear();
      pending = false;
    } else {
      current += c;
      pending = true;
    }
  }
  if (pending) {
    lines_.push_back(std::move(current));
  }
}

}  // namespace text
