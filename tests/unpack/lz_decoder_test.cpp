// The LZ decoder on hand-made streams: the worked entry and its solid follow-up, window
// wrap, match semantics, and the early ends for damaged input.
#include "unpack/lz_decoder.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/decoder_harness.h"
#include "support/stream_builder.h"

namespace {

using Bytes = std::vector<uint8_t>;
using rartest::StreamBuilder;

// A builder whose first table block gives every symbol a code.
StreamBuilder Started() {
  StreamBuilder b;
  b.TableBlock(rartest::FlatLzLengths());
  return b;
}

Bytes Expected(const StreamBuilder& b, size_t from = 0) {
  return Bytes(b.output().begin() + long(from), b.output().end());
}

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


TEST(LzDecoder, LiteralAtTheLastWindowPositionWrapsToTheFirst) {
  DecoderHarness h;
  StreamBuilder b = Started();
  b.Literal('s');
  for (uint32_t i = 0; i < (kWindowSize - 2) / 258; ++i) b.Long(258, 1);
  while (b.produced() < kWindowSize - 1) b.Literal('f');
  const uint32_t first = uint32_t(b.produced());
  ASSERT_EQ(first, kWindowSize - 1);
  EXPECT_EQ(h.Run(b.Finish(), int32_t(first), false), Expected(b));
  b.Literal('x');
  b.Literal('y');
  b.Long(4, 3);  // reaches back across the wrap: "fxy" + "f"
  EXPECT_EQ(h.Run(b.Finish(), 6, true), Bytes({'x', 'y', 'f', 'x', 'y', 'f'}));
  EXPECT_EQ(h.window()[kWindowMask], 'x');
  EXPECT_EQ(h.window()[0], 'y');
  EXPECT_EQ(h.state().windowPos, 5u);
}

TEST(LzDecoder, MatchesRepeatShortPeriods) {
  DecoderHarness h;
  StreamBuilder b = Started();
  b.Literal('q');
  b.Long(5, 1);
  b.Literal('a');
  b.Literal('b');
  b.Short(2);
  b.Recent(1, 4);
  const std::string want = "qqqqqqabababab";
  EXPECT_EQ(h.Run(b.Finish(), 14, false), Bytes(want.begin(), want.end()));
}

// Coded length and distance -> the length the decoder copies.
struct BonusCase {
  bool recent;
  uint32_t coded;
  uint32_t distance;
  uint32_t length;
};

class DistanceBonus : public testing::TestWithParam<BonusCase> {};

TEST_P(DistanceBonus, FarMatchesAreLonger) {
  const BonusCase& k = GetParam();
  DecoderHarness h;
  StreamBuilder b = Started();
  b.Literal('z');
  if (k.recent) {
    b.LongCoded(0, k.distance);  // puts the distance into the ring
    b.RecentCoded(1, k.coded);
  } else {
    b.LongCoded(k.coded, k.distance);
  }
  h.Run(b.Finish(), int32_t(b.produced()), false);
  EXPECT_EQ(h.state().lastLength, k.length);
  EXPECT_EQ(h.state().lastDistance, k.distance);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, DistanceBonus,
    testing::Values(BonusCase{false, 255, 0x40000, 260}, BonusCase{false, 255, 0x1FFF, 258},
                    BonusCase{false, 0, 0x2000, 4}, BonusCase{false, 0, 0x3FFFF, 4},
                    BonusCase{false, 0, 0x40000, 5}, BonusCase{false, 0, 1, 3},
                    BonusCase{true, 0, 0x100, 2}, BonusCase{true, 0, 0x101, 3},
                    BonusCase{true, 0, 0x1FFF, 3}, BonusCase{true, 0, 0x2000, 4},
                    BonusCase{true, 10, 0x40000, 15}, BonusCase{true, 255, 0x100000, 260}));

TEST(LzDecoder, RecentDistancesCountFromTheNewest) {
  DecoderHarness h;
  StreamBuilder b = Started();
  for (int i = 0; i < 40; ++i) b.Literal(uint8_t('A' + i % 26));
  b.Long(3, 10);
  b.Long(3, 20);
  b.Long(3, 30);
  b.Long(3, 5);
  b.Recent(4, 2);  // the oldest of the four: 10
  b.Recent(1, 2);  // now the newest: 10 again
  b.Repeat();      // length 2 at 10
  b.Recent(2, 3);  // the one before: 10 (pushed by the Recent(4) above)
  h.Run(b.Finish(), int32_t(b.produced()), false);
  EXPECT_EQ(h.state().lastDistance, 10u);
  EXPECT_EQ(h.state().recentDistanceCount, 8u);
  DecoderHarness again;
  StreamBuilder c = Started();
  for (int i = 0; i < 40; ++i) c.Literal(uint8_t('A' + i % 26));
  c.Long(3, 7);
  c.Recent(1, 5);
  EXPECT_EQ(again.Run(c.Finish(), int32_t(c.produced()), false), Expected(c));
  EXPECT_EQ(again.state().lastDistance, 7u);
  EXPECT_EQ(again.state().lastLength, 5u);
}

TEST(LzDecoder, HistoryStartsEmptyInANonSolidEntry) {
  DecoderHarness h;
  h.Run(kFourA, 4, false);  // leaves history and window bytes behind
  StreamBuilder b = Started();
  b.Repeat();       // length 0, distance 0: copies nothing
  b.Recent(1, 3);   // distance 0: each byte stays what it is (0 in a cleared window)
  b.Literal('k');
  EXPECT_EQ(h.Run(b.Finish(), 4, false), Bytes({0, 0, 0, 'k'}));
  EXPECT_EQ(h.state().recentDistanceCount, 2u);
  EXPECT_EQ(h.state().recentDistances[0], 0u);
}

TEST(LzDecoder, AnEmptyEntryStillReadsItsTablesAndTheTrailingCheck) {
  DecoderHarness h;
  StreamBuilder b = Started();
  b.Escape();  // trailing table block: read within this entry
  std::vector<uint8_t> next = rartest::FlatLzLengths();
  std::swap(next[0], next[297]);
  b.TableBlock(next);
  EXPECT_TRUE(h.Run(b.Finish(), 0, false).empty());
  EXPECT_EQ(h.outputCalls(), 1);  // the final flush writes nothing, but is made
  EXPECT_EQ(h.state().previousLengths[0], next[0]);
  b.Literal(7);
  EXPECT_EQ(h.Run(b.Finish(), 1, true), Bytes({7}));  // decoded with the new tables
}

TEST(LzDecoder, AMatchPastTheSizeIsWrittenWhole) {
  DecoderHarness h;
  StreamBuilder b = Started();
  b.Literal('m');
  b.Long(10, 1);
  EXPECT_EQ(h.Run(b.Finish(), 3, false), Bytes(11, 'm'));
  EXPECT_LT(h.unpackedBytesLeft(), 0);
}

TEST(LzDecoder, AnEntryLongerThanTheWindowIsFlushedBeforeItIsOverwritten) {
  DecoderHarness h;
  StreamBuilder b = Started();
  uint32_t i = 0;
  while (b.produced() < kWindowSize + kWindowSize / 2) {
    b.Literal(uint8_t(i * 31));
    b.Long(5 + i % 200, 1 + (i * 977) % 70000);
    ++i;
  }
  const Bytes out = h.Run(b.Finish(), int32_t(b.produced()), false);
  EXPECT_TRUE(out == Expected(b));
  // One flush when the window is nearly full (positions 0 up to the write position), then
  // the final flush in two pieces across the end of the window.
  EXPECT_EQ(h.outputCalls(), 3);
}

// Damaged input must end the entry: here the packed data ends while the stale buffer would
// decode to nothing but table blocks, which would never produce the missing bytes.
TEST(LzDecoder, EndsAtTheEndOfTheInputInsteadOfLoopingOverStaleBytes) {
  DecoderHarness h;
  std::vector<uint8_t> lengths(374, 0);
  lengths[kSymbolTableBlock] = 1;  // 269 is the whole literal code
  StreamBuilder b;
  b.TableBlock(lengths);
  // Zero bits decode to 269 and then to table blocks of all-zero lengths, whose tables
  // still answer 269 (their symbols keep the earlier contents): no byte is ever produced.
  for (int i = 0; i < 10000; ++i) b.Bits(0, 8);
  const Bytes packed = b.Finish();
  ASSERT_GT(packed.size(), 8192u);  // several refills
  EXPECT_TRUE(h.Run(packed, 1000, false).empty());
  EXPECT_EQ(h.packedBytesLeft(), 0);
  // A stream cut in the middle stops too, with fewer bytes than the header asks for.
  StreamBuilder c = Started();
  for (int i = 0; i < 5000; ++i) c.Literal(uint8_t(i));
  Bytes cut = c.Finish();
  cut.resize(cut.size() / 2);
  const Bytes out = h.Run(cut, 5000, false);
  EXPECT_LT(out.size(), 5000u);
}

// Multimedia data is not decoded: the entry ends at once (and fails its checksum), and so
// does a solid entry that continues in multimedia mode.
TEST(LzDecoder, EndsAnEntryAtAMultimediaTableBlock) {
  DecoderHarness h;
  StreamBuilder b = Started();
  b.Literal('a');
  b.Escape();
  b.MultimediaTableBlock(2);
  b.Bits(0x5555, 16);
  EXPECT_EQ(h.Run(b.Finish(), 100, false), Bytes({'a'}));
  EXPECT_EQ(h.state().multimediaMode, 0x8000);
  EXPECT_EQ(h.state().channelCount, 2);
  EXPECT_TRUE(h.Run({0x12, 0x34, 0x56, 0x78}, 50, true).empty());
  StreamBuilder m;
  m.MultimediaTableBlock(1);
  m.Bits(0xFFFF, 16);
  EXPECT_TRUE(h.Run(m.Finish(), 10, false).empty());
}

// CopyMatch against the byte-at-a-time rule, at the window's edges and for every kind of
// overlap (the fast copies must give the same bytes and positions).
TEST(LzDecoder, CopyMatchEqualsTheByteAtATimeCopy) {
  DecoderHarness h;
  DecoderState& d = *h.decoder();
  std::vector<uint8_t> model(kWindowSize);
  uint32_t seed = 1;
  for (uint32_t i = 0; i < kWindowSize; ++i) {
    seed = seed * 1103515245u + 12345u;
    model[i] = d.window[i] = uint8_t(seed >> 16);
  }
  const uint32_t positions[] = {0, 1, 7, 300, kWindowSize - 300, kWindowSize - 260,
                                kWindowSize - 5, kWindowSize - 1};
  const uint32_t distances[] = {0, 1, 2, 3, 7, 8, 9, 16, 259, 260, 261, 1000,
                                kWindowSize - 261, kWindowSize - 8, kWindowSize - 1, kWindowSize};
  const uint32_t lengths[] = {2, 3, 8, 9, 17, 260};
  for (uint32_t pos : positions)
    for (uint32_t distance : distances)
      for (uint32_t length : lengths) {
        d.windowPos = pos;
        int32_t left = 1000;
        CopyMatch(&d, length, distance, &left);
        uint32_t p = pos;
        for (uint32_t i = 0; i < length; ++i) {
          model[p] = model[(p - distance) & kWindowMask];
          p = (p + 1) & kWindowMask;
        }
        ASSERT_EQ(d.windowPos, p) << pos << " " << distance << " " << length;
        ASSERT_EQ(std::memcmp(d.window, model.data(), kWindowSize), 0)
            << pos << " " << distance << " " << length;
        ASSERT_EQ(d.lastLength, length);
        ASSERT_EQ(d.lastDistance, distance);
        ASSERT_EQ(left, int32_t(1000 - length));
      }
}

}  // namespace
