// Canonical prefix codes of the RAR 2.0 stream: building a decode table from code lengths,
// decoding one symbol, and reading the table blocks that carry the code lengths.
#pragma once
#include <cstdint>

#include "unpack/decoder_state.h"

// The raw bits that follow the codes of a code of slots: the code of symbol first + i is
// followed by bits[i] bits, for i below count; other symbols' codes by none.
struct SlotBits {
  const uint8_t* bits;
  uint32_t first;
  uint32_t count;
};
constexpr SlotBits kNoSlotBits = {nullptr, 0, 0};
constexpr SlotBits kLongMatchSlotBits = {kLengthBits, kSymbolLongFirst, kLengthSlotCount};
constexpr SlotBits kDistanceSlotBits = {kDistanceBits, 0, kDistanceSlotCount};
constexpr SlotBits kRepeatLengthSlotBits = {kLengthBits, 0, kLengthSlotCount};

// Builds table from count code lengths (only their low four bits count; 0 = absent).
// Neither an over-full nor an incomplete set of lengths is rejected, and positions of
// symbols that this build does not write keep their earlier contents. slots: the raw bits
// behind each symbol's code, entered into the quick entries.
void BuildHuffmanTable(const uint8_t* lengths, HuffmanTable* table, uint32_t count,
                       const SlotBits& slots = kNoSlotBits);

// The quick entry of a symbol whose code has length bits.
inline uint32_t QuickEntry(uint32_t symbol, uint32_t length, const SlotBits& slots) {
  const uint32_t slot = symbol - slots.first;  // below first it wraps above count
  const uint32_t extra = slot < slots.count ? slots.bits[slot] : 0;
  return symbol << kQuickSymbolShift | length << kQuickLengthShift | (length + extra);
}

// Decodes one symbol with table, consuming its code. Every symbol returned is below the
// table's symbol count (or 0).
uint32_t DecodeSymbol(DecoderState* state, const HuffmanTable* table);

// Reads one table block at the current input position and rebuilds the tables it carries.
void ReadTableBlock(DecoderState* state);

// The code length and symbol for a peeked 16-bit value whose quick entry is 0, searching
// the limits. Such a value lies at or above limit[kQuickBits], so the search starts above
// it. Shared by DecodeSymbol and the decoder's main loop.
inline uint32_t SearchSymbol(const HuffmanTable* table, uint32_t peek, uint32_t* length) {
  const uint32_t q = peek & 0xFFFE;  // with the low bit cleared, a limit capped at 0xFFFF is never reached
  uint32_t l = kQuickBits + 1;
  while (l < 15 && q >= table->limit[l]) ++l;
  uint32_t index = table->firstIndex[l] + ((q - table->limit[l - 1]) >> (16 - l));
  if (index >= table->symbolCount) index = 0;  // a malformed code still decodes in range
  *length = l;
  return table->symbols[index];
}
