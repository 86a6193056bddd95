// The frame time-out around the stream decoder.
#include "tools/timed_decoder.h"

namespace cli {

TimedDecoder::TimedDecoder(std::int32_t crcSeed, std::chrono::milliseconds timeout)
    : decoder_(crcSeed), timeout_(timeout) {}

void TimedDecoder::Feed(std::span<const std::uint8_t> bytes, Clock::time_point now) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const bool wasInFrame = decoder_.InFrame();
    decoder_.Feed(bytes.subspan(i, 1));
    // A start mark inside a frame is a code byte, so the time-out restarts only after an end.
    if (!wasInFrame && decoder_.InFrame()) {
      deadline_ = now + timeout_;
    }
  }
}

void TimedDecoder::Expire(Clock::time_point now) {
  if (const auto due = Deadline(); due && now >= *due) {
    decoder_.TimeOut();
  }
}

std::optional<Clock::time_point> TimedDecoder::Deadline() const {
  if (!decoder_.InFrame() || timeout_.count() == 0) {
    return std::nullopt;
  }
  return deadline_;
}

}  // namespace cli
