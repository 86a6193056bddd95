// The shared conversions, written out by hand so that each rule is exactly the program's.
#include "text/convert.h"

#include <cstdio>

namespace text {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

bool IsScanSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string FormatHex(std::uint32_t value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*X", digits, static_cast<unsigned>(value));
  return buffer;
}

}  // namespace

std::optional<std::uint32_t> ScanHex(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsScanSpace(text[i])) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // "0x" followed by no digit still reads the 0 as the number.
  if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
      HexDigit(text[i + 2]) >= 0) {
    i += 2;
  }
  std::uint32_t value = 0;
  bool anyDigit = false;
  for (; i < text.size(); ++i) {
    const int d = HexDigit(text[i]);
    if (d < 0) {
      break;
    }
    value = (value << 4) | static_cast<std::uint32_t>(d);
    anyDigit = true;
  }
  if (!anyDigit) {
    return std::nullopt;
  }
  return negative ? (0u - value) : value;
}

std::string FormatHex2(std::uint32_t value) {
  return FormatHex(value, 2);
}
std::string FormatHex4(std::uint32_t value) {
  return FormatHex(value, 4);
}

std::optional<std::int32_t> TryStrToInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') {
    ++i;
  }
  const std::string_view rest = text.substr(i);
  std::size_t prefix = 0;
  if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X')) {
    prefix = 1;
  } else if (rest.starts_with("0x") || rest.starts_with("0X")) {
    prefix = 2;
  }
  if (prefix > 0) {
    const std::string_view digits = rest.substr(prefix);
    if (digits.empty()) {
      return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : digits) {
      const int d = HexDigit(c);
      if (d < 0) {
        return std::nullopt;
      }
      value = value * 16 + static_cast<std::uint64_t>(d);
      if (value > 0xFFFFFFFFu) {
        return std::nullopt;
      }
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  }

  std::size_t j = 0;
  bool negative = false;
  if (j < rest.size() && (rest[j] == '+' || rest[j] == '-')) {
    negative = rest[j] == '-';
    ++j;
  }
  if (j == rest.size()) {
    return std::nullopt;
  }
  const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
  std::int64_t value = 0;
  for (; j < rest.size(); ++j) {
    const char c = rest[j];
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = value * 10 + (c - '0');
    if (value > limit) {
      return std::nullopt;
    }
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

std::int32_t StrToInt(std::string_view text) {
  if (auto value = TryStrToInt(text)) {
    return *value;
  }
  throw ConversionError("'" + std::string(text) + "' is not a valid integer value");
}

}  // namespace text
