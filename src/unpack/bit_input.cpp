// Refilling the input buffer from the entry's packed data.
#include "unpack/bit_input.h"

#include <cstring>

void RefillInput(DecoderState* state, bool first) {
  DecoderState& d = *state;
  if (first) {
    const int32_t got = d.io.readPacked(d.io.value, d.inputBuffer, int32_t(kInputBufferSize));
    d.inputEnd = got;
    d.inputDataEnd = got > 0 ? uint32_t(got) : 0;
    d.inputPos = 0;
    return;
  }
  const uint32_t keepFrom = kInputBufferSize - kInputKeep;  // 8160
  std::memmove(d.inputBuffer, d.inputBuffer + keepFrom, kInputKeep);
  d.inputPos %= kInputKeep;  // the callers refill only at inputPos >= 8160: the same byte
  const int32_t got = d.io.readPacked(d.io.value, d.inputBuffer + kInputKeep, int32_t(keepFrom));
  if (got > 0) {
    d.inputEnd = got + int32_t(kInputKeep);
    d.inputDataEnd = uint32_t(got) + kInputKeep;
  } else {
    // Nothing more: the bytes behind the moved tail are stale. inputEnd is set to the read
    // position, as the trailing table check expects; the real data ends where the moved
    // tail's real bytes end.
    d.inputEnd = int32_t(d.inputPos);
    d.inputDataEnd = d.inputDataEnd > keepFrom ? d.inputDataEnd - keepFrom : 0;
  }
}
