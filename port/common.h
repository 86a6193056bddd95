// Port-name rules, accepted settings and the write bound, shared by both platforms (internal).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "port/serial_port.h"

namespace port::common {

// True for a name Open may try: not empty, at most kMaxPortNameLength characters, no NUL (which
// would cut the name short at the system call).
bool UsableName(std::string_view name);

// n for a bare "COMn" (any letter case, n from 1 without a leading zero); no value otherwise.
std::optional<std::uint64_t> BareComNumber(std::string_view name);

// The settings SetSettings accepts: a positive rate, 8 data bits, parity 0..4, one or two stop
// bits. One and a half stop bits exist only with 5 data bits, in Win32's DCB as in a UART.
bool Supported(const DeviceControl& control);

// How long a write of `count` bytes may take: max(500 ms, twice their line time). A rate of 0
// (unknown) gives the 500 ms floor.
std::chrono::milliseconds WriteBound(std::size_t count, std::uint32_t bitsPerSecond,
                                     double bitsPerByte);

}  // namespace port::common
