// Port settings as the kernel holds them: rates, parity, stop bits, refusals, untouched flags.
#include <gtest/gtest.h>
#include <termios.h>

#include <cstdint>

#include "port/serial_port.h"
#include "tests/port/open_port.h"
#include "tests/support/pty.h"

namespace {

using porttest::OpenPort;
using porttest::Serial;

TEST(PortSettings, EveryRateReadsBackExactly) {
  struct Row {
    std::int32_t rate;
    const char* fault;
  };
  constexpr const char* kNamed = "a rate with a B constant set wrongly";
  constexpr const char* kUnnamed = "a rate without a B constant refused or rounded";
  const Row rows[] = {
      {110, kNamed},     {300, kNamed},      {600, kNamed},       {1200, kNamed},
      {2400, kNamed},    {4800, kNamed},     {9600, kNamed},      {14400, kUnnamed},
      {19200, kNamed},   {38400, kNamed},    {56000, kUnnamed},   {57600, kNamed},
      {115200, kNamed},  {128000, kUnnamed}, {256000, kUnnamed},  {1, kUnnamed},
      {31250, kUnnamed}, {3000000, kNamed},  {1000001, kUnnamed}, {2147483647, kUnnamed},
  };
  fixtures::PtyPair pty;
  OpenPort port(pty.SlavePath());
  ASSERT_TRUE(port.ok());
  for (const auto& row : rows) {
    EXPECT_TRUE(port.Configure(row.rate)) << row.rate << ": " << row.fault;
    const auto line = pty.Settings();
    EXPECT_EQ(line.ospeed, static_cast<std::uint32_t>(row.rate)) << row.rate << ": " << row.fault;
    EXPECT_EQ(line.ispeed, static_cast<std::uint32_t>(row.rate))
        << row.rate << ": input rate does not follow";
    port::DeviceControl back;
    ASSERT_TRUE(Serial().GetSettings(port.handle(), back));
    EXPECT_EQ(back.BaudRate, row.rate) << row.rate << ": GetSettings reads another rate";
  }
}

TEST(PortSettings, ParityAndStopBitsReachTheLine) {
  // The pty driver clears PARENB whatever is asked, so what shows is PARODD, CMSPAR and CSTOPB:
  // none and even look alike here, and unlike every other choice. Each row starts from the
  // opposite of what it expects, so a bit left alone shows.
  struct Row {
    const char* fault;
    std::uint8_t parity;
    std::uint8_t stopBits;
    bool odd;
    bool stick;
    bool twoStops;
  };
  const Row rows[] = {
      {"none leaves odd or stick bits set", port::kNoParity, port::kOneStopBit, false, false,
       false},
      {"odd not set odd", port::kOddParity, port::kOneStopBit, true, false, false},
      {"even set odd or stick", port::kEvenParity, port::kOneStopBit, false, false, false},
      {"mark not stick odd", port::kMarkParity, port::kOneStopBit, true, true, false},
      {"space not stick even", port::kSpaceParity, port::kOneStopBit, false, true, false},
      {"two stop bits not set", port::kNoParity, port::kTwoStopBits, false, false, true},
      {"two stop bits lost beside parity", port::kSpaceParity, port::kTwoStopBits, false, true,
       true},
  };
  fixtures::PtyPair pty;
  OpenPort port(pty.SlavePath());
  ASSERT_TRUE(port.ok());
  for (const auto& row : rows) {
    auto start = pty.Settings();
    start.cflag &= ~static_cast<std::uint32_t>(PARODD | CMSPAR | CSTOPB);
    start.cflag |= (row.odd ? 0 : PARODD) | (row.stick ? 0 : CMSPAR) | (row.twoStops ? 0 : CSTOPB);
    pty.SetFlags(start);

    EXPECT_TRUE(port.Configure(9600, row.parity, row.stopBits)) << row.fault;
    const auto line = pty.Settings();
    EXPECT_EQ((line.cflag & PARODD) != 0, row.odd) << row.fault;
    EXPECT_EQ((line.cflag & CMSPAR) != 0, row.stick) << row.fault;
    EXPECT_EQ((line.cflag & CSTOPB) != 0, row.twoStops) << row.fault;
    port::DeviceControl back;
    ASSERT_TRUE(Serial().GetSettings(port.handle(), back));
    EXPECT_EQ(back.StopBits, row.stopBits) << row.fault;
    EXPECT_EQ(back.ByteSize, 8) << row.fault;
  }
}

TEST(PortSettings, RefusedSettingsLeaveTheLineAsItWas) {
  struct Row {
    const char* fault;
    std::int32_t rate;
    std::uint8_t byteSize;
    std::uint8_t parity;
    std::uint8_t stopBits;
  };
  const Row rows[] = {
      {"1.5 stop bits quietly made 1 or 2", 19200, 8, port::kNoParity, port::kOneAndHalfStopBits},
      {"an unknown stop-bit code taken", 19200, 8, port::kNoParity, 3},
      {"an unknown parity code taken", 19200, 8, 5, port::kOneStopBit},
      {"rate 0 taken: on a terminal it hangs the line up", 0, 8, port::kNoParity,
       port::kOneStopBit},
      {"a negative rate taken", -9600, 8, port::kNoParity, port::kOneStopBit},
      {"7 data bits taken for 8", 19200, 7, port::kNoParity, port::kOneStopBit},
  };
  // A fresh slave is in cooked mode at 38400, so a refusal that still went part of the way
  // (raw mode, the rate) shows in the flags.
  fixtures::PtyPair pty;
  OpenPort port(pty.SlavePath());
  ASSERT_TRUE(port.ok());
  const auto before = pty.Settings();
  for (const auto& row : rows) {
    port::DeviceControl control;
    ASSERT_TRUE(Serial().GetSettings(port.handle(), control));
    control.BaudRate = row.rate;
    control.ByteSize = row.byteSize;
    control.Parity = row.parity;
    control.StopBits = row.stopBits;
    EXPECT_FALSE(Serial().SetSettings(port.handle(), control)) << row.fault;
    EXPECT_EQ(pty.Settings(), before) << row.fault;
  }
}

TEST(PortSettings, HardwareFlowControlStaysAsThePortReportedIt) {
  struct Row {
    const char* fault;
    bool rtsCts;
    bool readFirst;  // whether the block came from GetSettings or was filled in from nothing
  };
  const Row rows[] = {
      {"flow control switched off", true, true},
      {"flow control switched on", false, true},
      {"a block never read rebuilt from scratch", true, false},
  };
  fixtures::PtyPair pty;
  OpenPort port(pty.SlavePath());
  ASSERT_TRUE(port.ok());
  for (const auto& row : rows) {
    auto start = pty.Settings();
    start.cflag = row.rtsCts ? start.cflag | CRTSCTS : start.cflag & ~CRTSCTS;
    pty.SetFlags(start);

    port::DeviceControl control;
    if (row.readFirst) {
      ASSERT_TRUE(Serial().GetSettings(port.handle(), control));
    }
    control.BaudRate = 4800;
    control.ByteSize = 8;
    EXPECT_TRUE(Serial().SetSettings(port.handle(), control)) << row.fault;
    EXPECT_EQ((pty.Settings().cflag & CRTSCTS) != 0, row.rtsCts) << row.fault;
    EXPECT_EQ(pty.Settings().ospeed, 4800u) << row.fault;
  }
}

}  // namespace
