// Building packets, blocks and frames.
#include "link/frame.h"

#include <algorithm>
#include <array>

#include "link/line_code.h"

namespace protocol {

namespace {

void AppendIdentifier(std::vector<std::uint8_t>& out, std::uint16_t id) {
  out.push_back(static_cast<std::uint8_t>(id >> 8));
  out.push_back(static_cast<std::uint8_t>(id & 0xFF));
}

}  // namespace

std::vector<std::uint8_t> BuildPacket(std::uint16_t receiver, std::uint16_t sender,
                                      std::span<const std::uint16_t> route,
                                      std::span<const std::uint8_t> payload) {
  const auto hops = std::min<std::size_t>(route.size(), kMaxRetransmitters);
  std::vector<std::uint8_t> packet;
  packet.reserve(6 + 2 * hops + payload.size());
  packet.push_back(HeaderLength(static_cast<int>(hops)));
  packet.push_back(0x00);
  AppendIdentifier(packet, receiver);
  AppendIdentifier(packet, sender);
  for (std::size_t i = hops; i-- > 0;) {
    AppendIdentifier(packet, route[i]);
  }
  packet.insert(packet.end(), payload.begin(), payload.end());
  return packet;
}

std::uint32_t PieceChecksum(std::span<const std::uint8_t> piece, std::uint32_t seed) {
  std::uint32_t crc = seed;
  for (std::uint8_t b : piece) {
    crc = CrcUpdate(crc, b);
  }
  return crc;
}

std::vector<std::uint8_t> BuildBlockStream(std::span<const std::uint8_t> packet,
                                           std::uint32_t seed) {
  std::vector<std::uint8_t> stream;
  stream.reserve(packet.size() + 2 * (packet.size() / kPieceSize + 1));
  for (std::size_t at = 0; at < packet.size(); at += kPieceSize) {
    const auto piece = packet.subspan(at, std::min<std::size_t>(kPieceSize, packet.size() - at));
    const std::uint32_t crc = PieceChecksum(piece, seed);
    stream.push_back(static_cast<std::uint8_t>((crc >> 8) & 0xFF));
    stream.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    stream.insert(stream.end(), piece.begin(), piece.end());
  }
  return stream;
}

void WriteFrame(std::span<std::uint8_t, kChunkSize> chunk, const Preamble& preamble,
                std::span<const std::uint8_t> blockStream, const WriteFn& write) {
  const int pairs = std::clamp(preamble.pairs, 0, kMaxPreamblePairs);
  for (int i = 0; i < 2 * pairs; i += 2) {
    chunk[static_cast<std::size_t>(i)] = preamble.high;
    chunk[static_cast<std::size_t>(i) + 1] = preamble.low;
  }
  write(chunk.first(static_cast<std::size_t>(2 * pairs)));

  chunk[0] = kStartMark;
  write(chunk.first(1));

  for (std::size_t at = 0; at < blockStream.size(); at += kSliceLines) {
    const auto slice =
        blockStream.subspan(at, std::min<std::size_t>(kSliceLines, blockStream.size() - at));
    for (std::size_t p = 0; p < slice.size(); ++p) {
      chunk[2 * p] = EncodeHighNibble(slice[p]);
      chunk[2 * p + 1] = EncodeLowNibble(slice[p]);
    }
    write(chunk.first(2 * slice.size()));
  }

  chunk[0] = kEndMark;
  write(chunk.first(1));
}

std::vector<std::uint8_t> BuildFrame(const Preamble& preamble,
                                     std::span<const std::uint8_t> blockStream) {
  std::array<std::uint8_t, kChunkSize> chunk{};
  std::vector<std::uint8_t> frame;
  WriteFrame(chunk, preamble, blockStream, [&frame](std::span<const std::uint8_t> bytes) {
    frame.insert(frame.end(), bytes.begin(), bytes.end());
  });
  return frame;
}

}  // namespace protocol
