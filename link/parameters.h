// The link parameters as the user types them: identifiers, network identifier and preamble code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace protocol {

// An identifier field's value: the first four characters of its text read as hexadecimal, so a
// longer text (possible from a hand-edited settings file) never yields more than 16 bits. No value
// when those characters hold no hexadecimal number.
std::optional<std::uint16_t> ParseIdentifier(std::string_view text);

// The checksum seed of a network identifier, and back.
constexpr std::int32_t CrcSeedOf(std::uint16_t networkId) {
  return 0xFFFF - networkId;
}
constexpr std::uint16_t NetworkIdOf(std::int32_t crcSeed) {
  return static_cast<std::uint16_t>(0xFFFF - crcSeed);
}

// Leaving the network-identifier field: the field is rewritten as four hexadecimal digits and
// the seed follows it. A text with no hexadecimal number keeps the previous identifier: the field
// shows it again and the seed is unchanged.
void ApplyNetworkIdText(std::string& fieldText, std::int32_t& crcSeed);

// A change of the preamble-code field: characters 1-2 set the first preamble byte and 3-4 the
// second, each read as hexadecimal and cut to 8 bits. A part with no number leaves its own byte
// unchanged; characters past the fourth are ignored.
void ApplyPreambleCode(std::string_view text, std::uint8_t& high, std::uint8_t& low);

// The field text padded with leading zeros to at least four characters.
std::string PadIdentifier(std::string_view text);

}  // namespace protocol
