// Strict readers for the numeric arguments of the command line.
#pragma once

#include <climits>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// 1 to 4 hexadecimal digits; throws UsageError naming the option otherwise.
std::uint16_t IdentifierArg(std::string_view option, std::string_view text);
// 1 or 2 hexadecimal digits; throws UsageError naming the byte otherwise.
std::uint8_t ByteArg(std::string_view text);
// Payload bytes from arguments; "-" reads white-space-separated bytes from `in` in its place.
std::vector<std::uint8_t> PayloadArgs(const std::vector<std::string>& args, std::istream& in);
// A whole number from `least` to `most`, in the program's integer conversion (so 0x10 and $10
// are 16); throws UsageError naming the option otherwise.
std::int32_t NumberArg(std::string_view option, std::string_view text, std::int32_t least,
                       std::int32_t most = INT_MAX);

}  // namespace cli
