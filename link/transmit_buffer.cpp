// Tidying and cleaning the transmit buffer.
#include "link/transmit_buffer.h"

#include <algorithm>
#include <cctype>

#include "text/convert.h"

namespace protocol {

namespace {

bool IsHexLetter(char c) {
  return (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool IsBlankOrTab(char c) {
  return c == ' ' || c == '\t';
}
char Upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

}  // namespace

void NormaliseLine(std::string& line) {
  if (line.size() > 2) {
    line.resize(2);
  }
  for (char& c : line) {
    if (IsHexLetter(c)) {
      c = Upper(c);
    } else if (c < '0' || c > '9') {
      c = ' ';
    }
  }
}

void NormaliseBuffer(text::LineList& buffer) {
  for (int i = 0; i < buffer.Count(); ++i) {
    std::string line = buffer.Get(i);
    NormaliseLine(line);
    buffer.Set(i, std::move(line));
  }
}

void CleanBuffer(text::LineList& buffer) {
  for (int i = buffer.Count() - 1; i >= 0; --i) {
    std::string line = buffer.Get(i);
    if (!line.empty() && IsBlankOrTab(line[0])) {
      line[0] = '0';
    }
    if (line.size() > 1 && IsBlankOrTab(line[1])) {
      line.clear();
    }
    for (std::size_t k = 0; k < line.size() && k < 2; ++k) {
      if (IsHexLetter(line[k])) {
        line[k] = Upper(line[k]);
      }
    }
    if (line.size() > 2) {
      line.resize(2);
    } else if (line.size() == 1) {
      line.insert(line.begin(), '0');
    }
    if (line.empty()) {
      buffer.Delete(i);
    } else {
      buffer.Set(i, std::move(line));
    }
  }
}

std::optional<std::uint8_t> LineByte(std::string_view line) {
  if (auto value = text::ScanHex(line)) {
    return static_cast<std::uint8_t>(*value & 0xFF);
  }
  return std::nullopt;
}

std::optional<std::uint16_t> IdentifierFromParts(std::string_view padded) {
  const auto high = LineByte(padded.substr(0, 2));
  const auto low = LineByte(padded.substr(std::min<std::size_t>(2, padded.size()), 2));
  if (!high || !low) {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>(*high << 8 | *low);
}

}  // namespace protocol
