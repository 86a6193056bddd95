// The receiver with the window's frame time-out, for the commands that read a live port.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "link/decoder.h"

namespace cli {

using Clock = std::chrono::steady_clock;

// The program's frame time-out, from the start mark.
inline constexpr std::chrono::milliseconds kFrameTimeout{1000};

// A frame still open `timeout` after its start mark arrived is dropped as unterminated, as the
// window's frame timer does. A time-out of 0 never fires, as a timer of interval 0 never does.
class TimedDecoder {
 public:
  TimedDecoder(std::int32_t crcSeed, std::chrono::milliseconds timeout);

  // Bytes that arrived at `now`. Call Expire(now) first, as the timer would have fired before.
  void Feed(std::span<const std::uint8_t> bytes, Clock::time_point now);
  // Drops the open frame when its time is up.
  void Expire(Clock::time_point now);
  // When the open frame's time is up; no value when no frame is open or there is no time-out.
  std::optional<Clock::time_point> Deadline() const;
  // Records the open frame, if any, as unterminated.
  void Finish() { decoder_.Finish(); }
  std::vector<protocol::FrameRecord> TakeRecords() { return decoder_.TakeRecords(); }

 private:
  protocol::StreamDecoder decoder_;
  std::chrono::milliseconds timeout_;
  Clock::time_point deadline_{};
};

}  // namespace cli
