// The far end of a port as the tests drive it: opened and set up through the program's own port
// layer, read with a deadline.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "port/serial_port.h"

namespace fixtures {

class SerialLink {
 public:
  // Opens `path` at `baud`, 8 data bits, no parity, one stop bit; throws if it cannot. Writes
  // give up after twice their time on the line at that rate (half a second at least).
  explicit SerialLink(const std::string& path, std::int32_t baud = 9600);
  ~SerialLink();
  SerialLink(const SerialLink&) = delete;
  SerialLink& operator=(const SerialLink&) = delete;

  // True when the port took every byte.
  bool Write(std::span<const std::uint8_t> bytes);
  // What arrives until `count` bytes have come or `within` has passed.
  std::vector<std::uint8_t> Read(std::size_t count, std::chrono::milliseconds within);
  void Close();

 private:
  port::SerialApi& api_ = port::SystemSerial();
  port::Handle handle_ = port::kInvalidHandle;
};

}  // namespace fixtures
