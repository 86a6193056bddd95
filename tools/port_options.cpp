// Reading the port options and opening the port the way the window does.
#include "tools/port_options.h"

#include "text/convert.h"
#include "tools/commands.h"

namespace cli {

namespace {

struct Named {
  const char* text;
  std::uint8_t code;
};

constexpr Named kParities[] = {{"NO", port::kNoParity},
                               {"EVEN", port::kEvenParity},
                               {"ODD", port::kOddParity},
                               {"MARK", port::kMarkParity},
                               {"SPACE", port::kSpaceParity}};

std::string Describe(const PortSettings& s) {
  const char* parity = "?";
  for (const auto& p : kParities) {
    if (p.code == s.parity) {
      parity = p.text;
    }
  }
  return std::to_string(s.baudRate) + " baud, parity " + parity + ", " +
         (s.stopBits == port::kTwoStopBits ? "2" : "1") + " stop bit(s), 8 data bits";
}

}  // namespace

void AddPortOptions(CLI::App& cmd, PortOptions& options) {
  cmd.add_option("--port", options.name, "the serial port, e.g. /dev/ttyUSB0 or COM1")->required();
  cmd.add_option("--baud", options.baud, "baud rate (default 9600)");
  cmd.add_option("--parity", options.parity, "NO, ODD, EVEN, MARK or SPACE (default NO)");
  cmd.add_option("--stop-bits", options.stopBits, "1 or 2 (default 1)");
}

PortSettings ParsePortOptions(const PortOptions& options) {
  PortSettings settings{.name = options.name};
  try {
    settings.baudRate = text::StrToInt(options.baud);
  } catch (const text::ConversionError& e) {
    throw UsageError(std::string("--baud: ") + e.what());
  }
  if (settings.baudRate <= 0) {
    throw UsageError("--baud: '" + options.baud + "' is not a positive rate");
  }
  bool known = false;
  for (const auto& p : kParities) {
    if (options.parity == p.text) {
      settings.parity = p.code;
      known = true;
    }
  }
  if (!known) {
    throw UsageError("--parity: '" + options.parity + "' is not one of NO, ODD, EVEN, MARK, SPACE");
  }
  if (options.stopBits == "1") {
    settings.stopBits = port::kOneStopBit;
  } else if (options.stopBits == "2") {
    settings.stopBits = port::kTwoStopBits;
  } else if (options.stopBits == "1.5") {
    throw UsageError("--stop-bits: 1.5 stop bits exist only with 5 data bits; the program sends 8");
  } else {
    throw UsageError("--stop-bits: '" + options.stopBits + "' is not 1 or 2");
  }
  return settings;
}

PortSession::PortSession(const PortSettings& settings, port::SerialApi& api)
    : api_(api), name_(settings.name) {
  handle_ = api_.Open(name_);
  port::DeviceControl control;
  if (handle_ == port::kInvalidHandle || !api_.SetQueueSizes(handle_, 256, 256) ||
      !api_.GetSettings(handle_, control)) {
    api_.Close(handle_);
    throw RunError(kPortFailure, "cannot open port '" + name_ + "'");
  }
  control.BaudRate = settings.baudRate;
  control.Parity = settings.parity;
  control.StopBits = settings.stopBits;
  control.ByteSize = 8;
  port::Timeouts timeouts;
  if (!api_.SetSettings(handle_, control) || !api_.GetTimeouts(handle_, timeouts) ||
      !api_.SetTimeouts(handle_, port::Timeouts{})) {
    api_.Close(handle_);
    throw RunError(kPortFailure, "cannot configure port '" + name_ + "' for " + Describe(settings));
  }
}

PortSession::~PortSession() {
  api_.Close(handle_);
}

}  // namespace cli
