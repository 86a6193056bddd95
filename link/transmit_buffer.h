// The transmit buffer's rules: how typed lines are tidied, cleaned into bytes, and how an
// identifier field's text becomes the two bytes that go on the wire.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/line_list.h"

namespace protocol {

// Tidies one typed line when the buffer loses the focus: at most two characters are kept,
// hexadecimal digits upper-cased and every other character turned into a blank.
void NormaliseLine(std::string& line);
void NormaliseBuffer(text::LineList& buffer);

// Cleans the buffer before a transmission, walking from the last line to the first: a leading
// blank or tab becomes 0, a blank or tab in second place empties the line, hexadecimal letters
// are upper-cased, a longer line is cut to two characters and a single character x becomes 0x.
// Lines left empty are deleted.
void CleanBuffer(text::LineList& buffer);

// One line of the packet list as a byte, read as hexadecimal and cut to 8 bits; no value when
// the line holds no hexadecimal number.
std::optional<std::uint8_t> LineByte(std::string_view line);

// An identifier as sent: characters 1-2 and 3-4 of its padded text, each read as one byte. No
// value when either part holds no hexadecimal number.
std::optional<std::uint16_t> IdentifierFromParts(std::string_view padded);

}  // namespace protocol
