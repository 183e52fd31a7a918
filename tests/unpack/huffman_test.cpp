// Decode tables, symbol decoding and table blocks.
#include "unpack/huffman.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "support/decoder_harness.h"
#include "support/stream_builder.h"
#include "unpack/bit_input.h"

namespace {

// Puts bytes at the start of the input buffer, read position 0.
void Feed(DecoderState* d, const std::vector<uint8_t>& bytes) {
  std::memset(d->inputBuffer, 0, sizeof d->inputBuffer);
  std::memcpy(d->inputBuffer, bytes.data(), bytes.size());
  d->inputPos = 0;
  d->inputBitPos = 0;
  d->inputEnd = int32_t(bytes.size());
}

// Puts a 16-bit value where the next peek finds it.
void FeedPeek(DecoderState* d, uint32_t peek) { Feed(d, {uint8_t(peek >> 8), uint8_t(peek)}); }

TEST(HuffmanTable, LengthsOneTwoThreeThree) {
  HuffmanTable t = {};
  const uint8_t lengths[] = {1, 2, 3, 3};
  BuildHuffmanTable(lengths, &t, 4);
  EXPECT_EQ(t.limit[1], 0x8000u);
  EXPECT_EQ(t.limit[2], 0xC000u);
  for (int l = 3; l <= 15; ++l) EXPECT_EQ(t.limit[l], 0xFFFFu) << l;
  EXPECT_EQ(t.firstIndex[1], 0u);
  EXPECT_EQ(t.firstIndex[2], 1u);
  EXPECT_EQ(t.firstIndex[3], 2u);
  EXPECT_EQ(t.firstIndex[4], 4u);
  EXPECT_EQ(t.symbols[0], 0u);
  EXPECT_EQ(t.symbols[1], 1u);
  EXPECT_EQ(t.symbols[2], 2u);
  EXPECT_EQ(t.symbols[3], 3u);
  EXPECT_EQ(t.symbolCount, 4u);

  DecoderHarness h;
  DecoderState* c = h.decoder();
  struct Case {
    uint32_t peek, symbol, bits;
  };
  for (const Case& k : {Case{0xE000, 3, 3}, Case{0x7FFF, 0, 1}, Case{0x8000, 1, 2},
                        Case{0xC123, 2, 3}, Case{0xFFFF, 3, 3}}) {
    FeedPeek(c, k.peek);
    EXPECT_EQ(PeekBits16(c), k.peek);
    EXPECT_EQ(DecodeSymbol(c, &t), k.symbol) << std::hex << k.peek;
    EXPECT_EQ(c->inputPos * 8 + c->inputBitPos, k.bits) << std::hex << k.peek;
  }
}

TEST(HuffmanTable, AllZeroLengthsTakeFifteenBitsAndKeepOldSymbols) {
  HuffmanTable t = {};
  for (uint32_t i = 0; i < kLiteralTableSize; ++i) t.symbols[i] = 1000 + i;  // earlier contents
  const uint8_t zeros[kLiteralTableSize] = {};
  BuildHuffmanTable(zeros, &t, kLiteralTableSize);
  for (int l = 0; l < 16; ++l) EXPECT_EQ(t.limit[l], 0u);
  DecoderHarness h;
  DecoderState* c = h.decoder();
  FeedPeek(c, 0x0010);  // 15-bit index 8: below the symbol count, an old symbol
  EXPECT_EQ(DecodeSymbol(c, &t), 1008u);
  EXPECT_EQ(c->inputPos * 8 + c->inputBitPos, 15u);
  FeedPeek(c, 0xF000);  // index beyond the symbol count: symbols[0]
  EXPECT_EQ(DecodeSymbol(c, &t), 1000u);
}

TEST(HuffmanTable, PeekOfAllOnesStaysBelowACappedLimit) {
  HuffmanTable t = {};
  const uint8_t lengths[] = {1, 1};
  BuildHuffmanTable(lengths, &t, 2);
  EXPECT_EQ(t.limit[1], 0xFFFFu);  // 0x10000 capped
  DecoderHarness h;
  FeedPeek(h.decoder(), 0xFFFF);
  EXPECT_EQ(DecodeSymbol(h.decoder(), &t), 1u);
  EXPECT_EQ(h.decoder()->inputBitPos, 1u);
}

// The quick table must agree with the limit search for every possible peek, whatever the
// lengths: complete, incomplete or over-full.
TEST(HuffmanTable, QuickLookupAgreesWithTheLimitSearchForEveryPeek) {
  std::mt19937 rng(5);
  DecoderHarness h;
  DecoderState* c = h.decoder();
  for (int round = 0; round < 60; ++round) {
    const uint32_t count = round % 3 == 0 ? 19 : round % 3 == 1 ? 48 : 298;
    uint8_t lengths[kLiteralTableSize];
    for (uint32_t i = 0; i < count; ++i) {
      switch (round % 4) {
        case 0: lengths[i] = uint8_t(rng() % 16); break;             // anything, often over-full
        case 1: lengths[i] = uint8_t(rng() % 3 ? 0 : rng() % 16); break;  // sparse, incomplete
        case 2: lengths[i] = uint8_t(9 + rng() % 7); break;          // long codes
        default: lengths[i] = uint8_t(1 + rng() % 4); break;         // short codes
      }
    }
    HuffmanTable t = {};
    BuildHuffmanTable(lengths, &t, count);
    for (uint32_t peek = 0; peek < 0x10000; ++peek) {
      // The rule itself: the smallest length in 1..14 whose limit lies above the peek
      // (low bit cleared), else 15.
      const uint32_t q = peek & 0xFFFE;
      uint32_t l = 1;
      while (l < 15 && !(q < t.limit[l])) ++l;
      uint32_t index = t.firstIndex[l] + ((q - t.limit[l - 1]) >> (16 - l));
      if (index >= t.symbolCount) index = 0;
      FeedPeek(c, peek);
      const uint32_t s = DecodeSymbol(c, &t);
      ASSERT_EQ(s, t.symbols[index]) << "round " << round << " peek " << peek;
      ASSERT_EQ(c->inputPos * 8 + c->inputBitPos, l) << "round " << round;
    }
  }
}

TEST(TableBlock, KeepFlagAddsDeltasModuloSixteen) {
  DecoderHarness h;
  DecoderState* c = h.decoder();
  rartest::StreamBuilder b;
  std::vector<uint8_t> first = rartest::FlatLzLengths();
  std::vector<uint8_t> second = first;
  second[0] = 15;  // delta 15 - first[0] (mod 16)
  second[300] = 1;
  b.TableBlock(first, false);
  b.TableBlock(second, true);
  Feed(c, b.Finish());
  ReadTableBlock(c);
  EXPECT_EQ(c->previousLengths[0], first[0]);
  ReadTableBlock(c);
  EXPECT_EQ(c->previousLengths[0], 15);
  EXPECT_EQ(c->previousLengths[300], 1);
  EXPECT_EQ(c->multimediaMode, 0);
  EXPECT_EQ(c->literalTable.symbolCount, 298u);
  EXPECT_EQ(c->distanceTable.symbolCount, 48u);
  EXPECT_EQ(c->repeatLengthTable.symbolCount, 28u);
}

// Hand-made block bits: header, 19 pre-code lengths, then pre-code symbols.
struct BitWriter {
  std::vector<uint8_t> bytes;
  uint32_t used = 0;
  void Put(uint32_t value, uint32_t n) {
    for (uint32_t i = n; i-- > 0;) {
      if (used % 8 == 0) bytes.push_back(0);
      if ((value >> i) & 1) bytes.back() |= uint8_t(0x80 >> (used % 8));
      ++used;
    }
  }
};

// A pre-code where symbol 18 has code 0 (1 bit), 1 code 10 and 16 code 11.
void PutPreCode(BitWriter& w) {
  for (uint32_t s = 0; s < 19; ++s) w.Put(s == 18 ? 1 : (s == 16 || s == 1) ? 2 : 0, 4);
}

TEST(TableBlock, MultimediaBlocksReadOneToFourChannels) {
  for (uint32_t channelBits = 0; channelBits < 4; ++channelBits) {
    DecoderHarness h;
    DecoderState* c = h.decoder();
    c->currentChannel = 3;
    BitWriter w;
    w.Put(2, 2);  // multimedia, keep 0
    w.Put(channelBits, 2);
    PutPreCode(w);
    const uint32_t count = 257 * (channelBits + 1);
    // length 1 at position 0, then zeros to the end in runs of at most 138.
    w.Put(2, 2);
    for (uint32_t left = count - 1; left > 0;) {
      const uint32_t run = left < 138 ? (left < 11 ? 11 : left) : 138;
      w.Put(0, 1);
      w.Put(run - 11, 7);
      left = run > left ? 0 : left - run;
    }
    w.Put(0xABC, 12);  // what follows the block
    Feed(c, w.bytes);
    ReadTableBlock(c);
    EXPECT_EQ(c->multimediaMode, 0x8000);
    EXPECT_EQ(c->channelCount, int32_t(channelBits + 1));
    EXPECT_EQ(c->currentChannel, channelBits == 3 ? 3 : 0);
    for (uint32_t k = 0; k < 4; ++k)
      EXPECT_EQ(c->channelTables[k].symbolCount, k <= channelBits ? 257u : 0u);
    EXPECT_EQ(c->literalTable.symbolCount, 0u);  // LZ tables untouched
    EXPECT_EQ(ReadBits(c, 12), 0xABCu) << channelBits;
  }
}

TEST(TableBlock, RunsStopAtTheEndAndRepeatZeroAtTheStart) {
  DecoderHarness h;
  DecoderState* c = h.decoder();
  BitWriter w;
  w.Put(0, 2);
  PutPreCode(w);
  w.Put(3, 2);  // symbol 16 at position 0: repeat "the previous length", which is 0
  w.Put(3, 2);  // 6 positions
  w.Put(2, 2);  // symbol 1 at position 6
  w.Put(0, 1);  // symbol 18: 138 zeros, positions 7..144
  w.Put(127, 7);
  w.Put(0, 1);  // 138 zeros, 145..282
  w.Put(127, 7);
  w.Put(0, 1);  // 81 zeros, 283..363
  w.Put(70, 7);
  w.Put(0, 1);  // 138 zeros starting 10 before the end: only 10 written
  w.Put(127, 7);
  w.Put(0x2D, 6);
  Feed(c, w.bytes);
  ReadTableBlock(c);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(c->previousLengths[i], 0) << i;
  EXPECT_EQ(c->previousLengths[6], 1);
  EXPECT_EQ(c->literalTable.symbols[0], 6u);
  EXPECT_EQ(ReadBits(c, 6), 0x2Du);
}

// Positions a block does not write are zero in previousLengths, so a later block that adds
// deltas there starts from 0 rather than from leftovers.
TEST(TableBlock, PositionsBeyondTheBlockAreZero) {
  DecoderHarness h;
  DecoderState* c = h.decoder();
  BitWriter w;
  // Multimedia, 4 channels, every length 5 (symbol 5 from previous 0).
  w.Put(2, 2);
  w.Put(3, 2);
  for (uint32_t s = 0; s < 19; ++s) w.Put(s == 5 ? 1 : 0, 4);
  for (int i = 0; i < 1028; ++i) w.Put(0, 1);
  // LZ block with keep flag: all deltas 0 -> lengths 5 at 0..373.
  w.Put(1, 2);
  for (uint32_t s = 0; s < 19; ++s) w.Put(s == 0 ? 1 : 0, 4);
  for (int i = 0; i < 374; ++i) w.Put(0, 1);
  Feed(c, w.bytes);
  ReadTableBlock(c);
  for (int i = 0; i < 1028; ++i) ASSERT_EQ(c->previousLengths[i], 5) << i;
  ReadTableBlock(c);
  for (int i = 0; i < 374; ++i) ASSERT_EQ(c->previousLengths[i], 5) << i;
  for (int i = 374; i < 1028; ++i) ASSERT_EQ(c->previousLengths[i], 0) << i;
}

}  // namespace
