// Code lengths and canonical codes for the prefix codes of the RAR 2.0 stream.
//
// The decoder rebuilds each code from its lengths alone: symbols are ordered by code
// length and, within one length, by increasing symbol number, and consecutive codes are
// handed out in that order (the canonical prefix code). Lengths are 4-bit values, so no
// code may be longer than 15 bits. `BuildCodeLengths` makes a Huffman code from symbol
// frequencies and shortens it to the limit where needed; `AssignCanonicalCodes` gives each
// symbol exactly the code that the decoder's table construction assigns to it.
#pragma once
#include <cstdint>

// Lengths of a prefix code for `count` symbols with the given frequencies, none longer
// than maxLength (at most 15). Symbols of frequency 0 get length 0, except that a single
// used symbol gets length 1 together with a neighbour (the code stays complete). The
// result is deterministic for given frequencies. `count` must be at least 2.
void BuildCodeLengths(const uint32_t* freqs, uint32_t count, uint32_t maxLength, uint8_t* lengths);

// The canonical code of every symbol: codes[i] holds lengths[i] bits (right-aligned).
// Symbols of length 0 get code 0.
void AssignCanonicalCodes(const uint8_t* lengths, uint32_t count, uint16_t* codes);
