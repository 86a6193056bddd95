// Linux line settings through termios2 (internal to port/).
// Apart from the rest because <asm/termbits.h>, which alone has BOTHER and termios2, cannot share
// a file with <termios.h>.
#pragma once

#include <cstdint>

#include "port/serial_port.h"

namespace port::tty {

// Reads the line settings of a terminal into the four fields and the platform record.
[[nodiscard]] bool Read(int fd, DeviceControl& control);

// Applies the four fields in raw binary mode on top of control.platform (or the terminal's
// current settings when that is empty), with the exact rate through BOTHER, and checks what the
// driver kept. Fails, leaving the line as it was, on a value it cannot express or a driver that
// will not take it. The pty driver clears PARENB whatever is asked, so parity is checked through
// PARODD and CMSPAR only.
[[nodiscard]] bool Write(int fd, const DeviceControl& control);

// What one byte costs on the line at the current settings.
struct ByteTime {
  std::uint32_t bitsPerSecond = 0;  // 0 when the rate cannot be read
  int bitsPerByte = 0;              // start, data, parity and stop bits
};
ByteTime ReadByteTime(int fd);

}  // namespace port::tty
