// The wire format: packet, checksummed blocks and the frame around them. The transmitter in the
// window and the command-line tools both build frames here, so they cannot disagree.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace protocol {

inline constexpr int kMaxRetransmitters = 5;
inline constexpr int kPieceSize = 16;   // packet bytes per block
inline constexpr int kBlockSize = 18;   // checksum high, checksum low, 16 packet bytes
inline constexpr int kChunkSize = 256;  // the staging buffer every port write comes from
inline constexpr int kSliceLines = kChunkSize / 2;  // block-stream bytes per coded write
// Preamble pairs that fit the staging buffer in the one write the preamble goes out in.
inline constexpr int kMaxPreamblePairs = kChunkSize / 2;

// The header length byte: 6 plus two bytes for each retransmitter.
constexpr std::uint8_t HeaderLength(int retransmitters) {
  return static_cast<std::uint8_t>(6 + 2 * retransmitters);
}

// Header (length, 0x00, receiver, sender, retransmitters last hop first) and payload. `route`
// holds the retransmitters in route order, retransmitter 1 first; at most five are used.
std::vector<std::uint8_t> BuildPacket(std::uint16_t receiver, std::uint16_t sender,
                                      std::span<const std::uint16_t> route,
                                      std::span<const std::uint8_t> payload);

// The checksum of one piece: CrcUpdate over its bytes from the seed.
std::uint32_t PieceChecksum(std::span<const std::uint8_t> piece, std::uint32_t seed);

// The packet cut into pieces of 16 bytes (the last may be shorter, never empty), each preceded
// by its checksum, high byte first. An empty packet gives an empty stream.
std::vector<std::uint8_t> BuildBlockStream(std::span<const std::uint8_t> packet,
                                           std::uint32_t seed);

struct Preamble {
  std::uint8_t high = 0xB2;
  std::uint8_t low = 0x4D;
  int pairs = 0;  // bounded to 0..kMaxPreamblePairs when written
};

// Receives each port write in turn.
using WriteFn = std::function<void(std::span<const std::uint8_t>)>;

// Writes one frame the way the program puts it on the line, staging every write in `chunk`: the
// preamble in one write (zero bytes when there is none), the start mark alone, the line-coded
// block stream in slices of at most 256 code bytes, the end mark alone.
void WriteFrame(std::span<std::uint8_t, kChunkSize> chunk, const Preamble& preamble,
                std::span<const std::uint8_t> blockStream, const WriteFn& write);

// The whole frame as one byte sequence, for tools and tests.
std::vector<std::uint8_t> BuildFrame(const Preamble& preamble,
                                     std::span<const std::uint8_t> blockStream);

}  // namespace protocol
