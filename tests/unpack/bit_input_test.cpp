// Peeking, skipping and refilling the input buffer.
#include "unpack/bit_input.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/decoder_harness.h"

namespace {

TEST(BitInput, PeekAtBitSevenSpansThreeBytes) {
  DecoderHarness h;
  DecoderState& d = *h.decoder();
  d.inputBuffer[10] = 0x01;  // last bit 1
  d.inputBuffer[11] = 0x23;
  d.inputBuffer[12] = 0x45;
  d.inputPos = 10;
  d.inputBitPos = 7;
  EXPECT_EQ(PeekBits16(h.decoder()), 0x91A2u);  // 1 0010 0011 0100 010
  SkipBits(h.decoder(), 13);
  EXPECT_EQ(d.inputPos, 12u);
  EXPECT_EQ(d.inputBitPos, 4u);
  SkipBits(h.decoder(), 0);
  EXPECT_EQ(d.inputPos, 12u);
  EXPECT_EQ(ReadBits(h.decoder(), 0), 0u);
  EXPECT_EQ(ReadBits(h.decoder(), 4), 0x5u);
  EXPECT_EQ(d.inputPos, 13u);
}

class Refill : public testing::Test {
 protected:
  // Makes a packed stream of size bytes (byte i = i * 7 mod 251) the entry's data.
  void Open(uint32_t size) {
    std::vector<uint8_t> packed(size);
    for (uint32_t i = 0; i < size; ++i) packed[i] = Byte(i);
    h_.SetInput(packed);
  }
  static uint8_t Byte(uint32_t i) { return uint8_t(i * 7 % 251); }
  DecoderState* c() { return h_.decoder(); }
  DecoderHarness h_;
};

TEST_F(Refill, ContinuationKeepsTheReadPositionOnTheSameByteAndBit) {
  Open(40000);
  RefillInput(c(), true);
  DecoderState& d = *c();
  EXPECT_EQ(d.inputEnd, 8192);
  uint32_t start = 0;  // stream offset of buffer position 0
  for (uint32_t k : {0u, 5u, 31u}) {
    d.inputPos = 8160 + k;
    d.inputBitPos = 3;
    const uint8_t tail = d.inputBuffer[8191];
    RefillInput(c(), false);
    start += 8160;
    EXPECT_EQ(d.inputPos, k);
    EXPECT_EQ(d.inputBitPos, 3u);
    EXPECT_EQ(d.inputBuffer[31], tail);
    EXPECT_EQ(d.inputEnd, 8192);
    // The buffer continues the stream without a gap: the peek sees the stream's bits at
    // the same offset as before the refill.
    const uint32_t o = start + k;
    const uint32_t three = uint32_t(Byte(o)) << 16 | uint32_t(Byte(o + 1)) << 8 | Byte(o + 2);
    EXPECT_EQ(PeekBits16(c()), (three >> 5) & 0xFFFF) << k;
    for (uint32_t i = 0; i < 8192; ++i) ASSERT_EQ(d.inputBuffer[i], Byte(start + i)) << k;
  }
}

TEST_F(Refill, AnExhaustedContinuationLeavesInputEndAtTheReadPosition) {
  Open(8192 + 100);
  RefillInput(c(), true);
  DecoderState& d = *c();
  d.inputPos = 8170;
  RefillInput(c(), false);
  EXPECT_EQ(d.inputEnd, 100 + 32);
  EXPECT_EQ(d.inputDataEnd, 132u);
  const uint8_t stale = d.inputBuffer[40];
  d.inputPos = 8165;
  RefillInput(c(), false);
  EXPECT_EQ(d.inputEnd, 5);            // the read position
  EXPECT_EQ(d.inputDataEnd, 0u);       // none of the moved tail was real data
  EXPECT_EQ(d.inputBuffer[40], stale);  // behind the tail: what was there before
}

TEST_F(Refill, AShortFirstFillCountsWhatArrived) {
  Open(10);
  RefillInput(c(), true);
  EXPECT_EQ(c()->inputEnd, 10);
  EXPECT_EQ(c()->inputDataEnd, 10u);
  EXPECT_EQ(h_.packedBytesLeft(), 0);
}

}  // namespace
