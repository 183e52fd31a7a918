// Bit output of the RAR 2.0 stream (see bit_writer.h).
#include "pack/bit_writer.h"

void AppendBits(BitWriter& to, const BitWriter& from) {
  if (to.pendingCount == 0) {
    to.bytes.insert(to.bytes.end(), from.bytes.begin(), from.bytes.end());
  } else {
    for (uint8_t b : from.bytes) PutBits(to, b, 8);
  }
  PutBits(to, uint32_t(from.pending & ((1u << from.pendingCount) - 1)), from.pendingCount);
}
