// An open port for the port tests, configured as the program does and closed at the end.
#pragma once

#include <cstdint>
#include <string>

#include "port/serial_port.h"

namespace porttest {

inline port::SerialApi& Serial() {
  return port::SystemSerial();
}

class OpenPort {
 public:
  explicit OpenPort(const std::string& path) : handle_(Serial().Open(path)) {}
  ~OpenPort() { Serial().Close(handle_); }
  OpenPort(const OpenPort&) = delete;
  OpenPort& operator=(const OpenPort&) = delete;

  port::Handle handle() const { return handle_; }
  bool ok() const { return handle_ != port::kInvalidHandle; }

  // The program's configuration steps: read the settings, change the four fields, write back.
  bool Configure(std::int32_t rate, std::uint8_t parity = port::kNoParity,
                 std::uint8_t stopBits = port::kOneStopBit) {
    port::DeviceControl control;
    if (!Serial().GetSettings(handle_, control)) {
      return false;
    }
    control.BaudRate = rate;
    control.ByteSize = 8;
    control.Parity = parity;
    control.StopBits = stopBits;
    return Serial().SetSettings(handle_, control);
  }

 private:
  port::Handle handle_;
};

}  // namespace porttest
