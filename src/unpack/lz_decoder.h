// The RAR 2.0 LZ decoder: turns one entry's packed data into its bytes in the 1 MB sliding
// window and hands them to its caller's output function. It works on a DecoderState of its
// own and reaches its caller only through the DecoderIo it is given.
#pragma once
#include <cstdint>

#include "unpack/decoder_state.h"

// Readies a zero-filled record once, before its first entry: points the channel table
// references at the record's own channel tables.
void PrepareDecoder(DecoderState* state);

// Decodes one compressed entry. window: the caller's 1 MB window, the same for every entry
// of a run. solid: the entry continues the previous entry's stream (window, match history
// and code tables carry over). unpackedBytesLeft: set by the caller to the entry's unpacked
// size; the decoder produces at least that many bytes (unless the input gives out) and
// counts it down, below 0 when the last match ran past the end. io: where the packed bytes
// come from and the produced bytes go. No result: the caller's checksum judges the entry.
void UnpackEntry(DecoderState* state, uint8_t* window, bool solid, int32_t* unpackedBytesLeft,
                 const DecoderIo* io);

// Resets the decoder for a new entry: always the input position; when not solid also the
// window, the match history and previousLengths.
void InitDecoder(DecoderState* state, bool solid);

// Records a match of length bytes at distance as the latest one, copies it and counts its
// bytes off unpackedBytesLeft.
void CopyMatch(DecoderState* state, uint32_t length, uint32_t distance, int32_t* unpackedBytesLeft);

// Hands the window bytes not yet written to the output function.
void FlushWindow(DecoderState* state);

// The end-of-entry check: a table block that follows the entry's last symbol is read
// within the entry, so the next entry of a solid archive decodes with it.
void ReadTrailingTables(DecoderState* state);
