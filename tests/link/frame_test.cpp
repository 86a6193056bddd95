// The wire format: packets, blocks and the write sequence of a frame.
#include "link/frame.h"

#include <gtest/gtest.h>

#include <array>

#include "link/line_code.h"
#include "tests/support/frames.h"

namespace {

using namespace protocol;
using fixtures::Bytes;
using fixtures::Hex;

TEST(Frame, WorkedFrameByteForByte) {
  const Bytes payload = {0x01, 0x02};
  const auto packet = BuildPacket(0x0002, 0x0001, {}, payload);
  EXPECT_EQ(packet, Hex("06 00 00 02 00 01 01 02"));
  const auto stream = BuildBlockStream(packet, 0xFFFF);
  EXPECT_EQ(stream, Hex("70 68 06 00 00 02 00 01 01 02"));
  EXPECT_EQ(BuildFrame({.high = 0xB2, .low = 0x4D, .pairs = 1}, stream), fixtures::kWorkedFrame);
}

TEST(Frame, RetransmittersGoLastHopFirst) {
  const std::vector<std::uint16_t> route = {0x0010, 0x0030};  // retransmitters 1 and 3
  const auto packet = BuildPacket(0x0002, 0x0001, route, {});
  ASSERT_EQ(packet.size(), 10u);
  EXPECT_EQ(packet[0], 0x0A);
  EXPECT_EQ(Bytes(packet.begin() + 6, packet.end()), Hex("00 30 00 10"));
  const std::vector<std::uint16_t> six = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(BuildPacket(0, 0, six, {})[0], 16) << "at most five retransmitters";
}

TEST(Frame, PacketsAreCutIntoBlocksOfSixteen) {
  struct Row {
    std::size_t packetBytes;
    std::size_t streamBytes;
  };
  for (const Row row : {Row{16, 18}, Row{17, 21}, Row{32, 36}, Row{46, 52}, Row{1, 3}}) {
    Bytes packet(row.packetBytes);
    for (std::size_t i = 0; i < packet.size(); ++i) {
      packet[i] = static_cast<std::uint8_t>(i);
    }
    const auto stream = BuildBlockStream(packet, 0xFFFF);
    ASSERT_EQ(stream.size(), row.streamBytes) << row.packetBytes << " packet bytes";
    // Every block restarts from the seed.
    for (std::size_t at = 0; at < stream.size(); at += kBlockSize) {
      const std::size_t len = std::min<std::size_t>(kBlockSize, stream.size() - at);
      const auto piece = std::span(stream).subspan(at + 2, len - 2);
      const auto crc = PieceChecksum(piece, 0xFFFF);
      EXPECT_EQ(stream[at], crc >> 8);
      EXPECT_EQ(stream[at + 1], crc & 0xFF);
    }
  }
  EXPECT_TRUE(BuildBlockStream({}, 0xFFFF).empty());
}

TEST(Frame, SmallestFrameIsEighteenBytes) {
  const auto frame = fixtures::Frame(0, 0, {});
  ASSERT_EQ(frame.size(), 18u);
  EXPECT_EQ(frame.front(), kStartMark);
  EXPECT_EQ(frame.back(), kEndMark);
}

TEST(Frame, WritesPreambleMarksAndSlicesSeparately) {
  std::array<std::uint8_t, kChunkSize> chunk{};
  std::vector<std::size_t> sizes;
  Bytes wire;
  auto record = [&](std::span<const std::uint8_t> bytes) {
    sizes.push_back(bytes.size());
    wire.insert(wire.end(), bytes.begin(), bytes.end());
  };

  const Bytes stream(300, 0x5A);
  WriteFrame(chunk, {.high = 0xB2, .low = 0x4D, .pairs = 3}, stream, record);
  EXPECT_EQ(sizes, (std::vector<std::size_t>{6, 1, 256, 256, 88, 1}));
  EXPECT_EQ(Bytes(wire.begin(), wire.begin() + 7), Hex("B2 4D B2 4D B2 4D 2B"));

  sizes.clear();
  WriteFrame(chunk, {.pairs = 0}, Bytes(52, 1), record);
  EXPECT_EQ(sizes, (std::vector<std::size_t>{0, 1, 104, 1})) << "an empty preamble write";
}

TEST(Frame, PreambleNeverOverrunsTheChunk) {
  std::array<std::uint8_t, kChunkSize> chunk{};
  std::vector<std::size_t> sizes;
  auto record = [&](std::span<const std::uint8_t> bytes) { sizes.push_back(bytes.size()); };
  WriteFrame(chunk, {.pairs = 100000}, {}, record);
  WriteFrame(chunk, {.pairs = -5}, {}, record);
  EXPECT_EQ(sizes, (std::vector<std::size_t>{256, 1, 1, 0, 1, 1}));
}

}  // namespace
