// What setuptool reports about an archive, shared by its subcommands: the walk over the
// archive's headers, one line per entry, and the meanings of the extraction result codes.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// One file header of the archive, as the header reader reports it.
struct EntryInfo {
  std::string rawName;        // 8-bit name as stored (cut to 259 bytes), '\' separated
  std::string displayName;    // the same in UTF-8 (the archive's names are Windows-1252)
  uint16_t flags = 0;
  uint32_t packedSize = 0;
  uint32_t unpackedSize = 0;
  uint8_t method = 0;
  uint8_t unpackVersion = 0;
  uint32_t fileCrc = 0;
  uint32_t fileTime = 0;
  uint32_t attributes = 0;
  bool headerDamaged = false;  // the header checksum did not match
  bool IsDirectory() const { return (attributes & 0x10) != 0; }
  bool IsVolumeLabel() const { return (attributes & 0x08) != 0; }
};

struct ArchiveListing {
  int32_t archiveOffset = 0;   // file offset of the marker (0 for a bare archive)
  bool mainHeaderDamaged = false;
  std::vector<EntryInfo> entries;
};

enum class ListingStatus { kOk, kCannotOpen, kNoArchive, kNoMemory };

// Walks the headers of the archive in the file at path.
ListingStatus ReadArchiveListing(const std::string& path, ArchiveListing* listing);
// Words for a status other than kOk.
const char* ListingError(ListingStatus status);
// The exit code for a status other than kOk: a file without an archive fails, a file that
// cannot be read is a usage error.
int ListingExitCode(ListingStatus status);

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
