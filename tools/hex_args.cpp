// Command-line arguments are checked strictly: a test tool must not guess what was meant.
#include "tools/hex_args.h"

#include <cctype>

#include "text/convert.h"
#include "tools/commands.h"

namespace cli {

namespace {

bool AllHex(std::string_view text) {
  for (char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c)) == 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::uint16_t IdentifierArg(std::string_view option, std::string_view text) {
  if (text.empty() || text.size() > 4 || !AllHex(text)) {
    throw UsageError(std::string(option) + ": '" + std::string(text) +
                     "' is not an identifier of 1 to 4 hexadecimal digits");
  }
  return static_cast<std::uint16_t>(*text::ScanHex(text));
}

std::uint8_t ByteArg(std::string_view text) {
  if (text.empty() || text.size() > 2 || !AllHex(text)) {
    throw UsageError("'" + std::string(text) + "' is not a byte of 1 or 2 hexadecimal digits");
  }
  return static_cast<std::uint8_t>(*text::ScanHex(text));
}

std::vector<std::uint8_t> PayloadArgs(const std::vector<std::string>& args, std::istream& in) {
  std::vector<std::uint8_t> bytes;
  for (const auto& arg : args) {
    if (arg == "-") {
      std::string word;
      while (in >> word) {
        bytes.push_back(ByteArg(word));
      }
    } else {
      bytes.push_back(ByteArg(arg));
    }
  }
  return bytes;
}

std::int32_t NumberArg(std::string_view option, std::string_view text, std::int32_t least,
                       std::int32_t most) {
  const auto value = text::TryStrToInt(text);
  if (!value || *value < least || *value > most) {
    const std::string range = most == INT_MAX
                                  ? "of at least " + std::to_string(least)
                                  : "from " + std::to_string(least) + " to " + std::to_string(most);
    throw UsageError(std::string(option) + ": '" + std::string(text) + "' is not a number " +
                     range);
  }
  return *value;
}

}  // namespace cli
