// The fields of the archive's headers as the reader decodes them: the marker, the main
// header and the block read last (laid out as a file header). Both records the reader works
// on begin with them: the extraction run's ExtractContext and the HeaderReader of code that
// only walks headers.
#pragma once
#include <cstdint>

struct ArchiveHeaderFields {
  // Marker and main header, as read.
  uint8_t marker[7];
  uint16_t mainHeaderCrc;
  uint8_t mainBlockType;
  uint16_t mainFlags;
  uint16_t mainHeaderSize;
  uint16_t mainReserved1;
  uint32_t mainReserved2;
  // The block read last (file header layout).
  uint16_t entryHeaderCrc;
  uint8_t entryBlockType;
  uint16_t entryFlags;
  uint16_t entryHeaderSize;
  int32_t packedSize;
  int32_t unpackedSize;
  uint8_t hostOs;
  uint32_t fileCrc;
  uint32_t fileTime;           // MS-DOS date (high 16 bits) and time (low 16 bits), local
  uint8_t unpackVersion;
  uint8_t method;
  uint16_t nameSize;           // after clamping to 259
  uint32_t attributes;         // after the attribute rule
  uint8_t lastBlockType;       // kBlockFile, kBlockSub or kBlockEnd: where ReadNextEntry stopped
};
