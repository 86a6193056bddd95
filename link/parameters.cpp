// Conversions between the link parameters' texts and their values.
#include "link/parameters.h"

#include "text/convert.h"

namespace protocol {

std::optional<std::uint16_t> ParseIdentifier(std::string_view text) {
  if (auto value = text::ScanHex(text.substr(0, 4))) {
    return static_cast<std::uint16_t>(*value & 0xFFFFu);
  }
  return std::nullopt;
}

void ApplyNetworkIdText(std::string& fieldText, std::int32_t& crcSeed) {
  const std::uint16_t id = ParseIdentifier(fieldText).value_or(NetworkIdOf(crcSeed));
  fieldText = text::FormatHex4(id);
  crcSeed = CrcSeedOf(id);
}

void ApplyPreambleCode(std::string_view text, std::uint8_t& high, std::uint8_t& low) {
  if (auto value = text::ScanHex(text.substr(0, 2))) {
    high = static_cast<std::uint8_t>(*value & 0xFFu);
  }
  if (text.size() > 2) {
    if (auto value = text::ScanHex(text.substr(2, 2))) {
      low = static_cast<std::uint8_t>(*value & 0xFFu);
    }
  }
}

std::string PadIdentifier(std::string_view text) {
  std::string padded(text);
  if (padded.size() < 4) {
    padded.insert(0, 4 - padded.size(), '0');
  }
  return padded;
}

}  // namespace protocol
