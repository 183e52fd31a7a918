// Prefix code tables and table blocks.
//
// A table holds, per code length L, limit[L]: the left-justified 16-bit value below which
// all codes of length <= L lie. Decoding finds the smallest L whose limit lies above the
// next 16 bits; the code's offset among codes of that length then indexes symbols. To be
// fast, every build also fills quick[]: for each value of the next kQuickBits bits, the
// symbol and length that the limit search would find, and for the codes of slots the count
// of raw bits behind the symbol. For L <= kQuickBits every limit is a
// multiple of 2^(16-kQuickBits) (or capped at 0xFFFF, which an even value never reaches),
// so the next kQuickBits bits decide the search alone and quick[] agrees with it exactly.
//
// A table block: 1 bit multimedia flag, 1 bit keep flag (0 = lengths are absolute), for
// multimedia 2 bits channel count - 1; then 19 four-bit lengths of the pre-code; then the
// code lengths coded with the pre-code: 0-15 add to the previous block's length at the same
// position (mod 16), 16 repeats the previous position 3-6 times (2 extra bits), 17 and 18
// write 3-10 (3 bits) and 11-138 (7 bits) zeros.
#include "unpack/huffman.h"

#include <cstring>

#include "unpack/bit_input.h"

namespace {

// A limit as a bound on even 16-bit values: the cap 0xFFFF lies above all of them.
uint32_t Bound(uint32_t limit) { return limit == 0xFFFF ? 0x10000 : limit; }

// Fills quick[] code by code: a code of length l <= kQuickBits owns the run of
// 2^(kQuickBits - l) consecutive prefixes that start with it, so its entry is made once and
// stored as a run. The codes are taken in canonical order (by length, then by position in
// symbols), which is the order of their prefixes; a code past symbolCount (a malformed,
// over-full set) decodes as symbols[0], as the limit search would have it. Every run of a
// length is as long as the others, and a complete or incomplete set of lengths fills whole
// runs; only an over-full one cuts the last run of a length short at the limit.
void BuildQuickTable(HuffmanTable* t, const SlotBits& slots) {
  constexpr uint32_t kShift = 16 - kQuickBits;
  uint32_t p = 0;
  for (uint32_t l = 1; l <= kQuickBits; ++l) {
    const uint32_t end = Bound(t->limit[l]) >> kShift;  // prefixes below end have length <= l
    if (p >= end) continue;
    const uint32_t run = 1u << (kQuickBits - l);
    uint32_t index = t->firstIndex[l] + (((p << kShift) - t->limit[l - 1]) >> (16 - l));
    for (; p + run <= end; p += run, ++index) {
      const uint32_t entry = QuickEntry(t->symbols[index < t->symbolCount ? index : 0], l, slots);
      if (run >= 4) {
        // Four entries per store, sixteen per step where the run is that long: the short
        // codes own long runs, and the table is rebuilt with every table block. The programs
        // built for size (the setups) keep the shorter loop.
        const uint32_t four[4] = {entry, entry, entry, entry};
        uint32_t* q = t->quick + p;
#if !defined(__OPTIMIZE_SIZE__)
        if (run >= 16) {
          for (uint32_t k = 0; k < run; k += 16) {
            std::memcpy(q + k, four, sizeof four);
            std::memcpy(q + k + 4, four, sizeof four);
            std::memcpy(q + k + 8, four, sizeof four);
            std::memcpy(q + k + 12, four, sizeof four);
          }
        } else
#endif
        {
          for (uint32_t k = 0; k < run; k += 4) std::memcpy(q + k, four, sizeof four);
        }
      } else {
        t->quick[p] = entry;
        t->quick[p + run - 1] = entry;
      }
    }
    if (p < end) {
      const uint32_t entry = QuickEntry(t->symbols[index < t->symbolCount ? index : 0], l, slots);
      for (; p < end; ++p) t->quick[p] = entry;
    }
  }
  for (; p < (1u << kQuickBits); ++p) t->quick[p] = 0;  // longer codes: search the limits
}

}  // namespace

