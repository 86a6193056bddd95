// The test's end of a port, through the port layer.
#include "tests/tools/serial_link.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace fixtures {

SerialLink::SerialLink(const std::string& path, std::int32_t baud) {
  handle_ = api_.Open(path);
  port::DeviceControl control;
  if (handle_ == port::kInvalidHandle || !api_.GetSettings(handle_, control)) {
    Close();
    throw std::runtime_error("cannot open " + path);
  }
  control.BaudRate = baud;
  control.ByteSize = 8;
  control.Parity = port::kNoParity;
  control.StopBits = port::kOneStopBit;
  if (!api_.SetSettings(handle_, control)) {
    Close();
    throw std::runtime_error("cannot set up " + path);
  }
}

SerialLink::~SerialLink() {
  Close();
}

bool SerialLink::Write(std::span<const std::uint8_t> bytes) {
  return api_.Write(handle_, bytes) == static_cast<int>(bytes.size());
}

std::vector<std::uint8_t> SerialLink::Read(std::size_t count, std::chrono::milliseconds within) {
  const auto deadline = std::chrono::steady_clock::now() + within;
  std::vector<std::uint8_t> got;
  std::uint8_t buffer[4096];
  while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
    std::uint32_t errors = 0;
    std::uint32_t queued = 0;
    if (!api_.GetStatus(handle_, errors, queued)) {
      break;
    }
    if (queued == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    const auto want = std::min<std::size_t>({queued, sizeof buffer, count - got.size()});
    const int n = api_.Read(handle_, std::span(buffer, want));
    if (n < 0) {
      break;
    }
    got.insert(got.end(), buffer, buffer + n);
  }
  return got;
}

void SerialLink::Close() {
  api_.Close(handle_);
  handle_ = port::kInvalidHandle;
}

}  // namespace fixtures
