// The CRC-32 that checks headers and entry data: the standard reflected CRC-32
// (polynomial 0xEDB88320). Callers start at 0xFFFFFFFF and compare the complement.
//
// The table lives in the extraction run's context, or, for code that needs only the
// checksum (the archive writer, the header reader of the tools), in a Crc32Table of its own.
// Both forms fill and read their rows through the same two routines.
#pragma once
#include <cstdint>

struct ExtractContext;

// The byte-wise table and the seven rows derived from it.
struct Crc32Table {
  uint32_t byteRow[256];       // the format's byte-wise table
  uint32_t wideRows[7][256];   // wideRows[k-1]: CRC of a byte followed by k zero bytes
};

// Fills the byte-wise row and the seven derived rows.
void BuildCrcRows(uint32_t* byteRow, uint32_t (*wideRows)[256]);
// For each byte b in order: value = (value >> 8) ^ byteRow[(value ^ b) & 0xFF]. Returns the
// updated value; no complement is taken here.
uint32_t Crc32UpdateRows(const uint32_t* byteRow, const uint32_t (*wideRows)[256], uint32_t value,
                         const uint8_t* bytes, uint32_t length);

// Fills the context's CRC table (and its derived rows). Once per run, before the archive is
// located.
void BuildCrcTable(ExtractContext* context);
void BuildCrcTable(Crc32Table* table);

// Crc32UpdateRows over the context's or the table's rows.
uint32_t Crc32Update(const ExtractContext* context, uint32_t value, const uint8_t* bytes,
                     uint32_t length);
uint32_t Crc32Update(const Crc32Table* table, uint32_t value, const uint8_t* bytes,
                     uint32_t length);
