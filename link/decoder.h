// A byte stream read through the program's own receiver, one record per frame end: what the
// window's lamps and fields would have shown. Used by the command-line tools and the tests.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "link/receiver.h"
#include "text/line_list.h"

namespace protocol {

enum class FrameVerdict {
  Ok,            // ended normally and held a header
  Odd,           // end mark after an odd number of code bytes
  Short,         // ended normally but too short for its header
  Unterminated,  // still open when the input ended, or dropped by the frame time-out
};

struct FrameRecord {
  FrameVerdict frame = FrameVerdict::Ok;
  std::optional<bool> bitsGood;  // no value: not judged
  std::optional<bool> crcGood;
  std::optional<std::uint16_t> sender;
  std::optional<std::uint16_t> receiver;
  int bytes = 0;                      // the frame's byte count as the window shows it
  std::vector<std::uint8_t> payload;  // as delivered when damaged packets are accepted

  bool operator==(const FrameRecord&) const = default;
};

class StreamDecoder : private ReceiverEvents {
 public:
  // Damaged packets are accepted by default, so their payload can be seen.
  explicit StreamDecoder(std::int32_t crcSeed, bool acceptDamaged = true);

  void Feed(std::span<const std::uint8_t> bytes);
  // Drops a frame in progress the way the frame time-out does; records it as unterminated.
  void TimeOut();
  // True while a frame has started and not ended.
  bool InFrame() const { return registers_.RxState != 1; }
  // Records the frame still open, if any, as unterminated; the decoder is idle afterwards.
  void Finish();
  // The records of the frames that ended since the last call.
  std::vector<FrameRecord> TakeRecords();

 private:
  void FrameStarted() override;
  void FrameLengthChanged(int bytes) override;
  void FrameEnded(FrameEnd how) override;
  void LightLamp(Lamp lamp, bool good) override;
  void ShowIdentifiers(std::uint16_t receiver, std::uint16_t sender) override;
  void ClearIdentifiers() override;
  void Deliver(const std::string& line) override;
  void PacketChecked(const PacketReport& report) override;

  ReceiverRegisters registers_;
  text::LineList blockStream_;
  text::LineList payload_;
  Receiver receiver_;
  PacketOptions options_;
  FrameRecord current_;
  std::vector<FrameRecord> records_;
};

}  // namespace protocol
