// The CRC-32 of headers and entry data.
//
// Every extracted byte passes through Crc32Update, so it is built for speed: besides the
// byte-wise table of the format, BuildCrcRows derives seven further rows so that eight bytes
// are folded in per step ("slicing by eight"). Row k holds the CRC of a byte followed by k
// zero bytes, so the eight lookups of one step together equal eight byte-wise steps; the
// result is the same value, bit for bit.
#include "archive/crc32.h"

#include "archive/extract_context.h"

void BuildCrcRows(uint32_t* table, uint32_t (*wideRows)[256]) {
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t x = i;
    for (int k = 0; k < 8; ++k) x = (x & 1) ? (x >> 1) ^ 0xEDB88320u : x >> 1;
    table[i] = x;
  }
  const uint32_t* previous = table;
  for (int row = 0; row < 7; ++row) {
    uint32_t* next = wideRows[row];
    for (uint32_t i = 0; i < 256; ++i) next[i] = (previous[i] >> 8) ^ table[previous[i] & 0xFF];
    previous = next;
  }
}

uint32_t Crc32UpdateRows(const uint32_t* t0, const uint32_t (*t)[256], uint32_t value,
                         const uint8_t* bytes, uint32_t length) {
  // t[k-1]: byte followed by k zero bytes
  while (length >= 8) {
    const uint32_t lo = value ^ (uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 |
                                 uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
    const uint32_t hi = uint32_t(bytes[4]) | uint32_t(bytes[5]) << 8 |
                        uint32_t(bytes[6]) << 16 | uint32_t(bytes[7]) << 24;
    value = t[6][lo & 0xFF] ^ t[5][(lo >> 8) & 0xFF] ^ t[4][(lo >> 16) & 0xFF] ^ t[3][lo >> 24] ^
            t[2][hi & 0xFF] ^ t[1][(hi >> 8) & 0xFF] ^ t[0][(hi >> 16) & 0xFF] ^ t0[hi >> 24];
    bytes += 8;
    length -= 8;
  }
  while (length--) value = (value >> 8) ^ t0[(value ^ *bytes++) & 0xFF];
  return value;
}

void BuildCrcTable(ExtractContext* context) { BuildCrcRows(context->crcTable, context->crcTableWide); }

void BuildCrcTable(Crc32Table* table) { BuildCrcRows(table->byteRow, table->wideRows); }

uint32_t Crc32Update(const ExtractContext* context, uint32_t value, const uint8_t* bytes,
                     uint32_t length) {
  return Crc32UpdateRows(context->crcTable, context->crcTableWide, value, bytes, length);
}

uint32_t Crc32Update(const Crc32Table* table, uint32_t value, const uint8_t* bytes,
                     uint32_t length) {
  return Crc32UpdateRows(table->byteRow, table->wideRows, value, bytes, length);
}
