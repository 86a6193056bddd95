// One record per frame end for a stream with several frames, noise and faults between them.
#include "link/decoder.h"

#include <gtest/gtest.h>

#include "tests/support/frames.h"

namespace {

using namespace protocol;
using fixtures::Bytes;
using fixtures::Hex;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(StreamDecoder, OneRecordPerFrameEnd) {
  Bytes badCrc = fixtures::Frame(2, 1, {0xAA}, 0xEDCB);
  const Bytes stream = Hex("00 11 4B") + fixtures::kWorkedFrame + Hex("FF") + badCrc +
                       Hex("2B 55 56 59 4B") + Hex("2B 4B") + Hex("2B 55 56");
  StreamDecoder decoder(0xFFFF);
  decoder.Feed(stream);
  decoder.Finish();
  const auto records = decoder.TakeRecords();
  ASSERT_EQ(records.size(), 5u);

  EXPECT_EQ(records[0], (FrameRecord{.frame = FrameVerdict::Ok,
                                     .bitsGood = true,
                                     .crcGood = true,
                                     .sender = 1,
                                     .receiver = 2,
                                     .bytes = 22,
                                     .payload = {1, 2}}));
  EXPECT_EQ(records[1], (FrameRecord{.frame = FrameVerdict::Ok,
                                     .bitsGood = true,
                                     .crcGood = false,
                                     .sender = 1,
                                     .receiver = 2,
                                     .bytes = 20,
                                     .payload = {0xAA}}));
  EXPECT_EQ(records[2], (FrameRecord{.frame = FrameVerdict::Odd, .bitsGood = false, .bytes = 4}));
  EXPECT_EQ(
      records[3],
      (FrameRecord{.frame = FrameVerdict::Short, .bitsGood = true, .crcGood = false, .bytes = 0}));
  EXPECT_EQ(records[4], (FrameRecord{.frame = FrameVerdict::Unterminated, .bytes = 4}));
  EXPECT_FALSE(decoder.InFrame());
}

TEST(StreamDecoder, RejectingDecoderDropsDamagedPayloads) {
  StreamDecoder decoder(0xEDCB, /*acceptDamaged=*/false);
  decoder.Feed(fixtures::kWorkedFrame);
  const auto records = decoder.TakeRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].crcGood, false);
  EXPECT_TRUE(records[0].payload.empty());
  EXPECT_FALSE(records[0].sender.has_value());
}

}  // namespace
