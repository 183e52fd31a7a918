// The image checksum of a PE file (see pe_checksum.h).
#include "image/pe_checksum.h"

namespace {

uint32_t Fold(uint32_t sum) { return (sum & 0xFFFF) + (sum >> 16); }

}  // namespace

void StartPeChecksum(PeChecksum* checksum, uint64_t checksumField) {
  *checksum = PeChecksum{checksumField, 0, 0, 0};
}

void AddPeChecksum(PeChecksum* c, const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i, ++c->offset) {
    // Offsets before the field wrap around to large differences.
    const uint32_t value = c->offset - c->checksumField < 4 ? 0 : bytes[i];
    if (c->offset & 1)
      c->sum = Fold(c->sum + (c->lowByte | value << 8));
    else
      c->lowByte = value;
  }
}

uint32_t FinishPeChecksum(const PeChecksum* c) {
  uint32_t sum = c->sum;
  if (c->offset & 1) sum = Fold(sum + c->lowByte);
  return Fold(sum) + uint32_t(c->offset);
}

uint32_t PeFileChecksum(const uint8_t* file, size_t size, uint64_t checksumField) {
  PeChecksum checksum;
  StartPeChecksum(&checksum, checksumField);
  AddPeChecksum(&checksum, file, size);
  return FinishPeChecksum(&checksum);
}
