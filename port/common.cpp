// The port-name rules, the settings a port takes and the write bound, for both platforms.
#include "port/common.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace port::common {

bool UsableName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxPortNameLength &&
         name.find('\0') == std::string_view::npos;
}

std::optional<std::uint64_t> BareComNumber(std::string_view name) {
  constexpr std::string_view kPrefix = "com";
  if (name.size() <= kPrefix.size()) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < kPrefix.size(); ++i) {
    if ((name[i] | 0x20) != kPrefix[i]) {
      return std::nullopt;
    }
  }
  const std::string_view digits = name.substr(kPrefix.size());
  if (digits.front() < '1' || digits.front() > '9') {
    return std::nullopt;
  }
  std::uint64_t number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc{} || end != digits.data() + digits.size()) {
    return std::nullopt;
  }
  return number;
}

bool Supported(const DeviceControl& control) {
  return control.BaudRate > 0 && control.ByteSize == 8 && control.Parity <= kSpaceParity &&
         (control.StopBits == kOneStopBit || control.StopBits == kTwoStopBits);
}

std::chrono::milliseconds WriteBound(std::size_t count, std::uint32_t bitsPerSecond,
                                     double bitsPerByte) {
  constexpr std::chrono::milliseconds kFloor{500};
  // A day: beyond any real write, and far from overflowing the count of milliseconds.
  constexpr double kCeilingMs = 24.0 * 3600 * 1000;
  if (bitsPerSecond == 0) {
    return kFloor;
  }
  const double lineMs = 1000.0 * static_cast<double>(count) * bitsPerByte / bitsPerSecond;
  const auto bound = static_cast<std::int64_t>(std::ceil(std::min(2 * lineMs, kCeilingMs)));
  return std::max(kFloor, std::chrono::milliseconds{bound});
}

}  // namespace port::common
