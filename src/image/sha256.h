// SHA-256 (FIPS 180-4), the digest a deployment tool's manifest gives for a setup so that
// the tool can tell the file it downloaded is the one the publisher described. Computed
// piece by piece, so a setup of any size is hashed as it is read.
//
// The message is padded with one 1 bit, zeros up to 56 bytes modulo 64, and its length in
// bits as a 64-bit big-endian number; each 64-byte block updates eight 32-bit words through
// 64 rounds. All words are big-endian.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct Sha256 {
  uint32_t state[8];   // the eight working words between blocks
  uint64_t length;     // bytes added so far
  uint8_t block[64];   // bytes of the block not yet complete
};

void StartSha256(Sha256* hash);
void AddSha256(Sha256* hash, const uint8_t* bytes, size_t count);
// The 32-byte digest of the bytes added; the state is used up.
void FinishSha256(Sha256* hash, uint8_t digest[32]);
// The digest as 64 hexadecimal digits, upper case as manifests write them.
std::string Sha256Hex(const uint8_t digest[32]);
