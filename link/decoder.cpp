// Turning the receiver's reports into one record per frame.
#include "link/decoder.h"

#include "text/convert.h"

namespace protocol {

StreamDecoder::StreamDecoder(std::int32_t crcSeed, bool acceptDamaged)
    : receiver_(registers_, blockStream_, payload_, *this),
      options_{.crcSeed = crcSeed, .acceptDamaged = acceptDamaged} {}

void StreamDecoder::Feed(std::span<const std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) {
    receiver_.Step(b, options_);
  }
}

void StreamDecoder::TimeOut() {
  if (InFrame()) {
    receiver_.TimeOut();
  }
}

void StreamDecoder::Finish() {
  TimeOut();
}

std::vector<FrameRecord> StreamDecoder::TakeRecords() {
  std::vector<FrameRecord> taken;
  taken.swap(records_);
  return taken;
}

void StreamDecoder::FrameStarted() {
  current_ = FrameRecord{};
}

void StreamDecoder::FrameLengthChanged(int bytes) {
  current_.bytes = bytes;
}

void StreamDecoder::FrameEnded(FrameEnd how) {
  switch (how) {
    case FrameEnd::Normal:
      current_.frame = FrameVerdict::Ok;
      break;
    case FrameEnd::Odd:
      current_.frame = FrameVerdict::Odd;
      break;
    case FrameEnd::TimedOut:
      current_.frame = FrameVerdict::Unterminated;
      records_.push_back(current_);
      break;
  }
}

void StreamDecoder::LightLamp(Lamp lamp, bool good) {
  switch (lamp) {
    case Lamp::Frame:
      break;
    case Lamp::Bits:
      current_.bitsGood = good;
      // An odd frame lights only the frame and bit lamps and is over.
      if (current_.frame == FrameVerdict::Odd) {
        records_.push_back(current_);
      }
      break;
    case Lamp::Crc:
      current_.crcGood = good;
      break;
  }
}

void StreamDecoder::ShowIdentifiers(std::uint16_t receiver, std::uint16_t sender) {
  current_.receiver = receiver;
  current_.sender = sender;
}

void StreamDecoder::ClearIdentifiers() {
  current_.receiver.reset();
  current_.sender.reset();
}

void StreamDecoder::Deliver(const std::string& line) {
  current_.payload.push_back(static_cast<std::uint8_t>(text::ScanHex(line).value_or(0)));
}

void StreamDecoder::PacketChecked(const PacketReport& report) {
  if (!report.hasHeader) {
    current_.frame = FrameVerdict::Short;
  }
  records_.push_back(current_);
}

}  // namespace protocol
