// The fast decoder against the straightforward reference decoder: the same entries, sound,
// damaged and random, must give the same bytes in the same output calls and leave the same
// state, field by field: window, positions, match history, tables and bit position.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "support/decoder_harness.h"
#include "support/reference_decoder.h"
#include "support/stream_builder.h"

namespace {

using rartest::Bytes;
using rartest::StreamBuilder;

void ExpectSameTable(const HuffmanTable& a, const HuffmanTable& b, const char* which) {
  EXPECT_EQ(a.symbolCount, b.symbolCount) << which;
  EXPECT_EQ(std::memcmp(a.limit, b.limit, sizeof a.limit), 0) << which;
  EXPECT_EQ(std::memcmp(a.firstIndex, b.firstIndex, sizeof a.firstIndex), 0) << which;
  EXPECT_EQ(std::memcmp(a.symbols, b.symbols, sizeof a.symbols), 0) << which;
}

void ExpectSameState(DecoderHarness& fast, DecoderHarness& slow) {
  const DecoderState& a = fast.state();
  const DecoderState& b = slow.state();
  EXPECT_EQ(a.windowPos, b.windowPos);
  EXPECT_EQ(a.flushedPos, b.flushedPos);
  EXPECT_EQ(std::memcmp(a.inputBuffer, b.inputBuffer, kInputBufferSize), 0);
  EXPECT_EQ(std::memcmp(a.previousLengths, b.previousLengths, kAllLengthsSize), 0);
  EXPECT_EQ(a.inputPos, b.inputPos);
  EXPECT_EQ(a.inputBitPos, b.inputBitPos);
  EXPECT_EQ(a.inputEnd, b.inputEnd);
  EXPECT_EQ(a.inputDataEnd, b.inputDataEnd);
  EXPECT_EQ(a.lastDistance, b.lastDistance);
  EXPECT_EQ(a.lastLength, b.lastLength);
  EXPECT_EQ(std::memcmp(a.recentDistances, b.recentDistances, sizeof a.recentDistances), 0);
  EXPECT_EQ(a.recentDistanceCount, b.recentDistanceCount);
  EXPECT_EQ(a.multimediaMode, b.multimediaMode);
  EXPECT_EQ(a.channelCount, b.channelCount);
  EXPECT_EQ(a.currentChannel, b.currentChannel);
  ExpectSameTable(a.preCodeTable, b.preCodeTable, "pre-code");
  ExpectSameTable(a.literalTable, b.literalTable, "literal");
  ExpectSameTable(a.distanceTable, b.distanceTable, "distance");
  ExpectSameTable(a.repeatLengthTable, b.repeatLengthTable, "repeat length");
  for (int k = 0; k < 4; ++k) ExpectSameTable(a.channelTables[k], b.channelTables[k], "channel");
  EXPECT_EQ(fast.unpackedBytesLeft(), slow.unpackedBytesLeft());
  EXPECT_EQ(fast.packedBytesLeft(), slow.packedBytesLeft());
  EXPECT_EQ(std::memcmp(fast.window(), slow.window(), kWindowSize), 0);
}

// Random lengths in which every symbol is present, skewed so that some codes are short and
// some reach 15 bits.
std::vector<uint8_t> RandomLengths(std::mt19937& rng) {
  std::vector<uint8_t> all;
  for (size_t n : {298, 48, 28}) {
    std::vector<uint64_t> f(n);
    for (uint64_t& x : f) {
      const uint32_t r = rng() % 1000;
      x = 1 + uint64_t(r) * r * r / 1000;
    }
    std::vector<uint8_t> l = rartest::CodeLengthsFor(f);
    all.insert(all.end(), l.begin(), l.end());
  }
  return all;
}

uint32_t Bonus(uint32_t distance, bool recent) {
  return (distance >= 0x40000) + (distance >= 0x2000) + (recent && distance >= 0x101);
}

uint32_t RandomDistance(std::mt19937& rng) {
  switch (rng() % 4) {
    case 0: return 1 + rng() % 8;
    case 1: return 1 + rng() % 300;
    case 2: return 0x1F00 + rng() % 0x200;  // around the first bonus
    default: return 1 + rng() % 0x100000;
  }
}

// A sound entry of about tokens symbols with random tables, literals and every kind of match.
void AddTokens(StreamBuilder& b, std::mt19937& rng, int tokens) {
  for (int i = 0; i < tokens; ++i) {
    switch (rng() % 12) {
      case 0: case 1: case 2: case 3: b.Literal(uint8_t(rng() % 4 ? 'a' + rng() % 6 : rng())); break;
      case 4: case 5: {
        const uint32_t d = RandomDistance(rng);
        b.Long(3 + (rng() % 3 ? rng() % 20 : rng() % 256) + Bonus(d, false), d);
        break;
      }
      case 6: b.Short(1 + rng() % 256); break;
      case 7: case 8: {
        const uint32_t k = 1 + rng() % 4;
        b.Recent(k, 2 + rng() % 40 + Bonus(b.recentDistance(k), true));
        break;
      }
      case 9: b.Repeat(); break;
      case 10: b.Literal(uint8_t(rng())); break;
      default:
        if (rng() % 8 == 0) {
          b.Escape();
          b.TableBlock(RandomLengths(rng), rng() % 2 == 0);
        } else {
          b.Literal(0);
        }
    }
  }
}

class Differential : public testing::TestWithParam<int> {};

TEST_P(Differential, FastAndReferenceDecodersAgree) {
  std::mt19937 rng(uint32_t(GetParam()) * 7919u + 17u);
  DecoderHarness fast;
  DecoderHarness slow(ReferenceUnpackEntry);
  StreamBuilder builder;
  bool haveTables = false;
  bool sound = true;  // every entry so far unaltered: the builder's output is the truth
  for (int entry = 0; entry < 6; ++entry) {
    const bool solid = haveTables && rng() % 3 != 0;
    if (!solid) {
      builder = StreamBuilder();
      builder.TableBlock(RandomLengths(rng), false);
    }
    haveTables = true;
    const uint64_t before = builder.produced();
    const int kind = int(rng() % 8);
    sound = sound && (kind == 0 || kind >= 6);
    AddTokens(builder, rng, kind == 0 && entry < 2 ? 9000 : int(rng() % 600));
    if (rng() % 4 == 0) {  // a table block right after the last symbol, for the next entry
      builder.Escape();
      builder.TableBlock(RandomLengths(rng), rng() % 2 == 0);
    }
    Bytes packed = builder.Finish();
    int32_t size = int32_t(builder.produced() - before);
    switch (kind) {
      case 1:  // flipped bits
        for (int k = 0; k < 3 && !packed.empty(); ++k) packed[rng() % packed.size()] ^= uint8_t(1 << (rng() % 8));
        break;
      case 2:  // cut short
        packed.resize(packed.size() / 2);
        break;
      case 3:  // pure noise, sometimes several buffers long
        packed.resize(rng() % 2 ? rng() % 64 : 8000 + rng() % 30000);
        for (uint8_t& x : packed) x = uint8_t(rng());
        size = int32_t(rng() % 200000);
        break;
      case 4:  // the size in the header disagrees with the stream
        size = int32_t(rng() % (size + 2));
        break;
      case 5:  // asks for more than the stream holds: runs into the end of the input
        size += 1 + int32_t(rng() % 5000);
        break;
      default:
        break;
    }
    SCOPED_TRACE("entry " + std::to_string(entry) + " kind " + std::to_string(kind));
    const Bytes a = fast.Run(packed, size, solid);
    const Bytes b = slow.Run(packed, size, solid);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_TRUE(a == b);
    EXPECT_EQ(fast.outputCalls(), slow.outputCalls());
    ExpectSameState(fast, slow);
    if (sound) {
      const Bytes want(builder.output().begin() + long(before), builder.output().end());
      size_t firstDiff = 0;
      while (firstDiff < a.size() && firstDiff < want.size() && a[firstDiff] == want[firstDiff]) ++firstDiff;
      EXPECT_TRUE(a == want) << "sizes " << a.size() << " " << want.size() << " first difference at " << firstDiff;
    }
    if (HasFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, Differential, testing::Range(0, 30));

// Code lengths 1..14 for first..first+13 and 15 for the two given symbols: a complete code
// in which those two take the longest codes there are.
std::vector<uint8_t> ChainLengths(size_t count, uint32_t first, uint32_t a, uint32_t b) {
  std::vector<uint8_t> lengths(count, 0);
  for (uint32_t l = 1; l <= 14; ++l) lengths[first + l - 1] = uint8_t(l);
  lengths[a] = lengths[b] = 15;
  return lengths;
}

// The widest symbols there are, back to back: long matches of the top length slot at
// distances of the top slot, each code 15 bits long (51 bits with the raw bits), between
// literals of 15-bit codes. The bit reader must hold a whole match and have the next
// symbol's bits at hand after it.
TEST(WidestSymbols, BackToBackDecodeAsTheReferenceDoes) {
  std::vector<uint8_t> lengths = ChainLengths(kLiteralTableSize, 'a', 'z', kSymbolLongLast);
  const std::vector<uint8_t> distance = ChainLengths(kDistanceTableSize, 0, 46, 47);
  const std::vector<uint8_t> repeat = rartest::CodeLengthsFor(std::vector<uint64_t>(28, 1));
  lengths.insert(lengths.end(), distance.begin(), distance.end());
  lengths.insert(lengths.end(), repeat.begin(), repeat.end());
  StreamBuilder builder;
  builder.TableBlock(lengths, false);
  std::mt19937 rng(5);
  for (int i = 0; i < 3000; ++i) {
    builder.LongCoded(224 + rng() % 32, 0xF0001 + rng() % 0x10000);
    if (rng() % 3 == 0) builder.Literal('z');
  }
  const Bytes packed = builder.Finish();
  DecoderHarness fast;
  DecoderHarness slow(ReferenceUnpackEntry);
  const int32_t size = int32_t(builder.produced());
  const Bytes a = fast.Run(packed, size, false);
  EXPECT_TRUE(a == slow.Run(packed, size, false));
  EXPECT_TRUE(a == builder.output());
  ExpectSameState(fast, slow);
}

// Sizes at the ends of the count's range: the main loop keeps a narrower count on some
// targets, which must neither wrap a size below 0 into a large one nor overflow near the top.
// Each entry follows a sound one in the same solid stream, so there is window and input
// state for a wrong count to disturb.
TEST(ExtremeSizes, DecodeAsTheReferenceDoes) {
  for (const int32_t size : {INT32_MIN, INT32_MIN + 1, -1, 0, 1, INT32_MAX - 1, INT32_MAX}) {
    SCOPED_TRACE(size);
    std::mt19937 rng{uint32_t(size)};
    StreamBuilder builder;
    builder.TableBlock(RandomLengths(rng), false);
    AddTokens(builder, rng, 400);
    const int32_t first = int32_t(builder.produced());
    const Bytes firstPacked = builder.Finish();
    AddTokens(builder, rng, 400);
    const Bytes packed = builder.Finish();
    DecoderHarness fast;
    DecoderHarness slow(ReferenceUnpackEntry);
    EXPECT_TRUE(fast.Run(firstPacked, first, false) == slow.Run(firstPacked, first, false));
    const Bytes a = fast.Run(packed, size, true);
    EXPECT_TRUE(a == slow.Run(packed, size, true));
    EXPECT_EQ(fast.outputCalls(), slow.outputCalls());
    ExpectSameState(fast, slow);
  }
}

}  // namespace
