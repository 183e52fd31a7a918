// A header reader of its own, for code that walks an archive's headers without extracting
// (setuptool's listing): the archive file, the fields the reader fills and the CRC table it
// checks headers with, and nothing of an extraction run (window, output, decoder state).
//
// The fields carry the names of the ExtractContext's fields of the same meaning, because
// LocateArchive, ReadFixedHeader and ReadNextEntry are written once over either record.
#pragma once
#include <cstdint>

#include "archive/crc32.h"
#include "archive/header_fields.h"
#include "archive/rar_format.h"
#include "system/file_io.h"

struct HeaderReader : ArchiveHeaderFields {
  char name[kMaxEntryName + 1];  // entry name, NUL-terminated, separators normalised to '\'
  FileStream* archiveFile;     // opened and closed by the reader's owner
  uint32_t mainHeaderDamaged;  // 1 when the main header checksum did not match
  uint32_t entryHeaderDamaged; // 1 when the last file header's checksum did not match
  uint32_t walkStoppedEarly;   // 1 when the walk ended at a block it could not use
  int32_t blockStart;          // file offset of the block read last
  int32_t nextBlock;           // file offset of its successor
  uint32_t headerCrc;          // running CRC-32 over the header being read
  int32_t checksumMethod;      // 2 for RAR 2.x archives; 0 before an archive is found
  Crc32Table crc;              // filled by BuildCrcTable(&reader->crc) before the walk
};

// The header reader's operations over this record, with the meaning they have over the
// ExtractContext (archive_reader.h).
int LocateArchive(HeaderReader* reader);
int ReadFixedHeader(HeaderReader* reader, int kind);
int ReadNextEntry(HeaderReader* reader);
