// The image checksum of a PE file (the optional header's CheckSum), computed over the whole
// file as Windows computes it: the file read as 16-bit little-endian words (an odd last byte
// as a word of its own), the four bytes of the CheckSum field taken as zero, summed with the
// carry folded back into the low 16 bits after every addition, plus the file's length.
// Windows checks it for drivers and some system files; for a program it is what signing
// tools and file inspectors expect to find correct.
//
// The sum runs piece by piece, so a finished setup (stub and archive) can be summed as it
// is read back, without holding it in memory.
#pragma once
#include <cstddef>
#include <cstdint>

struct PeChecksum {
  uint64_t checksumField;  // file offset of the CheckSum field
  uint64_t offset;         // bytes summed so far
  uint32_t sum;            // folded 16-bit sum
  uint32_t lowByte;        // the first byte of a word cut by the end of a piece
};

void StartPeChecksum(PeChecksum* checksum, uint64_t checksumField);
void AddPeChecksum(PeChecksum* checksum, const uint8_t* bytes, size_t count);
// The checksum of the bytes added, which are the whole file.
uint32_t FinishPeChecksum(const PeChecksum* checksum);
// The checksum of a whole file held in memory.
uint32_t PeFileChecksum(const uint8_t* file, size_t size, uint64_t checksumField);
