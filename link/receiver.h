// The receiver: the three-state machine that finds frames in the byte stream, and the packet
// check that verifies and delivers what a frame carried. It knows nothing of windows; what a
// window shows is reported through ReceiverEvents.
#pragma once

#include <cstdint>
#include <string>

#include "text/line_list.h"

namespace protocol {

// The receiver's registers. The program keeps them in its state record, which derives from this.
struct ReceiverRegisters {
  std::int32_t RxState = 1;  // 1 waiting for '+'; 2 first code byte or 'K'; 3 second or 'K'
  std::int32_t RxCrcReceived = 0;
  std::int32_t RxCrcComputed = 0;
  std::uint8_t RxCrcError = 0;  // a block checksum of the current packet failed
  std::uint8_t RxByte = 0;      // the packet byte being rebuilt
  std::uint8_t RxBadCode = 0;   // the most recent code byte was invalid
};

enum class Lamp { Frame, Bits, Crc };

enum class FrameEnd {
  Normal,    // end mark after an even number of code bytes: the packet check follows
  Odd,       // end mark after an odd number of code bytes: nothing is delivered
  TimedOut,  // no end mark within the frame time-out
};

struct PacketReport {
  bool hasHeader = false;  // false: the frame was too short to hold a header
  bool bitsGood = false;
  bool crcGood = false;
  std::uint16_t receiver = 0;
  std::uint16_t sender = 0;
  int delivered = 0;  // payload lines handed to Deliver
};

// What the receiver asks of the window (or of a tool that prints instead).
class ReceiverEvents {
 public:
  virtual ~ReceiverEvents() = default;
  // A start mark: show 0 received bytes and start the frame time-out.
  virtual void FrameStarted() = 0;
  // The byte count of the frame so far: two code bytes a packet byte plus the two marks.
  virtual void FrameLengthChanged(int bytes) = 0;
  // The frame is over: stop the frame time-out.
  virtual void FrameEnded(FrameEnd how) = 0;
  virtual void LightLamp(Lamp lamp, bool good) = 0;
  // The addresses of the packet just read; cleared again when a damaged packet is dropped.
  virtual void ShowIdentifiers(std::uint16_t receiver, std::uint16_t sender) = 0;
  virtual void ClearIdentifiers() = 0;
  // One payload byte, as two hexadecimal digits, for the receive buffer (and the log).
  virtual void Deliver(const std::string& line) = 0;
  // The packet check is done; the hidden lists are empty again.
  virtual void PacketChecked(const PacketReport& report) = 0;
};

struct PacketOptions {
  std::int32_t crcSeed = 0xFFFF;
  bool acceptDamaged = false;  // deliver packets whose code bytes or checksums failed
};

// Binds the receiver's registers and its two hidden lists: the frame's block stream, one byte a
// decimal line, and the payload of the packet being checked, one byte a "%02X" line.
class Receiver {
 public:
  Receiver(ReceiverRegisters& registers, text::LineList& blockStream, text::LineList& payload,
           ReceiverEvents& events)
      : rx_(registers), blockStream_(blockStream), payload_(payload), events_(events) {}

  // Steps the state machine with one received byte.
  void Step(std::uint8_t byte, const PacketOptions& options);
  // The frame time-out fired: the partial frame is dropped and the receiver waits for '+'.
  void TimeOut();
  // Checks and delivers the block stream of a frame that ended normally.
  void CheckPacket(const PacketOptions& options);

 private:
  ReceiverRegisters& rx_;
  text::LineList& blockStream_;
  text::LineList& payload_;
  ReceiverEvents& events_;
};

}  // namespace protocol
