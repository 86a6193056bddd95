// The text conversions every layer shares: hexadecimal scan, fixed-width hexadecimal and the
// integer conversion. Nothing else in the program parses numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace text {

// A conversion the program cannot make; its message is what the failure report shows.
class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a hexadecimal number the way "%x" does: leading white space, an optional sign, an
// optional 0x or 0X, then digits of either case up to the first other character. Returns no
// value when the text holds no hexadecimal digit there, so the caller keeps its old value. The
// result keeps the low 32 bits; a minus sign negates it modulo 2^32. A caller with a one-byte
// target takes the low 8 bits.
std::optional<std::uint32_t> ScanHex(std::string_view text);

// "%02X" and "%04X": upper-case hexadecimal with at least 2 or 4 digits (more when needed).
std::string FormatHex2(std::uint32_t value);
std::string FormatHex4(std::uint32_t value);

// The integer conversion used for baud rates, time-outs, lengths and the decimal lists.
// Accepts leading blanks, then either an optional + or - with decimal digits in the 32-bit signed
// range, or a hexadecimal number introduced by $, x, X, 0x or 0X that fits in 32 bits (FFFFFFFF
// reads as -1). Nothing may follow. Returns no value for any other text, the empty one included.
std::optional<std::int32_t> TryStrToInt(std::string_view text);

// As TryStrToInt, but throws ConversionError "'<text>' is not a valid integer value".
std::int32_t StrToInt(std::string_view text);

}  // namespace text
