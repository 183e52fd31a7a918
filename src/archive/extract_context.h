// The record of one extraction run, the per-entry callback, the memory buffer of memory
// entries and the run's result codes.
//
// One ExtractContext is allocated zero-filled per run and released at its end: it holds the
// headers just read, the run's files, buffers and counters, the CRC table and, as its last
// member, the decoder's state. Nothing survives from one run to the next.
#pragma once
#include <cstdint>

#include "archive/header_fields.h"
#include "archive/rar_format.h"
#include "system/file_io.h"
#include "unpack/decoder_state.h"

// Result codes of a run.
constexpr int kExtractOk = 0;              // end of the archive reached, or the callback ended the run
constexpr int kExtractNoContext = 1;       // no memory for the ExtractContext
constexpr int kExtractNoArchive = 2;       // not opened, not found, or a volume of several
constexpr int kExtractBadChecksum = 3;     // an entry's data checksum does not match
constexpr int kExtractNoWindow = 9;        // no memory for the window
constexpr int kExtractNoCopyBuffer = -1;   // no memory for a stored entry's copy buffer
constexpr int kExtractCannotCreate = -5;   // an output file cannot be created

// The per-entry function of the caller. name: the entry's name, 260 characters, which the
// callback may rewrite; data: none on the first call, the entry's bytes on the second call
// of a memory entry; size: the unpacked size from the header; value: the caller's value.
// 0 goes on, anything else ends the run.
using ExtractCallback = int (*)(char16_t* name, const uint8_t* data, uint32_t size, void* value);

// A first character the callback may write to have the entry decoded and its checksum tested
// without its bytes being kept: the second call gets no data. The entry is judged as a memory
// entry is, its size included. No name from the archive starts with it.
constexpr char16_t kChecksumOnlyName = 0xFFFF;

struct ExtractContext;

// How one entry came out, as the run saw it.
struct ExtractEntryOutcome {
  uint64_t producedBytes;  // bytes the entry's data yielded (stored copy or decoder)
  bool skipped;            // a directory or volume label: nothing was decoded
  bool checked;            // the data checksum was tested (not discarded, not skipped)
  bool checksumMatches;    // when checked: the data checksum equals the header's
  bool writeFailed;        // the output file took fewer bytes than it was given
};

// An observer of a run, beside the callback: the setup program passes none; the publisher's
// tools use it to know each entry from the run itself (its header as just read) and to judge
// it by more than its data checksum. The context handed over is read-only and valid only
// during the call.
struct ExtractObserver {
  // Every file header, directories included, right after it is read and before the
  // callback's first call for it.
  void (*entryStart)(const ExtractContext* context, void* value);
  // Every entry that got past the callback's first call, after its last step (file closed
  // and its time set or the file deleted, the memory entry handed over).
  void (*entryEnd)(const ExtractContext* context, const ExtractEntryOutcome* outcome, void* value);
  void* value;
  // Filled in by the run before it returns.
  bool archiveFound;        // an archive was located in the file
  bool mainHeaderDamaged;   // its main header's checksum did not match
  bool walkStoppedEarly;    // the walk ended at an unusable block, not at the end of the file
  uint32_t fileEntries;     // file headers met (directories and labels included)
  // Where the archive lies in the file, as a walk over all its headers finds it; valid when
  // the run went through to the end (result 0, the callback never ended it).
  int32_t archiveOffset;    // file offset of the marker (0 for a bare archive)
  bool endBlock;            // the walk ended at a sound end-of-archive block
  int32_t archiveEnd;       // file offset just past the archive's last block
};

constexpr int kEntryNameCapacity = 260;       // characters of the name buffer, terminator included
constexpr uint32_t kWindowBytes = kWindowSize;

// A growable byte buffer for memory entries; storage is kept across Clear.
struct MemoryBuffer {
  uint8_t* data;      // the bytes, or none
  int32_t count;      // successful Append calls since the last Clear
  uint32_t capacity;  // size of the storage
  uint32_t used;      // bytes held
  // Set when an Append could not be satisfied (no memory, or the entry outgrew
  // kMemoryEntryLimit): the storage is gone and later Appends are dropped until Clear, so
  // the entry is never handed over with a hole in it.
  uint32_t failed;
};

// Memory entries are held up to this many bytes (terminator included); a larger entry is
// still decoded and checksummed, but its second callback call gets no data.
constexpr uint32_t kMemoryEntryLimit = 16u << 20;

constexpr int kChecksumCrc32 = 2;                  // checksum method of RAR 2.x archives

// The header fields come first (ArchiveHeaderFields), then the run's own.
struct ExtractContext : ArchiveHeaderFields {
  // The run.
  ExtractCallback callback;
  void* callbackValue;
  ExtractObserver* observer;   // told of every entry and of the run's end, or none
  MemoryBuffer* currentMemoryBuffer;  // output of a memory entry, or none
  const char16_t* archivePath;
  uint8_t* window;             // the 1 MB window, owned by the run
  char name[kEntryNameCapacity];  // entry name, NUL-terminated, separators normalised to '\'
  FileStream* archiveFile;
  int32_t continuedFlag;       // flag 0x0002 of the previous entry
  uint32_t discardFlag;        // output dropped and checksum not tested
  uint32_t mainHeaderDamaged;  // 1 when the main header checksum did not match
  uint32_t entryHeaderDamaged; // 1 when the last file header's checksum did not match
  // 1 when the walk ended at a block it could not use (a header size below 7, a successor
  // that does not lie ahead, a header cut off by the end of the file) rather than at the
  // end of the file.
  uint32_t walkStoppedEarly;
  int32_t blockStart;          // file offset of the block read last
  int32_t nextBlock;           // file offset of its successor
  FileStream* outputFile;      // output of a file entry, or none
  int32_t packedBytesLeft;     // of the current entry, not yet read
  int32_t unpackedBytesLeft;   // of the current entry, not yet produced
  uint32_t dataCrc;            // running checksum of the current entry's output
  uint64_t producedBytes;      // of the current entry: bytes its data yielded for the output
  uint32_t outputShortWrite;   // 1 when the output file took fewer bytes than it was given
  uint32_t headerCrc;          // running CRC-32 over the header being read
  int32_t checksumMethod;      // 2 for RAR 2.x archives; 0 before an archive is found
  uint32_t crcTable[256];      // filled by BuildCrcTable before the run starts
  // Further rows of the CRC table, derived from the first by BuildCrcTable, that let
  // Crc32Update take eight bytes per step.
  uint32_t crcTableWide[7][256];
  // The decoder's own record: the run hands it to UnpackEntry with its window and its
  // input and output functions; the decoder knows nothing else of the context.
  DecoderState decoder;
};
