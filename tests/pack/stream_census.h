// A census of the symbols in packed streams, read with the decoder's own bit input, Huffman
// tables and table-block reader: it walks an entry's stream as the decoder's main loop does
// (same refills, same match history) but counts what it meets instead of copying bytes, so
// that tests can assert which kinds of symbol the compressor really put into its output.
// Use it as the decode function of a DecoderHarness.
#pragma once
#include <cstdint>

#include "unpack/bit_input.h"
#include "unpack/huffman.h"
#include "unpack/lz_decoder.h"

struct StreamCensus {
  uint64_t symbols[kLiteralTableSize] = {0};  // by literal-code symbol
  uint64_t lengthSlots[kLengthSlotCount] = {0};     // long matches
  uint64_t distanceSlots[kDistanceSlotCount] = {0}; // long matches
  uint64_t repeatSlots[kLengthSlotCount] = {0};     // recent-distance matches
  uint64_t longWithMidBonus = 0;   // long matches at distances 0x2000 .. 0x3FFFF
  uint64_t longWithFarBonus = 0;   // long matches at 0x40000 and beyond
  uint64_t recentWithNearBonus = 0;  // recent-distance matches at 0x101 and beyond
  uint64_t tableBlocksAtStart = 0;   // table blocks of non-solid entries, read before the loop
  uint64_t trailingReads = 0;        // entries whose end-of-entry table check consumed bits
};

inline StreamCensus gCensus;

// Walks one entry like UnpackEntry, counting into gCensus.
inline void CensusEntry(DecoderState* context, uint8_t* window, bool solid,
                        int32_t* unpackedBytesLeft, const DecoderIo* io) {
  DecoderState& d = *context;
  d.window = window;
  d.io = *io;
  InitDecoder(context, solid);
  RefillInput(context, true);
  if (!solid) {
    ReadTableBlock(context);
    gCensus.tableBlocksAtStart++;
  }
  int64_t left = int64_t(*unpackedBytesLeft) - 1;
  auto push = [&](uint32_t length, uint32_t distance) {
    d.recentDistances[d.recentDistanceCount % kRecentDistanceCount] = distance;
    d.recentDistanceCount++;
    d.lastDistance = distance;
    d.lastLength = length;
    left -= length;
  };
  uint32_t guard = 0;
  while (left >= 0 && guard++ < 100000000) {
    if (d.inputPos > kRefillMainLoop) RefillInput(context, false);
    uint32_t s = DecodeSymbol(context, &d.literalTable);
    gCensus.symbols[s]++;
    if (s < 256) {
      left -= 1;
    } else if (s >= kSymbolLongFirst) {
      uint32_t slot = s - kSymbolLongFirst;
      gCensus.lengthSlots[slot]++;
      uint32_t length = kLengthBase[slot] + kLongMatchMinLength + ReadBits(context, kLengthBits[slot]);
      uint32_t t = DecodeSymbol(context, &d.distanceTable);
      gCensus.distanceSlots[t]++;
      uint32_t distance = kDistanceBase[t] + 1 + ReadBits(context, kDistanceBits[t]);
      if (distance >= kBonusDistanceFar) length++, gCensus.longWithFarBonus++;
      if (distance >= kBonusDistanceMid) length++;
      if (distance >= kBonusDistanceMid && distance < kBonusDistanceFar) gCensus.longWithMidBonus++;
      push(length, distance);
    } else if (s == kSymbolTableBlock) {
      ReadTableBlock(context);
    } else if (s == kSymbolRepeatLast) {
      push(d.lastLength, d.lastDistance);
    } else if (s <= kSymbolRecentLast) {
      uint32_t distance = d.recentDistances[(d.recentDistanceCount - (s - 256)) % kRecentDistanceCount];
      uint32_t r = DecodeSymbol(context, &d.repeatLengthTable);
      gCensus.repeatSlots[r]++;
      uint32_t length = kLengthBase[r] + kRecentMatchMinLength + ReadBits(context, kLengthBits[r]);
      if (distance >= kBonusDistanceFar) length++;
      if (distance >= kBonusDistanceMid) length++;
      if (distance >= kBonusDistanceNear) length++, gCensus.recentWithNearBonus++;
      push(length, distance);
    } else {
      uint32_t j = s - kSymbolShortFirst;
      push(2, kShortBase[j] + 1 + ReadBits(context, kShortBits[j]));
    }
  }
  const uint32_t pos = d.inputPos, bit = d.inputBitPos;
  ReadTrailingTables(context);
  if (d.inputPos != pos || d.inputBitPos != bit) gCensus.trailingReads++;
}
