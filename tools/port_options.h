// The port options as the window's drop-downs take them, and the port opened as the window
// opens it.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>

#include "port/serial_port.h"

namespace cli {

struct PortOptions {
  std::string name;
  std::string baud = "9600";
  std::string parity = "NO";
  std::string stopBits = "1";
};

// --port (required), --baud, --parity, --stop-bits.
void AddPortOptions(CLI::App& cmd, PortOptions& options);

struct PortSettings {
  std::string name;
  std::int32_t baudRate = 9600;
  std::uint8_t parity = port::kNoParity;
  std::uint8_t stopBits = port::kOneStopBit;
};

// Throws UsageError naming the first bad option.
PortSettings ParsePortOptions(const PortOptions& options);

// The port, open and configured by the window's open sequence (open, queues of 256, read the
// settings, set rate, parity, stop bits and 8 data bits, time-outs all zero); closed when it goes.
// Unlike the window it stops at the first step that fails, throwing RunError(kPortFailure) with
// a line that names the port.
class PortSession {
 public:
  explicit PortSession(const PortSettings& settings, port::SerialApi& api = port::SystemSerial());
  ~PortSession();
  PortSession(const PortSession&) = delete;
  PortSession& operator=(const PortSession&) = delete;

  port::SerialApi& Api() const { return api_; }
  port::Handle Handle() const { return handle_; }
  const std::string& Name() const { return name_; }

 private:
  port::SerialApi& api_;
  std::string name_;
  port::Handle handle_ = port::kInvalidHandle;
};

}  // namespace cli
