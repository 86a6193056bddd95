// The serial port as the program uses it: open, configure, signal lines, status, read, write,
// close.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace port {

// An fd on POSIX, a HANDLE on Win32 (whose invalid value is also -1).
using Handle = std::intptr_t;
inline constexpr Handle kInvalidHandle = -1;

// The port name field holds 16 characters with its terminator; a longer name is never cut down,
// since the cut name could be some other device.
inline constexpr std::size_t kMaxPortNameLength = 15;

// The platform's parity and stop-bit codes, as the drop-downs map them.
inline constexpr std::uint8_t kNoParity = 0;
inline constexpr std::uint8_t kOddParity = 1;
inline constexpr std::uint8_t kEvenParity = 2;
inline constexpr std::uint8_t kMarkParity = 3;
inline constexpr std::uint8_t kSpaceParity = 4;
inline constexpr std::uint8_t kOneStopBit = 0;
inline constexpr std::uint8_t kOneAndHalfStopBits = 1;
inline constexpr std::uint8_t kTwoStopBits = 2;

// Every setting of the port in the platform's own form (a termios2 record on Linux, a DCB on
// Win32), as GetSettings read it. Opaque to callers; `size` is 0 until GetSettings fills it.
struct PlatformSettings {
  std::array<std::uint8_t, 64> bytes{};
  std::uint8_t size = 0;
};

// The device-control block the program reads, edits and writes back.
struct DeviceControl {
  std::int32_t BaudRate = 0;
  std::uint8_t ByteSize = 0;
  std::uint8_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
  // SetSettings writes this back with only the fields above changed, so flow control and the
  // rest stay as the port reported them.
  PlatformSettings platform;
};

struct Timeouts {
  std::uint32_t ReadIntervalTimeout = 0;
  std::uint32_t ReadTotalTimeoutMultiplier = 0;
  std::uint32_t ReadTotalTimeoutConstant = 0;
  std::uint32_t WriteTotalTimeoutMultiplier = 0;
  std::uint32_t WriteTotalTimeoutConstant = 0;
  bool operator==(const Timeouts&) const = default;
};

// The platform's signal-line request codes.
enum LineRequest : int { kSetRts = 3, kClearRts = 4, kSetDtr = 5, kClearDtr = 6 };

// The operations the program needs. An interface so that a test can wrap the real port with a
// recorder. Every operation fails cleanly on kInvalidHandle, because after a failed open the
// program goes on through the whole open sequence with it.
class SerialApi {
 public:
  virtual ~SerialApi() = default;

  // Opens an existing serial device for reading and writing, exclusively. The name is resolved by
  // DevicePath. Returns kInvalidHandle when the name resolves to nothing, the device cannot be
  // opened, is not a terminal, or is held by someone else.
  [[nodiscard]] virtual Handle Open(std::string_view name) = 0;
  // Asks for input and output queues of the given sizes. POSIX queues are the driver's and fixed,
  // so there it only checks that the handle is an open port.
  [[nodiscard]] virtual bool SetQueueSizes(Handle handle, std::uint32_t in, std::uint32_t out) = 0;
  // Reads the port's settings: the four fields and the platform record behind them.
  [[nodiscard]] virtual bool GetSettings(Handle handle, DeviceControl& control) = 0;
  // Applies BaudRate, ByteSize, Parity and StopBits on top of control.platform (or, when that is
  // empty, on top of the port's current settings), in raw binary mode. Fails, changing nothing,
  // when BaudRate is not positive, ByteSize is not 8, Parity is not 0..4 or StopBits is not 0 or
  // 2: one and a half stop bits exist only with 5 data bits. Also fails when the driver does not
  // take the settings as asked.
  [[nodiscard]] virtual bool SetSettings(Handle handle, const DeviceControl& control) = 0;
  // Reads the time-outs last set (on POSIX the port never blocks, so they are only kept).
  [[nodiscard]] virtual bool GetTimeouts(Handle handle, Timeouts& timeouts) = 0;
  [[nodiscard]] virtual bool SetTimeouts(Handle handle, const Timeouts& timeouts) = 0;
  // Sets or clears RTS or DTR (a LineRequest). Returns false for another request, on a device
  // without modem lines (a pseudo-terminal) or on a failed call; callers may ignore it.
  virtual bool RequestLine(Handle handle, int request) = 0;
  // Reports the error word (always 0 on POSIX) and the number of bytes waiting to be read.
  // Returns false when the handle is invalid or the device is gone (unplugged, far end closed).
  [[nodiscard]] virtual bool GetStatus(Handle handle, std::uint32_t& errors,
                                       std::uint32_t& queuedInput) = 0;
  // Reads up to buffer.size() bytes. Returns at once when asked for no more than the queued
  // count. Returns the number read, or -1 when the handle is invalid or the device is gone.
  [[nodiscard]] virtual int Read(Handle handle, std::span<std::uint8_t> buffer) = 0;
  // Writes the bytes, giving up after max(500 ms, twice their time on the line at the current
  // settings) so that a peer that stops taking data cannot hold the program. Returns the number
  // of bytes the port took (fewer when time ran out), or -1 when it failed before taking any.
  virtual int Write(Handle handle, std::span<const std::uint8_t> bytes) = 0;
  // Releases the port and its exclusive hold. Does nothing for kInvalidHandle.
  virtual void Close(Handle handle) = 0;
};

// The platform's implementation. It is safe to use from several threads and by several programs
// in one process; it keeps only per-handle state.
SerialApi& SystemSerial();

// The device path Open uses for a port name. A name passes as it stands, except a bare "COMn"
// (n from 1, no leading zero, any letter case): on POSIX, when no file of that name exists, it
// means /dev/ttyS(n-1); on Win32 it gets the "\\.\" device prefix, without which COM10 and up
// cannot be opened. No value for an empty name, one longer than kMaxPortNameLength, or one
// holding a NUL.
std::optional<std::string> DevicePath(std::string_view name);

// The USB serial adapters present: on POSIX the entries ttyUSB<n> and ttyACM<n> of `directory`,
// as paths, sorted by kind and then by number (ttyUSB2 before ttyUSB10). Empty on Win32 and when
// the directory cannot be read.
std::vector<std::string> UsbSerialDevices(std::string_view directory = "/dev");

}  // namespace port
