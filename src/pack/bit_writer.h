// Bit output of the RAR 2.0 stream: the mirror of the decoder's bit input.
//
// The decoder reads every field most significant bit first, the first bit of the stream
// being bit 7 of byte 0. The writer keeps up to 32 pending bits in an accumulator and moves
// whole bytes into a growable byte vector; the last byte is padded with zero bits.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct BitWriter {
  std::vector<uint8_t> bytes;  // finished bytes
  uint64_t pending = 0;        // bits not yet moved into `bytes`, right-aligned
  uint32_t pendingCount = 0;   // number of valid bits in `pending` (below 8 between calls)
};

// Appends the low `count` bits of `value` (0 <= count <= 32), most significant first.
inline void PutBits(BitWriter& w, uint32_t value, uint32_t count) {
  if (count == 0) return;
  w.pending = (w.pending << count) | (uint64_t(value) & ((uint64_t(1) << count) - 1));
  w.pendingCount += count;
  while (w.pendingCount >= 8) {
    w.pendingCount -= 8;
    w.bytes.push_back(uint8_t(w.pending >> w.pendingCount));
  }
}

// Number of bits written so far.
inline uint64_t BitCount(const BitWriter& w) { return uint64_t(w.bytes.size()) * 8 + w.pendingCount; }

// Pads the last byte with zero bits so that every bit written is in `bytes`.
inline void FlushBits(BitWriter& w) {
  if (w.pendingCount) PutBits(w, 0, 8 - w.pendingCount);
}

// Appends everything `from` holds (its pending bits included) to `to`.
void AppendBits(BitWriter& to, const BitWriter& from);
