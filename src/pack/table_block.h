// Writing a table block of the RAR 2.0 stream: the code lengths of the literal, distance
// and repeat-length codes (374 lengths in all), coded with the 19-symbol pre-code.
//
// Layout, in stream order: a multimedia flag bit (always 0 here), the keep flag bit, 19
// pre-code lengths of 4 bits each, then pre-code symbols until all 374 lengths are given.
// Pre-code symbols 0..15 add themselves (mod 16) to the decoder's previous length at the
// same position; 16 repeats the length just written 3..6 times; 17 and 18 write runs of
// zeros (3..10 and 11..138). With the keep flag 0 the decoder clears its previous lengths
// first, so the symbols 0..15 become absolute lengths. The writer codes the block both
// ways, picks the cheaper, and chooses the symbols of each way by dynamic programming over
// the pre-code's bit prices.
#pragma once
#include <cstdint>

#include "pack/bit_writer.h"
#include "unpack/rar20_tables.h"

// The decoder's memory of the latest table block's lengths (its `previousLengths`); all
// zero at the start of a non-solid entry.
struct TableHistory {
  uint8_t lengths[kAllLengthsSize] = {0};
};

// Exact size in bits of the cheapest table block for `lengths` (kLzLengthCount values).
uint32_t TableBlockBits(const uint8_t* lengths, const TableHistory& history);

// Writes the cheapest table block for `lengths` and records them in `history` as the
// decoder will (positions beyond the 374 LZ lengths become 0).
void WriteTableBlock(BitWriter& w, const uint8_t* lengths, TableHistory& history);
