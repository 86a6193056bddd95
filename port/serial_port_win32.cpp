// The serial port on Win32: the communications functions on a device handle.
#include "port/serial_port.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "port/common.h"

namespace port {
namespace {

static_assert(sizeof(DCB) <= sizeof(PlatformSettings::bytes));

HANDLE Native(Handle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

double BitsPerByte(const DCB& dcb) {
  const double stop = dcb.StopBits == ONESTOPBIT ? 1.0 : dcb.StopBits == ONE5STOPBITS ? 1.5 : 2.0;
  return 1.0 + dcb.ByteSize + (dcb.Parity != NOPARITY ? 1.0 : 0.0) + stop;
}

class Win32Serial final : public SerialApi {
 public:
  Handle Open(std::string_view name) override {
    const auto path = DevicePath(name);
    if (!path) {
      return kInvalidHandle;
    }
    HANDLE port = CreateFileA(path->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
      return kInvalidHandle;
    }
    // A path may name an ordinary file, which would open but is no port.
    if (GetFileType(port) != FILE_TYPE_CHAR) {
      CloseHandle(port);
      return kInvalidHandle;
    }
    return reinterpret_cast<Handle>(port);
  }

  bool SetQueueSizes(Handle handle, std::uint32_t in, std::uint32_t out) override {
    return SetupComm(Native(handle), in, out) != 0;
  }

  bool GetSettings(Handle handle, DeviceControl& control) override {
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (GetCommState(Native(handle), &dcb) == 0) {
      return false;
    }
    control.BaudRate = static_cast<std::int32_t>(std::min<DWORD>(dcb.BaudRate, INT_MAX));
    control.ByteSize = dcb.ByteSize;
    control.Parity = dcb.Parity;
    control.StopBits = dcb.StopBits;
    std::memcpy(control.platform.bytes.data(), &dcb, sizeof(dcb));
    control.platform.size = sizeof(dcb);
    return true;
  }

  bool SetSettings(Handle handle, const DeviceControl& control) override {
    if (!common::Supported(control)) {
      return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (control.platform.size == sizeof(dcb)) {
      std::memcpy(&dcb, control.platform.bytes.data(), sizeof(dcb));
    } else if (GetCommState(Native(handle), &dcb) == 0) {
      return false;
    }
    dcb.DCBlength = sizeof(dcb);
    dcb.BaudRate = static_cast<DWORD>(control.BaudRate);
    dcb.ByteSize = control.ByteSize;
    dcb.Parity = control.Parity;
    dcb.StopBits = control.StopBits;
    return SetCommState(Native(handle), &dcb) != 0;
  }

  bool GetTimeouts(Handle handle, Timeouts& timeouts) override {
    COMMTIMEOUTS native{};
    if (GetCommTimeouts(Native(handle), &native) == 0) {
      return false;
    }
    timeouts = {.ReadIntervalTimeout = native.ReadIntervalTimeout,
                .ReadTotalTimeoutMultiplier = native.ReadTotalTimeoutMultiplier,
                .ReadTotalTimeoutConstant = native.ReadTotalTimeoutConstant,
                .WriteTotalTimeoutMultiplier = native.WriteTotalTimeoutMultiplier,
                .WriteTotalTimeoutConstant = native.WriteTotalTimeoutConstant};
    return true;
  }

  bool SetTimeouts(Handle handle, const Timeouts& timeouts) override {
    COMMTIMEOUTS native{.ReadIntervalTimeout = timeouts.ReadIntervalTimeout,
                        .ReadTotalTimeoutMultiplier = timeouts.ReadTotalTimeoutMultiplier,
                        .ReadTotalTimeoutConstant = timeouts.ReadTotalTimeoutConstant,
                        .WriteTotalTimeoutMultiplier = timeouts.WriteTotalTimeoutMultiplier,
                        .WriteTotalTimeoutConstant = timeouts.WriteTotalTimeoutConstant};
    return SetCommTimeouts(Native(handle), &native) != 0;
  }

  bool RequestLine(Handle handle, int request) override {
    switch (request) {
      case kSetRts:
      case kClearRts:
      case kSetDtr:
      case kClearDtr:
        return EscapeCommFunction(Native(handle), static_cast<DWORD>(request)) != 0;
      default:
        return false;
    }
  }

  bool GetStatus(Handle handle, std::uint32_t& errors, std::uint32_t& queuedInput) override {
    DWORD error = 0;
    COMSTAT status{};
    if (ClearCommError(Native(handle), &error, &status) == 0) {
      return false;
    }
    errors = error;
    queuedInput = status.cbInQue;
    return true;
  }

  int Read(Handle handle, std::span<std::uint8_t> buffer) override {
    DWORD got = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), INT_MAX));
    if (ReadFile(Native(handle), buffer.data(), wanted, &got, nullptr) == 0) {
      return -1;
    }
    return static_cast<int>(got);
  }

  // The program sets every time-out to 0, which lets a write wait without end for a peer that
  // holds off flow control; so each write runs under its own bound, and the time-outs the caller
  // set are put back afterwards for GetTimeouts to report.
  int Write(Handle handle, std::span<const std::uint8_t> bytes) override {
    HANDLE port = Native(handle);
    COMMTIMEOUTS set{};
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (GetCommTimeouts(port, &set) == 0 || GetCommState(port, &dcb) == 0) {
      return -1;
    }
    const auto count = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), INT_MAX));
    const auto bound = common::WriteBound(count, dcb.BaudRate, BitsPerByte(dcb));
    COMMTIMEOUTS bounded = set;
    bounded.WriteTotalTimeoutMultiplier = 0;
    bounded.WriteTotalTimeoutConstant =
        static_cast<DWORD>(std::min<std::int64_t>(bound.count(), MAXDWORD - 1));
    if (SetCommTimeouts(port, &bounded) == 0) {
      return -1;
    }
    DWORD put = 0;
    const BOOL written = WriteFile(port, bytes.data(), count, &put, nullptr);
    (void)SetCommTimeouts(port, &set);
    return written != 0 || put > 0 ? static_cast<int>(put) : -1;
  }

  void Close(Handle handle) override {
    if (handle != kInvalidHandle) {
      CloseHandle(Native(handle));
    }
  }
};

}  // namespace

SerialApi& SystemSerial() {
  static Win32Serial serial;
  return serial;
}

std::optional<std::string> DevicePath(std::string_view name) {
  if (!common::UsableName(name)) {
    return std::nullopt;
  }
  if (common::BareComNumber(name)) {
    return "\\\\.\\" + std::string(name);
  }
  return std::string(name);
}

std::vector<std::string> UsbSerialDevices(std::string_view) {
  return {};
}

}  // namespace port
