// Canonical prefix codes of the RAR 2.0 stream: building a decode table from code lengths,
// decoding one symbol, and reading the table blocks that carry the code lengths.
#pragma once
#include <cstdint>

#include "unpack/decoder_state.h"

// Builds table from count code lengths (only their low four bits count; 0 = absent).
// Neither an over-full nor an incomplete set of lengths is rejected, and positions of
// symbols that this build does not write keep their earlier contents.
void BuildHuffmanTable(const uint8_t* lengths, HuffmanTable* table, uint32_t count);

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
