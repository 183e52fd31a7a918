// The LZ decoder on hand-made streams: the worked entry and its solid follow-up, window
// wrap, match semantics, and the early ends for damaged input.
#include "unpack/lz_decoder.h"

#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Packed bytes of a 4-byte entry: one literal 'a' and a long match of length 3 at distance 1.
const Bytes kFourA = {0x00, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                      0x8B, 0xAC, 0xFF, 0xE5, 0xD9, 0x07, 0x01, 0x00};

TEST(LzDecoder, WorkedEntryAndItsSolidFollowUp) {
  DecoderHarness h;
  EXPECT_EQ(h.Run(kFourA, 4, false), Bytes(4, 0x61));
  EXPECT_EQ(h.state().lastLength, 3u);
  EXPECT_EQ(h.state().lastDistance, 1u);
  EXPECT_EQ(h.state().recentDistanceCount, 1u);
  EXPECT_EQ(h.state().windowPos, 4u);
  EXPECT_EQ(h.state().flushedPos, 4u);
  // Code 1 (symbol 270: length 3), then code 0 (distance slot 0: distance 1).
  EXPECT_EQ(h.Run({0x80}, 3, true), Bytes(3, 0x61));
  EXPECT_EQ(h.state().windowPos, 7u);
  EXPECT_EQ(h.state().recentDistanceCount, 2u);
}

}  // namespace
