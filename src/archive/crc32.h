// The CRC-32 that checks headers and entry data: the standard reflected CRC-32
// (polynomial 0xEDB88320). Callers start at 0xFFFFFFFF and compare the complement.
#pragma once
#include <cstdint>

struct ExtractContext;

// Fills the context's CRC table (and its derived rows). Once per run, before the archive is
// located.
void BuildCrcTable(ExtractContext* context);

// For each byte b in order: value = (value >> 8) ^ table[(value ^ b) & 0xFF]. Returns the
// updated value; no complement is taken here.
uint32_t Crc32Update(const ExtractContext* context, uint32_t value, const uint8_t* bytes,
                     uint32_t length);
