// Linux line settings through termios2: exact rates with BOTHER, raw mode, parity and stop bits.
#include "port/termios2_linux.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "port/common.h"

namespace port::tty {
namespace {

static_assert(sizeof(termios2) <= sizeof(PlatformSettings::bytes));

// Drivers may round a rate to what their clock divides into; a byte still frames when both ends
// are within a few percent, so only a larger miss counts as not taking the rate.
constexpr std::uint64_t kRateTolerancePercent = 3;

bool Get(int fd, termios2& t) {
  return ioctl(fd, TCGETS2, &t) == 0;
}
bool Set(int fd, const termios2& t) {
  return ioctl(fd, TCSETS2, &t) == 0;
}

tcflag_t ParityFlags(std::uint8_t parity) {
  switch (parity) {
    case kOddParity:
      return PARENB | PARODD;
    case kEvenParity:
      return PARENB;
    case kMarkParity:
      return PARENB | CMSPAR | PARODD;
    case kSpaceParity:
      return PARENB | CMSPAR;
    default:
      return 0;
  }
}

std::uint8_t ParityCode(tcflag_t cflag) {
  if ((cflag & PARENB) == 0) {
    return kNoParity;
  }
  if ((cflag & CMSPAR) != 0) {
    return (cflag & PARODD) != 0 ? kMarkParity : kSpaceParity;
  }
  return (cflag & PARODD) != 0 ? kOddParity : kEvenParity;
}

int DataBits(tcflag_t cflag) {
  switch (cflag & CSIZE) {
    case CS5:
      return 5;
    case CS6:
      return 6;
    case CS7:
      return 7;
    default:
      return 8;
  }
}

// Every byte must pass untouched both ways: no line editing, echo, signals, newline or case
// translation, and no XON/XOFF, which would swallow or insert bytes of a binary frame. Hardware
// flow control and parity checking stay as the port reported them. CLOCAL because a carrier drop
// would otherwise hang the port up, which looks like an unplug.
void MakeRaw(termios2& t) {
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                      IUCLC | IXON | IXANY | IXOFF | IMAXBEL);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag |= CREAD | CLOCAL;
  // With VMIN 0 a read of an empty port would return 0 like a hung-up one does.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

bool TookRate(speed_t kept, std::uint32_t wanted) {
  const std::uint64_t miss = kept > wanted ? kept - wanted : wanted - kept;
  return miss * 100 <= wanted * kRateTolerancePercent;
}

}  // namespace

bool Read(int fd, DeviceControl& control) {
  termios2 t{};
  if (!Get(fd, t)) {
    return false;
  }
  constexpr auto kMaxRate = static_cast<speed_t>(std::numeric_limits<std::int32_t>::max());
  control.BaudRate = static_cast<std::int32_t>(t.c_ospeed > kMaxRate ? kMaxRate : t.c_ospeed);
  control.ByteSize = static_cast<std::uint8_t>(DataBits(t.c_cflag));
  control.Parity = ParityCode(t.c_cflag);
  control.StopBits = (t.c_cflag & CSTOPB) != 0 ? kTwoStopBits : kOneStopBit;
  std::memcpy(control.platform.bytes.data(), &t, sizeof(t));
  control.platform.size = sizeof(t);
  return true;
}

bool Write(int fd, const DeviceControl& control) {
  if (!common::Supported(control)) {
    return false;
  }
  termios2 before{};
  if (!Get(fd, before)) {
    return false;
  }
  termios2 t = before;
  if (control.platform.size == sizeof(t)) {
    std::memcpy(&t, control.platform.bytes.data(), sizeof(t));
  }
  MakeRaw(t);
  const auto rate = static_cast<std::uint32_t>(control.BaudRate);
  const tcflag_t parity = ParityFlags(control.Parity);
  const tcflag_t stop = control.StopBits == kTwoStopBits ? CSTOPB : 0;
  // CIBAUD cleared: the input rate follows the output rate.
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | CIBAUD | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
  t.c_cflag |= BOTHER | CS8 | parity | stop;
  t.c_ispeed = rate;
  t.c_ospeed = rate;
  if (!Set(fd, t)) {
    return false;
  }
  // TCSETS2 succeeds when the driver took any part, and drivers drop what they cannot do (mark
  // and space parity, an unreachable rate), so look at what it kept.
  termios2 kept{};
  constexpr tcflag_t kChecked = CSIZE | CSTOPB | PARODD | CMSPAR;
  if (Get(fd, kept) && (kept.c_cflag & kChecked) == (t.c_cflag & kChecked) &&
      TookRate(kept.c_ospeed, rate)) {
    return true;
  }
  (void)Set(fd, before);
  return false;
}

ByteTime ReadByteTime(int fd) {
  termios2 t{};
  if (!Get(fd, t)) {
    return {};
  }
  const int parityBits = (t.c_cflag & PARENB) != 0 ? 1 : 0;
  const int stopBits = (t.c_cflag & CSTOPB) != 0 ? 2 : 1;
  return {.bitsPerSecond = t.c_ospeed,
          .bitsPerByte = 1 + DataBits(t.c_cflag) + parityBits + stopBits};
}

}  // namespace port::tty
