// Locating the archive and reading its headers.
//
// Every header field is read little-endian from a fixed-size copy of the header, so a
// header cut off by the end of the file simply reads as zeros. The walk only ever moves
// forward: a block whose successor would not lie beyond its own start ends the walk, which
// is what keeps a damaged header from looping.
//
// The reader is written once, as templates over the record it fills: the extraction run's
// ExtractContext, or the HeaderReader of code that only walks headers. Both records name
// the fields the reader uses alike; the functions at the end of the file instantiate the
// templates for the two records.
#include "archive/archive_reader.h"

#include <cstdlib>
#include <cstring>

#include "archive/archive_locator.h"
#include "archive/byte_order.h"
#include "archive/crc32.h"
#include "archive/extract_context.h"
#include "archive/header_reader.h"

namespace {

// The CRC-32 over each record's own table.
uint32_t RecordCrc(const ExtractContext* context, uint32_t value, const uint8_t* bytes,
                   uint32_t length) {
  return Crc32Update(context, value, bytes, length);
}
uint32_t RecordCrc(const HeaderReader* reader, uint32_t value, const uint8_t* bytes,
                   uint32_t length) {
  return Crc32Update(&reader->crc, value, bytes, length);
}

template <typename Record>
bool HeaderCrcMatches(const Record* context, uint16_t stored) {
  return uint16_t(~context->headerCrc & 0xFFFF) == stored;
}

// Continues the CRC-32 `crc` over `count` bytes of the archive file from `offset` on. False
// when the file ends first. Leaves the file wherever the reading stopped.
template <typename Record>
bool FileBytesCrc(Record* context, int32_t offset, int32_t count, uint32_t* crc) {
  FileStream* file = context->archiveFile;
  if (offset < 0 || count < 0 || !StreamSeek(file, offset, kSeekSet)) return false;
  uint8_t buffer[4096];
  while (count > 0) {
    const int32_t want = count < int32_t(sizeof buffer) ? count : int32_t(sizeof buffer);
    const int32_t got = StreamRead(file, buffer, want);
    if (got <= 0) break;
    *crc = RecordCrc(context, *crc, buffer, uint32_t(got));
    count -= got;
  }
  return count == 0;
}

// Writers that put further fields after the name, or a name longer than the 259 bytes
// read, take the header checksum over the whole header: bytes 2 up to the header size.
// Continues the checksum over the rest of the header and puts the file back after the name.
template <typename Record>
bool WholeHeaderCrcMatches(Record* context) {
  const int32_t afterName = StreamTell(context->archiveFile);
  const int32_t left = context->blockStart + int32_t(context->entryHeaderSize) - afterName;
  if (afterName < 0 || left <= 0) return false;
  uint32_t crc = context->headerCrc;
  const bool whole = FileBytesCrc(context, afterName, left, &crc);
  StreamSeek(context->archiveFile, afterName, kSeekSet);
  return whole && uint16_t(~crc & 0xFFFF) == context->entryHeaderCrc;
}

// Whether the block just read is a sound end-of-archive block: its type, and its header
// checksum over bytes 2 up to its header size. Only a sound one ends the archive; one whose
// checksum does not match may be a damaged header of another block, and is passed over like
// any block of another type, so that damage never hides the entries behind it.
template <typename Record>
bool IsEndOfArchive(Record* context) {
  if (context->entryBlockType != kBlockEnd) return false;
  uint32_t crc = 0xFFFFFFFFu;
  const int32_t checked = int32_t(context->entryHeaderSize) - kFieldBlockType;
  return FileBytesCrc(context, context->blockStart + kFieldBlockType, checked, &crc) &&
         uint16_t(~crc & 0xFFFF) == context->entryHeaderCrc;
}

template <typename Record>
int ReadFixedHeaderOf(Record* context, int kind) {
  uint8_t h[kFileHeaderBytes] = {};
  const int size = kind == kBlockMain ? kMainHeaderBytes : kFileHeaderBytes;
  const int got = StreamRead(context->archiveFile, h, size);
  if (kind == kBlockMain) {
    context->mainHeaderCrc = Get16(h);
    context->mainBlockType = h[2];
    context->mainFlags = Get16(h + 3);
    context->mainHeaderSize = Get16(h + 5);
    context->mainReserved1 = Get16(h + 7);
    context->mainReserved2 = Get32(h + 9);
  } else {
    context->entryHeaderCrc = Get16(h + kFieldHeaderCrc);
    context->entryBlockType = h[kFieldBlockType];
    context->entryFlags = Get16(h + kFieldFlags);
    context->entryHeaderSize = Get16(h + kFieldHeaderSize);
    context->packedSize = int32_t(Get32(h + kFieldPackedSize));
    context->unpackedSize = int32_t(Get32(h + kFieldUnpackedSize));
    context->hostOs = h[kFieldHostOs];
    context->fileCrc = Get32(h + kFieldFileCrc);
    context->fileTime = Get32(h + kFieldFileTime);
    context->unpackVersion = h[kFieldUnpackVersion];
    context->method = h[kFieldMethod];
    context->nameSize = Get16(h + kFieldNameSize);
    context->attributes = Get32(h + kFieldAttributes);
  }
  context->headerCrc = RecordCrc(context, 0xFFFFFFFFu, h + 2, uint32_t(size - 2));
  return got;
}

template <typename Record>
int LocateArchiveOf(Record* context) {
  context->checksumMethod = 0;
  FileStream* file = context->archiveFile;
  if (!StreamSeek(file, 0, kSeekSet)) return 0;
  uint8_t* bytes = static_cast<uint8_t*>(std::malloc(kLocateBytes));
  if (!bytes) return 0;
  const int32_t got = StreamRead(file, bytes, kLocateBytes);
  // The older archive format is not read: its headers are laid out differently and its
  // entries use a method this decoder does not know, so such a file holds no archive for
  // this system (the run reports result 2) rather than being misread.
  const ArchiveLocation found = LocateArchiveIn(bytes, size_t(got));
  if (found.kind == ArchiveCandidate::kArchive) std::memcpy(context->marker, bytes + found.offset, kMarkerBytes);
  std::free(bytes);
  if (found.kind != ArchiveCandidate::kArchive) return 0;
  context->checksumMethod = kChecksumCrc32;
  if (!StreamSeek(file, found.offset + kMarkerBytes, kSeekSet)) return 0;
  // A main header cut off by the end of the file counts only behind a program, where its
  // block type has been seen.
  if (ReadFixedHeaderOf(context, kBlockMain) < kMainHeaderBytes && found.offset == 0) return 0;
  context->mainHeaderDamaged = HeaderCrcMatches(context, context->mainHeaderCrc) ? 0 : 1;
  return 1;
}

// Reads block headers forward, passing over blocks of other types, until a file header, a
// sub-block, an end-of-archive block or the end of the file. Returns the bytes of the last
// fixed header read (0 at either end; entryBlockType is kBlockEnd at the end block), or -1
// at a block the walk cannot use.
template <typename Record>
int ReadToEntryBlock(Record* context) {
  FileStream* file = context->archiveFile;
  for (;;) {
    context->blockStart = StreamTell(file);
    const int got = ReadFixedHeaderOf(context, kBlockFile);
    if (got == 0) return 0;
    if (context->entryHeaderSize < kBlockBaseBytes) return -1;
    int64_t next = int64_t(context->blockStart) + context->entryHeaderSize;
    if (context->entryFlags & kBlockLong) next += context->packedSize;
    // A successor at or before the block's start would walk back or stand still; one
    // beyond 2 GiB cannot be addressed. Either ends the walk.
    if (next <= context->blockStart || next > 0x7FFFFFFF) return -1;
    context->nextBlock = int32_t(next);
    if (context->entryBlockType == kBlockFile || context->entryBlockType == kBlockSub) return got;
    // Whatever follows the end block (a signature, padding) is no part of the archive.
    if (IsEndOfArchive(context)) return 0;
    if (!StreamSeek(file, context->nextBlock, kSeekSet)) return -1;
  }
}

// Reads the name of the file header just read, checks the header and normalises the name
// and attributes. `got`: bytes of its fixed part that the file held.
template <typename Record>
void ReadEntryName(Record* context, int got) {
  if (context->nameSize > kMaxEntryName) context->nameSize = kMaxEntryName;
  std::memset(context->name, 0, sizeof context->name);
  const int nameGot = StreamRead(context->archiveFile, context->name, context->nameSize);
  context->headerCrc = RecordCrc(context, context->headerCrc,
                                 reinterpret_cast<const uint8_t*>(context->name),
                                 context->nameSize);
  // A header that the end of the file cuts off is damaged whatever its checksum says.
  if (got < kFileHeaderBytes || nameGot < context->nameSize ||
      (!HeaderCrcMatches(context, context->entryHeaderCrc) && !WholeHeaderCrcMatches(context)))
    context->entryHeaderDamaged = 1;
  for (char* c = context->name; *c; ++c)
    if (*c == '/') *c = '\\';
  // Hosts other than MS-DOS, OS/2 and Windows store no Windows attributes: the dictionary
  // bits tell a directory from a file.
  if (context->hostOs > kHostWindows)
    context->attributes = (context->entryFlags & kEntryDictionaryMask) == kEntryDictionaryMask
                              ? kAttributeDirectory
                              : kAttributeArchive;
}

template <typename Record>
int ReadNextEntryOf(Record* context) {
  // The header fields as they were: a sub-block or the end puts them back (the marker and
  // main header fields do not change here).
  const ArchiveHeaderFields saved = *context;
  context->entryHeaderDamaged = 0;
  context->walkStoppedEarly = 0;
  const int got = ReadToEntryBlock(context);
  if (got < 0) {
    context->walkStoppedEarly = 1;
    return 0;
  }
  context->lastBlockType = context->entryBlockType;
  if (got == 0 || context->entryBlockType != kBlockFile) {
    const uint8_t lastBlockType = context->lastBlockType;
    static_cast<ArchiveHeaderFields&>(*context) = saved;
    context->lastBlockType = lastBlockType;
    StreamSeek(context->archiveFile, context->blockStart, kSeekSet);
    return got;
  }
  ReadEntryName(context, got);
  return got + context->nameSize;
}

}  // namespace

int ReadFixedHeader(ExtractContext* context, int kind) { return ReadFixedHeaderOf(context, kind); }
int ReadFixedHeader(HeaderReader* reader, int kind) { return ReadFixedHeaderOf(reader, kind); }

int LocateArchive(ExtractContext* context) { return LocateArchiveOf(context); }
int LocateArchive(HeaderReader* reader) { return LocateArchiveOf(reader); }

int ReadNextEntry(ExtractContext* context) { return ReadNextEntryOf(context); }
int ReadNextEntry(HeaderReader* reader) { return ReadNextEntryOf(reader); }
