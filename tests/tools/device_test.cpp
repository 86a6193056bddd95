// The virtual device run as a separate process, talked to through the program's port layer.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <functional>
#include <thread>

#include "link/decoder.h"
#include "tests/support/cli_process.h"
#include "tests/support/frames.h"
#include "tests/tools/serial_link.h"
#include "text/convert.h"
#include "tools/record_format.h"

namespace {

using namespace std::chrono_literals;
using fixtures::Bytes;

// A device process and the path of the port it offers.
struct Device {
  explicit Device(std::vector<std::string> args)
      : child([&args] {
          args.insert(args.begin(), "device");
          return args;
        }()),
        path(child.ReadLine(2s).value_or("")) {}
  fixtures::CliProcess child;
  std::string path;
};

std::vector<std::string> Decode(const Bytes& bytes, std::int32_t seed = 0xFFFF) {
  protocol::StreamDecoder decoder(seed);
  decoder.Feed(bytes);
  decoder.Finish();
  std::vector<std::string> lines;
  for (const auto& record : decoder.TakeRecords()) {
    lines.push_back(cli::FormatRecord(record));
  }
  return lines;
}

TEST(Device, EchoesAFrameAfterItsReplyDelay) {
  Device device({});
  ASSERT_TRUE(device.path.starts_with("/dev/pts/")) << device.path;
  fixtures::SerialLink port(device.path);
  const auto sent = std::chrono::steady_clock::now();
  ASSERT_TRUE(port.Write(fixtures::kWorkedFrame));
  const Bytes echo = fixtures::Frame(0x0001, 0x0002, {0x01, 0x02});
  EXPECT_EQ(port.Read(echo.size(), 2s), echo);
  EXPECT_GE(std::chrono::steady_clock::now() - sent, 20ms);
}

TEST(Device, AnswersOnlyGoodFramesForItselfInItsOwnParameters) {
  Device device({"--netid", "1234", "--id", "AB", "--preamble-length", "2", "--preamble-code",
                 "1234", "--reply-delay", "0"});
  fixtures::SerialLink port(device.path);
  constexpr std::int32_t kSeed = 0xEDCB;
  Bytes requests = fixtures::Frame(0x0003, 0x0042, {0xAA}, kSeed);  // for someone else
  const auto add = [&requests](const Bytes& b) {
    requests.insert(requests.end(), b.begin(), b.end());
  };
  add(fixtures::Frame(0x00AB, 0x0042, {0xBB}));  // another network: every checksum fails
  Bytes badCode = fixtures::Frame(0x00AB, 0x0042, {0xCC}, kSeed);
  badCode[badCode.size() - 2] ^= 0x80;
  add(badCode);
  add(fixtures::Frame(0x00AB, 0x0042, {0xDD}, kSeed));
  ASSERT_TRUE(port.Write(requests));

  const auto packet = protocol::BuildPacket(0x0042, 0x00AB, {}, Bytes{0xDD});
  const Bytes expected =
      protocol::BuildFrame({.high = 0x12, .low = 0x34, .pairs = 2},
                           protocol::BuildBlockStream(packet, static_cast<std::uint32_t>(kSeed)));
  // Had it answered an earlier frame, that answer would have come first.
  EXPECT_EQ(port.Read(expected.size(), 2s), expected);
}

TEST(Device, FaultsDamageRepliesAsAsked) {
  struct Row {
    std::vector<std::string> faults;
    int requests;
    std::size_t replyBytes;  // everything the replies put on the line
    std::vector<std::string> decoded;
  };
  const std::string kGood = "frame=ok bits=ok crc=ok from=0002 to=0001 bytes=22 payload=0102";
  const Row rows[] = {
      {{"crc"}, 1, 22, {"frame=ok bits=ok crc=bad from=0002 to=0001 bytes=22 payload=0102"}},
      {{"bits"}, 1, 22, {"frame=ok bits=bad crc=ok from=0002 to=0001 bytes=22 payload=0102"}},
      {{"odd"}, 1, 21, {"frame=odd bits=bad crc=- from=- to=- bytes=20 payload=-"}},
      {{"unterminated"}, 1, 21, {"frame=unterminated bits=- crc=- from=- to=- bytes=22 payload=-"}},
      {{"noise"}, 1, 30, {kGood}},
      {{"crc+bits"}, 1, 22, {"frame=ok bits=bad crc=bad from=0002 to=0001 bytes=22 payload=0102"}},
      {{"none", "crc"},
       3,
       66,
       {kGood, "frame=ok bits=ok crc=bad from=0002 to=0001 bytes=22 payload=0102", kGood}},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args{"--reply-delay", "0"};
    for (const auto& f : row.faults) {
      args.insert(args.end(), {"--fault", f});
    }
    Device device(args);
    fixtures::SerialLink port(device.path);
    for (int i = 0; i < row.requests; ++i) {
      ASSERT_TRUE(port.Write(fixtures::kWorkedFrame));
    }
    const auto replies = port.Read(row.replyBytes, 2s);
    EXPECT_EQ(replies.size(), row.replyBytes) << row.faults[0];
    EXPECT_EQ(Decode(replies), row.decoded) << row.faults[0];
  }
}

TEST(Device, FloodsAtItsRateWithNothingLostAndKeepsReading) {
  constexpr int kRate = 25600;
  constexpr std::size_t kFrameBytes = 26;  // marks, 2 checksum, 6 header and 4 counter bytes
  Device device({"--flood", std::to_string(kRate)});
  // A fast line, so a write the device does not take gives up within half a second.
  fixtures::SerialLink port(device.path, 4'000'000);
  const auto start = std::chrono::steady_clock::now();
  // Far more than the line holds: taken only if the device goes on reading while it floods.
  bool taken = false;
  std::thread writer([&port, &taken] { taken = port.Write(Bytes(64 * 1024, 0x55)); });
  const Bytes received = port.Read(SIZE_MAX, 2s);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  writer.join();
  EXPECT_TRUE(taken);

  protocol::StreamDecoder decoder(0xFFFF);
  decoder.Feed(received);
  const auto records = decoder.TakeRecords();
  const double expected = seconds * kRate / kFrameBytes;
  EXPECT_GT(records.size(), 0.85 * expected);
  EXPECT_LT(records.size(), 1.1 * expected + 2);
  for (std::size_t i = 0; i < records.size(); ++i) {
    const Bytes counter{static_cast<std::uint8_t>(i >> 24), static_cast<std::uint8_t>(i >> 16),
                        static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)};
    ASSERT_EQ(
        cli::FormatRecord(records[i]),
        "frame=ok bits=ok crc=ok from=0002 to=0001 bytes=26 payload=" +
            [&counter] {
              std::string hex;
              for (auto b : counter) {
                hex += text::FormatHex2(b);
              }
              return hex;
            }())
        << "frame " << i;
  }
}

