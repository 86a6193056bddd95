// Bytes through the port, a stalled peer, an unplug, bad handles, signal lines and time-outs.
#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <numeric>
#include <vector>

#include "port/serial_port.h"
#include "tests/port/open_port.h"
#include "tests/support/pty.h"

namespace {

using namespace std::chrono_literals;
using porttest::OpenPort;
using porttest::Serial;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// Waits for input on the port itself (POSIX: the handle is an fd), for at most `left`.
void AwaitInput(port::Handle handle, std::chrono::milliseconds left) {
  pollfd readable{.fd = static_cast<int>(handle), .events = POLLIN, .revents = 0};
  ::poll(&readable, 1, static_cast<int>(std::max(left.count(), std::int64_t{0})));
}

// Reads the way the receive poll does: ask for the queued count, read at most that much and
// never more than 256 at a time.
Bytes ReceiveAll(port::Handle handle, std::size_t count) {
  const auto deadline = Clock::now() + 2s;
  Bytes got;
  while (got.size() < count && Clock::now() < deadline) {
    std::uint32_t errors = 0;
    std::uint32_t queued = 0;
    if (!Serial().GetStatus(handle, errors, queued)) {
      ADD_FAILURE() << "status failed";
      break;
    }
    if (queued == 0) {
      AwaitInput(handle, std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()));
      continue;
    }
    std::array<std::uint8_t, 256> chunk{};
    const auto wanted = std::min<std::size_t>({queued, chunk.size(), count - got.size()});
    const int n = Serial().Read(handle, std::span(chunk.data(), wanted));
    EXPECT_EQ(n, static_cast<int>(wanted)) << "a read of no more than the queued count fell short";
    if (n <= 0) {
      break;
    }
    got.insert(got.end(), chunk.begin(), chunk.begin() + n);
  }
  return got;
}

TEST(PortData, EveryByteValuePassesUntouchedBothWays) {
  // A fresh slave is cooked: line editing, echo, signals, CR and NL mapping, XON/XOFF and output
  // processing would each swallow, change or add some of these bytes. The two directions use
  // opposite orders so that an echo cannot pass for the written bytes.
  Bytes upward(256);
  std::iota(upward.begin(), upward.end(), 0);
  const Bytes downward(upward.rbegin(), upward.rend());

  fixtures::PtyPair pty;
  OpenPort port(pty.SlavePath());
  ASSERT_TRUE(port.ok());
  ASSERT_TRUE(port.Configure(115200));

  pty.Inject(upward);
  EXPECT_EQ(ReceiveAll(port.handle(), upward.size()), upward);

  EXPECT_EQ(Serial().Write(port.handle(), downward), 256);
  EXPECT_EQ(pty.Collect(downward.size(), 2s), downward);
}

TEST(PortWrite, APeerThatNeverReadsCannotHoldAWrite) {
  // 64 KiB is several times what a pty holds (14 to 20 KiB), so the write has to give up. At
  // 8N1 a byte is 10 bits; the bound is max(500 ms, twice the line time).
  constexpr std::size_t kCount = 64 * 1024;
  struct Row {
    const char* fault;
    std::int32_t rate;
    std::chrono::milliseconds bound;
  };
  const Row rows[] = {
      {"no floor: a fast line gives up at once", 1'000'000'000, 500ms},
      {"the bound ignores the line time", 1'092'267, 1200ms},  // 2 * 655360 bits / rate
  };
  Bytes bytes(kCount);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(i % 251);
  }
  for (const auto& row : rows) {
    fixtures::PtyPair pty;
    OpenPort port(pty.SlavePath());
    ASSERT_TRUE(port.ok());
    ASSERT_TRUE(port.Configure(row.rate));

    const auto start = Clock::now();
    const int put = Serial().Write(port.handle(), bytes);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    RecordProperty(std::string("write_ms_at_") + std::to_string(row.rate), took.count());

    EXPECT_GE(took, row.bound) << row.fault;
    EXPECT_LT(took, row.bound + 300ms) << row.fault;
    ASSERT_GT(put, 0) << "the pty took nothing";
    ASSERT_LT(put, static_cast<int>(kCount)) << "the pty took everything: no stall to time";
    const auto put_bytes = static_cast<std::size_t>(put);
    EXPECT_EQ(pty.Collect(put_bytes, 2s), Bytes(bytes.begin(), bytes.begin() + put))
        << "the count returned is not what reached the far end";
  }
}

