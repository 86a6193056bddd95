// The receiver state machine and the packet check.
#include "link/receiver.h"

#include "link/line_code.h"
#include "text/convert.h"

namespace protocol {

namespace {

// The smallest block stream that holds a header: two checksum bytes and six header bytes.
constexpr int kShortestPacketLines = 8;

}  // namespace

void Receiver::Step(std::uint8_t byte, const PacketOptions& options) {
  switch (rx_.RxState) {
    case 2:
    case 3:
      if (byte == kEndMark) {
        const bool odd = rx_.RxState == 3;
        rx_.RxState = 1;
        events_.FrameEnded(odd ? FrameEnd::Odd : FrameEnd::Normal);
        events_.LightLamp(Lamp::Frame, true);
        if (odd) {
          events_.LightLamp(Lamp::Bits, false);
          blockStream_.Clear();
        } else {
          CheckPacket(options);
        }
      } else if (rx_.RxState == 2) {
        rx_.RxBadCode = static_cast<std::uint8_t>(IsBadCode(byte));
        rx_.RxByte = DecodeHighNibble(byte);
        rx_.RxState = 3;
      } else {
        rx_.RxBadCode = static_cast<std::uint8_t>(IsBadCode(byte));
        rx_.RxByte = static_cast<std::uint8_t>(rx_.RxByte + DecodeLowNibble(byte));
        blockStream_.Add(std::to_string(rx_.RxByte));
        events_.FrameLengthChanged(2 * blockStream_.Count() + 2);
        rx_.RxState = 2;
      }
      break;
    default:
      // Waiting for a start mark (and any other value: a damaged state starts afresh here).
      rx_.RxState = 1;
      if (byte == kStartMark) {
        rx_.RxBadCode = 0;
        rx_.RxCrcError = 0;
        rx_.RxState = 2;
        events_.FrameStarted();
      }
      break;
  }
}

void Receiver::TimeOut() {
  events_.LightLamp(Lamp::Frame, false);
  events_.FrameEnded(FrameEnd::TimedOut);
  blockStream_.Clear();
  rx_.RxState = 1;
}

void Receiver::CheckPacket(const PacketOptions& options) {
  PacketReport report;
  const int lines = blockStream_.Count();
  if (lines < kShortestPacketLines) {
    // No header to read: a damaged packet whatever the options say, so nothing is delivered.
    report.bitsGood = rx_.RxBadCode == 0;
    events_.LightLamp(Lamp::Bits, report.bitsGood);
    events_.LightLamp(Lamp::Crc, false);
    events_.ClearIdentifiers();
    blockStream_.Clear();
    payload_.Clear();
    events_.PacketChecked(report);
    return;
  }

  auto line = [this](int j) { return text::StrToInt(blockStream_.Get(j)); };
  report.hasHeader = true;
  const int headerLength = line(2);
  report.receiver = static_cast<std::uint16_t>(line(4) * 256 + line(5));
  report.sender = static_cast<std::uint16_t>(line(6) * 256 + line(7));
  events_.ShowIdentifiers(report.receiver, report.sender);

  for (int j = 0; j < lines; ++j) {
    const int k = j % 18;
    const int v = line(j);
    if (k == 0) {
      rx_.RxCrcReceived = v * 256;
    } else if (k == 1) {
      rx_.RxCrcReceived += v;
    } else if (k == 2) {
      rx_.RxCrcComputed = options.crcSeed;
    }
    rx_.RxCrcComputed = static_cast<std::int32_t>(
        CrcUpdate(static_cast<std::uint32_t>(rx_.RxCrcComputed), static_cast<std::uint8_t>(v)));
    if ((k == 17 || j == lines - 1) && rx_.RxCrcComputed != rx_.RxCrcReceived) {
      rx_.RxCrcError = 1;
    }
    if (k != 0 && k != 1 && j >= headerLength + 2) {
      payload_.Add(text::FormatHex2(static_cast<std::uint32_t>(v)));
    }
  }

  report.bitsGood = rx_.RxBadCode == 0;
  events_.LightLamp(Lamp::Bits, report.bitsGood);
  if (!report.bitsGood && !options.acceptDamaged) {
    payload_.Clear();
  }
  report.crcGood = rx_.RxCrcError == 0;
  events_.LightLamp(Lamp::Crc, report.crcGood);
  if (!report.crcGood && !options.acceptDamaged) {
    payload_.Clear();
    events_.ClearIdentifiers();
  }

  for (int i = 0; i < payload_.Count(); ++i) {
    events_.Deliver(payload_.Get(i));
  }
  report.delivered = payload_.Count();
  blockStream_.Clear();
  payload_.Clear();
  events_.PacketChecked(report);
}

}  // namespace protocol
