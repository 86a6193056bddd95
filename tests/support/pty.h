// A pseudo-terminal pair through which port tests drive the real port code.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace fixtures {

// The slave's line settings as the kernel holds them (flag values as in <termios.h>).
struct LineFlags {
  std::uint32_t iflag = 0;
  std::uint32_t oflag = 0;
  std::uint32_t cflag = 0;
  std::uint32_t lflag = 0;
  std::uint32_t ispeed = 0;
  std::uint32_t ospeed = 0;
  bool operator==(const LineFlags&) const = default;
};

// Every call throws std::system_error when the system refuses it, so a broken fixture fails the
// test instead of passing it vacuously. The test holds the master; the code under test opens the
// slave by its path, as it would a serial device.
class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  // The path that opens the slave, e.g. /dev/pts/3.
  const std::string& SlavePath() const { return slavePath_; }

  // The slave's settings, read through the master: on a pty master TCGETS2 and TCSETS2 act on
  // the slave's record, so the test need not open the slave, which the code under test holds
  // exclusively.
  LineFlags Settings() const;
  // Replaces the slave's four flag words (the rate stays), to start a test from a given state.
  void SetFlags(const LineFlags& flags);

  // Sends bytes to the slave as a device on the far end would.
  void Inject(std::span<const std::uint8_t> bytes);
  // Collects what the slave wrote until `count` bytes have come or `within` has passed.
  std::vector<std::uint8_t> Collect(std::size_t count, std::chrono::milliseconds within);

  // Closes the master: the far end goes away, as when a USB adapter is pulled.
  void Unplug();

 private:
  int master_ = -1;
  std::string slavePath_;
};

}  // namespace fixtures