TEST(PortUnplug, AGoneFarEndFailsStatusAndNothingHangs) {
  fixtures::PtyPair pty;
  OpenPort port(pty.SlavePath());
  ASSERT_TRUE(port.ok());
  ASSERT_TRUE(port.Configure(9600));
  std::uint32_t errors = 0;
  std::uint32_t queued = 0;
  ASSERT_TRUE(Serial().GetStatus(port.handle(), errors, queued));

  pty.Unplug();
  const auto deadline = Clock::now() + 2s;
  while (Serial().GetStatus(port.handle(), errors, queued) && Clock::now() < deadline) {
    AwaitInput(port.handle(), 10ms);
  }
  EXPECT_FALSE(Serial().GetStatus(port.handle(), errors, queued));

  std::array<std::uint8_t, 16> buffer{};
  EXPECT_EQ(Serial().Read(port.handle(), buffer), -1) << "a hung-up read taken for no data";
  const auto start = Clock::now();
  EXPECT_EQ(Serial().Write(port.handle(), buffer), -1);
  EXPECT_LT(Clock::now() - start, 100ms) << "a write to a gone port waited for its bound";
}

TEST(PortHandles, EveryOperationFailsOnAHandleThatIsNoPort) {
  // After a failed open the program runs the rest of its open sequence on the invalid handle.
  fixtures::PtyPair pty;
  OpenPort real(pty.SlavePath());
  ASSERT_TRUE(real.ok());
  struct Row {
    const char* fault;
    port::Handle handle;
  };
  const Row rows[] = {
      {"the invalid handle taken for a port", port::kInvalidHandle},
      {"a handle beyond an fd cut down to an open one", (port::Handle{1} << 32) | real.handle()},
  };
  for (const auto& row : rows) {
    std::uint32_t errors = 0;
    std::uint32_t queued = 0;
    port::DeviceControl control{.BaudRate = 9600, .ByteSize = 8};
    port::Timeouts timeouts;
    std::array<std::uint8_t, 4> buffer{};
    EXPECT_FALSE(Serial().SetQueueSizes(row.handle, 256, 256)) << row.fault;
    EXPECT_FALSE(Serial().GetSettings(row.handle, control)) << row.fault;
    EXPECT_FALSE(Serial().SetSettings(row.handle, control)) << row.fault;
    EXPECT_FALSE(Serial().GetTimeouts(row.handle, timeouts)) << row.fault;
    EXPECT_FALSE(Serial().SetTimeouts(row.handle, timeouts)) << row.fault;
    EXPECT_FALSE(Serial().RequestLine(row.handle, port::kSetDtr)) << row.fault;
    EXPECT_FALSE(Serial().GetStatus(row.handle, errors, queued)) << row.fault;
    EXPECT_EQ(Serial().Read(row.handle, buffer), -1) << row.fault;
    EXPECT_EQ(Serial().Write(row.handle, buffer), -1) << row.fault;
    Serial().Close(row.handle);
  }
  std::uint32_t errors = 0;
  std::uint32_t queued = 0;
  EXPECT_TRUE(Serial().GetStatus(real.handle(), errors, queued)) << "a bad handle closed a port";
}

TEST(PortLines, SignalRequestsFailQuietlyWithoutModemLines) {
  // A pty has no modem lines: every request fails with ENOTTY and the port carries on.
  fixtures::PtyPair pty;
  OpenPort port(pty.SlavePath());
  ASSERT_TRUE(port.ok());
  for (const int request :
       {int{port::kSetDtr}, int{port::kClearDtr}, int{port::kSetRts}, int{port::kClearRts}, 0, 7}) {
    EXPECT_FALSE(Serial().RequestLine(port.handle(), request)) << request;
  }
  const Bytes byte = {0x5A};
  EXPECT_EQ(Serial().Write(port.handle(), byte), 1);
  EXPECT_EQ(pty.Collect(1, 2s), byte);
}

TEST(PortTimeouts, EachPortKeepsWhatWasSet) {
  fixtures::PtyPair first;
  fixtures::PtyPair second;
  OpenPort a(first.SlavePath());
  OpenPort b(second.SlavePath());
  ASSERT_TRUE(a.ok());
  ASSERT_TRUE(b.ok());
  port::Timeouts read;
  ASSERT_TRUE(Serial().GetTimeouts(a.handle(), read));
  EXPECT_EQ(read, port::Timeouts{}) << "a fresh port reports time-outs nobody set";

  const port::Timeouts forA{1, 2, 3, 4, 5};
  const port::Timeouts forB{10, 20, 30, 40, 50};
  ASSERT_TRUE(Serial().SetTimeouts(a.handle(), forA));
  ASSERT_TRUE(Serial().SetTimeouts(b.handle(), forB));
  ASSERT_TRUE(Serial().GetTimeouts(a.handle(), read));
  EXPECT_EQ(read, forA) << "one port's time-outs shared with another";
  ASSERT_TRUE(Serial().GetTimeouts(b.handle(), read));
  EXPECT_EQ(read, forB);
}

}  // namespace