void BuildHuffmanTable(const uint8_t* lengths, HuffmanTable* table, uint32_t count,
                       const SlotBits& slots) {
  uint32_t lengthCount[16] = {};
  for (uint32_t i = 0; i < count; ++i) lengthCount[lengths[i] & 15] += 1;
  lengthCount[0] = 0;
  uint32_t nextIndex[16] = {};
  table->limit[0] = 0;
  table->firstIndex[0] = 0;
  uint32_t n = 0;
  for (uint32_t l = 1; l < 16; ++l) {
    n = 2 * (n + lengthCount[l]);
    uint32_t m = n << (15 - l);
    if (m > 0xFFFF) m = 0xFFFF;
    table->limit[l] = m;
    table->firstIndex[l] = table->firstIndex[l - 1] + lengthCount[l - 1];
    nextIndex[l] = table->firstIndex[l];
  }
  // Absent symbols go to a scratch list rather than past a test of their length, which the
  // processor could not predict.
  uint32_t absent[kLiteralTableSize];  // as many as symbols holds: no table has more symbols
  uint32_t* next[16];
  next[0] = absent;
  for (uint32_t l = 1; l < 16; ++l) next[l] = table->symbols + nextIndex[l];
  for (uint32_t i = 0; i < count; ++i) *next[lengths[i] & 15]++ = i;
  table->symbolCount = count;
  BuildQuickTable(table, slots);
}

namespace {

// DecodeSymbol's work, inlined into the loop over a table block's code lengths, which runs
// it for every length.
inline __attribute__((always_inline)) uint32_t DecodeInline(DecoderState* state, const HuffmanTable* table) {
  const uint32_t peek = PeekBits16(state);
  const uint32_t quick = table->quick[peek >> (16 - kQuickBits)];
  uint32_t length, symbol;
  if (quick) {
    length = (quick >> kQuickLengthShift) & 15;
    symbol = quick >> kQuickSymbolShift;
  } else {
    symbol = SearchSymbol(table, peek, &length);
  }
  SkipBits(state, length);
  return symbol;
}

}  // namespace

uint32_t DecodeSymbol(DecoderState* state, const HuffmanTable* table) { return DecodeInline(state, table); }

void ReadTableBlock(DecoderState* state) {
  DecoderState& d = *state;
  if (d.inputPos > kRefillTableStart) RefillInput(state, false);
  const uint32_t peek = PeekBits16(state);
  d.multimediaMode = int32_t(peek & kTableFlagMultimedia);
  if (!(peek & kTableFlagKeep)) std::memset(d.previousLengths, 0, kAllLengthsSize);
  SkipBits(state, 2);
  uint32_t count = kLzLengthCount;
  if (d.multimediaMode) {
    d.channelCount = int32_t((peek >> 12) & 3) + 1;
    if (d.currentChannel >= d.channelCount) d.currentChannel = 0;
    SkipBits(state, kChannelBits);
    count = kChannelTableSize * uint32_t(d.channelCount);
  }

  uint8_t preLengths[kPreCodeSize];
  for (uint32_t i = 0; i < kPreCodeSize; ++i) preLengths[i] = uint8_t(ReadBits(state, kPreCodeLengthBits));
  BuildHuffmanTable(preLengths, &d.preCodeTable, kPreCodeSize);

  // Positions at and beyond count are not written by the block: they are kept as zeros, so
  // a later block that adds deltas there starts from a defined value.
  uint8_t lengths[kAllLengthsSize] = {};
  for (uint32_t i = 0; i < count;) {
    if (d.inputPos > kRefillTableSymbol) RefillInput(state, false);
    const uint32_t s = DecodeInline(state, &d.preCodeTable);
    if (s < kPreCodeRepeatPrevious) {
      lengths[i] = uint8_t((s + d.previousLengths[i]) & 15);
      ++i;
      continue;
    }
    uint32_t run;
    uint8_t value = 0;
    if (s == kPreCodeRepeatPrevious) {
      run = kPreCodeRepeatBase + ReadBits(state, kPreCodeRepeatBits);
      if (i > 0) value = lengths[i - 1];
    } else if (s == kPreCodeZerosShort) {
      run = kPreCodeZerosShortBase + ReadBits(state, kPreCodeZerosShortBits);
    } else {
      run = kPreCodeZerosLongBase + ReadBits(state, kPreCodeZerosLongBits);
    }
    for (; run > 0 && i < count; --run) lengths[i++] = value;  // a run stops at the block's end
  }

  if (d.multimediaMode) {
    for (int32_t k = 0; k < d.channelCount; ++k)
      BuildHuffmanTable(lengths + kChannelTableSize * uint32_t(k), d.channelTableRefs[k],
                        kChannelTableSize);
  } else {
    BuildHuffmanTable(lengths, &d.literalTable, kLiteralTableSize, kLongMatchSlotBits);
    BuildHuffmanTable(lengths + kLiteralTableSize, &d.distanceTable, kDistanceTableSize,
                      kDistanceSlotBits);
    BuildHuffmanTable(lengths + kLiteralTableSize + kDistanceTableSize, &d.repeatLengthTable,
                      kRepeatLengthTableSize, kRepeatLengthSlotBits);
  }
  std::memcpy(d.previousLengths, lengths, kAllLengthsSize);
}
