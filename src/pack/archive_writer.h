// Writing a RAR 2.x archive: marker block, main header, and one file header plus data
// area per entry, compressed with our RAR 2.0 compressor or stored.
//
// The writer is platform-free: entries arrive as memory buffers or sources read piece by
// piece, with their name already in the ANSI code page, and the archive leaves through a
// sink. The entries are handed over together (AddArchiveEntries), so that the compressor
// can parse ahead of the entry being written, across entries, on several threads; they are
// written one at a time, in order, each source read as the compressor needs it (a few
// slices ahead) and the CRC-32 summed as it is read. To a sink that can go back (a file)
// an entry is streamed: its header is written with the
// packed size and CRC-32 left open, the packed bytes follow as the compressor makes them,
// and the header is completed afterwards; an entry that ends up stored is written again
// from its source over the packed bytes. Memory then stays bounded whatever the entries'
// sizes. Other sinks get each entry's packed bytes collected in memory first.
//
// The archive ends with an end-of-archive block (WriteArchiveEnd).
//
// Each file header: flags kBlockLong | kEntryWindow1M, plus kEntrySolid on entries that
// continue a solid stream; host Windows; unpack version 20; method kMethodStore for stored
// entries, else kMethodStore + level; the header checksum over the fixed part and the name
// (the field layout is in archive/rar_format.h).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/rar_format.h"
#include "pack/pack_io.h"

struct Crc32Table;
struct Rar20Encoder;

constexpr uint32_t kMaxEntrySize = 0x7FFFFFFF;  // sizes and offsets are signed 32-bit in the reader

// Result codes.
constexpr int kPackOk = 0;
constexpr int kPackWriteFailed = 1;   // the sink refused bytes
constexpr int kPackTooLarge = 2;      // an entry or the archive reaches 2 GiB
constexpr int kPackBadName = 3;       // empty name or name of 65,536 bytes or more
constexpr int kPackNoMemory = 4;
constexpr int kPackReadFailed = 5;    // the entry's source could not give all its bytes

struct PackEntryInput {
  std::string name;         // ANSI code page, '\' between folders
  const uint8_t* data = nullptr;
  size_t size = 0;
  PackSource source{};      // when `source.read` is set, the `size` bytes come from it, not `data`
  uint32_t fileTime = 0;    // MS-DOS date (high 16 bits) and time (low 16 bits), local time
  uint32_t attributes = kAttributeArchive;
};

// What was written for one entry.
struct PackEntryReport {
  uint32_t packedSize = 0;
  uint32_t crc = 0;
  bool stored = false;
  bool solid = false;
};

struct ArchiveWriter {
  PackSink sink{};
  int level = 3;              // 0 stores every entry; 1..5 compress
  bool solid = true;
  uint64_t startOffset = 0;   // file offset of the marker (size of the stub before it)
  uint64_t written = 0;       // bytes of archive written
  uint32_t entryCount = 0;
  Crc32Table* crc = nullptr;  // the CRC table, filled once; the same CRC-32 as the reader's
  Rar20Encoder* encoder = nullptr;
};

// Writes marker and main header. `solid` is ignored at level 0. `startOffset` is where the
// archive begins in the output file: the reader's offsets are signed 32-bit, so the whole
// file must stay below 2 GiB.
int BeginArchive(ArchiveWriter& writer, PackSink sink, int level, bool solid, uint64_t startOffset = 0);

// Asks to be told, while an entry is packed, how many of its bytes are done.
void SetPackProgress(ArchiveWriter& writer, void (*progress)(void* user, uint64_t entryBytesDone), void* user);

// Parses the entries on up to `threads` threads (1 to kMaxPackThreads); the archive is the
// same for every count.
void SetPackThreads(ArchiveWriter& writer, uint32_t threads);

// Told after each entry is written, with its place in the list.
typedef void (*PackEntryDone)(void* user, size_t index, const PackEntryReport& report);

// Packs and writes the entries in order; `done` (when set) hears of each as it is written.
// The entries' sources must stay readable until the call returns; an entry's source may be
// read before the entries in front of it are written, and again from its start after a
// stored entry. After a failure (`failed` says which entry; every name and size is checked
// before anything is written) the archive is incomplete.
int AddArchiveEntries(ArchiveWriter& writer, const PackEntryInput* entries, size_t count, PackEntryDone done,
                      void* user, size_t* failed);
// Packs and writes one entry. After a failure the archive is incomplete.
int AddArchiveEntry(ArchiveWriter& writer, const PackEntryInput& entry, PackEntryReport* report);
// Writes a folder entry: a header alone (no data, stored, attribute kAttributeDirectory), which
// the setup of a product that keeps its folders makes as an empty folder.
int AddArchiveFolder(ArchiveWriter& writer, const std::string& name, uint32_t fileTime);

// Ends the archive with the end-of-archive block, after the last entry: the setup's reader
// stops there, so bytes appended to the finished setup later (a signature) are never taken
// for blocks of the archive.
int WriteArchiveEnd(ArchiveWriter& writer);

// Releases the writer's memory (after WriteArchiveEnd, or after a failure).
void EndArchive(ArchiveWriter& writer);

// The standard CRC-32 of a buffer (through the reader's table-driven CRC).
uint32_t ArchiveCrc32(ArchiveWriter& writer, const uint8_t* data, size_t size);

// MS-DOS date and time of a broken-down local time, clamped to 1980-01-01 .. 2107-12-31.
uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second);
