// The real port layer with a record of what the program asked of it: line requests and the
// size of every write, which a pseudo-terminal cannot show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "port/serial_port.h"

namespace fixtures {

class RecordingSerial : public port::SerialApi {
 public:
  explicit RecordingSerial(port::SerialApi& real = port::SystemSerial()) : real_(real) {}

  std::vector<std::string> opened;
  std::vector<int> lineRequests;
  std::vector<std::size_t> writes;
  std::vector<port::DeviceControl> settingsWritten;
  int closes = 0;

  port::Handle Open(std::string_view name) override {
    opened.emplace_back(name);
    return real_.Open(name);
  }
  bool SetQueueSizes(port::Handle h, std::uint32_t in, std::uint32_t out) override {
    return real_.SetQueueSizes(h, in, out);
  }
  bool GetSettings(port::Handle h, port::DeviceControl& c) override {
    return real_.GetSettings(h, c);
  }
  bool SetSettings(port::Handle h, const port::DeviceControl& c) override {
    settingsWritten.push_back(c);
    return real_.SetSettings(h, c);
  }
  bool GetTimeouts(port::Handle h, port::Timeouts& t) override { return real_.GetTimeouts(h, t); }
  bool SetTimeouts(port::Handle h, const port::Timeouts& t) override {
    return real_.SetTimeouts(h, t);
  }
  bool RequestLine(port::Handle h, int request) override {
    lineRequests.push_back(request);
    return real_.RequestLine(h, request);
  }
  bool GetStatus(port::Handle h, std::uint32_t& errors, std::uint32_t& queued) override {
    return real_.GetStatus(h, errors, queued);
  }
  int Read(port::Handle h, std::span<std::uint8_t> buffer) override {
    return real_.Read(h, buffer);
  }
  int Write(port::Handle h, std::span<const std::uint8_t> bytes) override {
    writes.push_back(bytes.size());
    return real_.Write(h, bytes);
  }
  void Close(port::Handle h) override {
    ++closes;
    real_.Close(h);
  }

 private:
  port::SerialApi& real_;
};

}  // namespace fixtures