TEST(Device, DropsWhatWasOnItsWayWhenThePortClosesAndServesTheNextOpen) {
  Device device({"--reply-delay", "150"});
  {
    fixtures::SerialLink port(device.path);
    ASSERT_TRUE(port.Write(fixtures::kWorkedFrame));
    std::this_thread::sleep_for(50ms);  // read by now; its answer falls due after the close
  }
  std::this_thread::sleep_for(200ms);
  fixtures::SerialLink port(device.path);
  ASSERT_TRUE(port.Write(fixtures::Frame(0x0002, 0x0001, {0x03})));
  const Bytes echo = fixtures::Frame(0x0001, 0x0002, {0x03});
  EXPECT_EQ(port.Read(echo.size(), 2s), echo);
}

TEST(Device, EndsCleanlyWhenToldOrWhenItsReaderGoes) {
  struct Row {
    const char* name;
    std::function<void(fixtures::CliProcess&)> end;
  };
  const Row rows[] = {
      {"SIGINT", [](fixtures::CliProcess& c) { c.Signal(SIGINT); }},
      {"SIGTERM", [](fixtures::CliProcess& c) { c.Signal(SIGTERM); }},
      {"SIGHUP", [](fixtures::CliProcess& c) { c.Signal(SIGHUP); }},
      {"reader gone", [](fixtures::CliProcess& c) { c.CloseOutput(); }},
  };
  for (const auto& row : rows) {
    Device device({});
    ASSERT_FALSE(device.path.empty()) << row.name;
    row.end(device.child);
    EXPECT_EQ(device.child.Wait(2s), 0) << row.name;
  }
}

}  // namespace
