// What setuptool reports about an archive, shared by its subcommands: the entry as the
// header reader gives it, opening the archive file, the walk over the archive's headers, one
// line per entry, and the meanings of the extraction result codes.
#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "archive/rar_format.h"

struct ExtractContext;
struct HeaderReader;

// One file header of the archive, as the header reader reports it.
struct EntryInfo {
  std::string rawName;        // 8-bit name as stored (cut to 259 bytes), '\' separated
  std::string displayName;    // the same in UTF-8 (the archive's names are Windows-1252)
  std::string shownName;      // displayName made safe for the terminal (TerminalText)
  uint16_t flags = 0;
  uint32_t packedSize = 0;
  uint32_t unpackedSize = 0;
  uint8_t method = 0;
  uint8_t unpackVersion = 0;
  uint32_t fileCrc = 0;
  uint32_t fileTime = 0;
  uint32_t attributes = 0;
  bool headerDamaged = false;      // the header checksum did not match, or it was cut off
  bool mainHeaderDamaged = false;  // the archive's main header checksum did not match
  bool IsDirectory() const { return (attributes & kAttributeDirectory) != 0; }
  bool IsVolumeLabel() const { return (attributes & kAttributeVolumeLabel) != 0; }
  bool IsEncrypted() const { return (flags & kEntryEncrypted) != 0; }
};

// The entry whose header the context (of a run) or the reader (of a walk) has just read.
EntryInfo EntryInfoOf(const ExtractContext* context);
EntryInfo EntryInfoOf(const HeaderReader* reader);

// An archive file opened by a command. The driver and the header walk read it through
// `path`, a name of the handle that was checked, so the file cannot be swapped between the
// check and the reading.
struct ArchiveFile {
  int fd = -1;
  std::u16string path;
  ArchiveFile() = default;
  ArchiveFile(const ArchiveFile&) = delete;
  ArchiveFile& operator=(const ArchiveFile&) = delete;
  ~ArchiveFile();
};

// Opens FILE for a command. False, with the reason printed as "setuptool COMMAND: FILE: ...",
// when it cannot be opened or is not a regular file (a folder, a FIFO, a device): the
// command then exits with kExitUsage.
bool OpenArchiveFile(const char* command, const std::string& path, ArchiveFile* file);

struct ArchiveSummary {
  int32_t archiveOffset = 0;      // file offset of the marker (0 for a bare archive)
  bool mainHeaderDamaged = false;
  bool walkStoppedEarly = false;  // the walk ended at an unusable block
  uint64_t entries = 0;           // file headers met
  bool endBlock = false;          // the walk ended at an end-of-archive block
  int64_t archiveEnd = 0;         // file offset just past the archive's last block
};

enum class ListingStatus { kOk, kNoArchive, kNoMemory };

// Walks the headers of the archive, handing each file header to `visit` as it is read
// (nothing is kept); `visit` returns false to stop the walk.
ListingStatus WalkArchiveHeaders(const std::u16string& path,
                                 const std::function<bool(const EntryInfo&)>& visit,
                                 ArchiveSummary* summary);
// Words for a status other than kOk.
const char* ListingError(ListingStatus status);

// "store", "fastest" ... "best" for the method bytes '0' to '5', else the byte in hex.
std::string MethodName(uint8_t method);
// Comma-separated flags of an entry ("solid", "dir", "encrypted", ...), or "-".
std::string EntryFlagsText(const EntryInfo& entry);
// The column heading and one line per entry: size, packed size, method, CRC-32, flags, name.
void PrintEntryHeading(FILE* out);
void PrintEntryLine(FILE* out, const EntryInfo& entry);

// What an extraction result code means, in words.
const char* ResultMeaning(int result);

// UTF-8 form of an archive name or of a wide text.
std::string DisplayName(const char* ansiName);
std::string DisplayWide(const char16_t* text);
