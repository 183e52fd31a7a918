// Bit input of the RAR 2.0 stream: packed bytes in an 8192-byte buffer, read most
// significant bit first. The callers refill the buffer before it can run dry (see the
// thresholds in decoder_state.h), so a peek never has to check the buffer's end.
#pragma once
#include <cstdint>

#include "unpack/decoder_state.h"

// first: the first fill of an entry (8192 bytes from the start of the buffer); otherwise a
// continuation fill, which moves the last 32 bytes to the front, keeps the read position on
// the same byte and bit, and reads up to 8160 bytes behind them. Reads through state->io.
void RefillInput(DecoderState* state, bool first);

// The 16 bits at the current position; does not consume them.
inline uint32_t PeekBits16(const DecoderState* state) {
  const uint8_t* p = state->inputBuffer + state->inputPos;
  const uint32_t three = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
  return (three >> (8 - state->inputBitPos)) & 0xFFFF;
}

// Consumes n bits, 0 <= n <= 16.
inline void SkipBits(DecoderState* state, uint32_t n) {
  const uint32_t t = state->inputBitPos + n;
  state->inputPos += t >> 3;
  state->inputBitPos = t & 7;
}

// Reads an n-bit unsigned field (0 <= n <= 16); a field of 0 bits consumes nothing.
inline uint32_t ReadBits(DecoderState* state, uint32_t n) {
  if (n == 0) return 0;
  const uint32_t value = PeekBits16(state) >> (16 - n);
  SkipBits(state, n);
  return value;
}
