// A small writer of RAR 2.x archives for tests.
//
// Tests build every archive they read with this writer, byte by byte, so that each field is
// known and can be set to any value, valid or not. An archive is assembled in memory in file
// order: optional leading bytes (an executable image the archive is appended to), the 7-byte
// marker block, the 13-byte main header, then blocks (file headers with their data, sub-blocks
// and other block types). Header checksums are computed unless a test sets them; the file
// checksum of an entry defaults to the CRC-32 of the content the test gives.
//
// Typical use:
//   RarWriter w;
//   w.AddPrefix(std::vector<uint8_t>(0x1E400, 0x90));   // optional executable image
//   w.AddArchiveStart();                                  // marker + main header
//   w.AddStored("readme.txt", Bytes("hello"));
//   RarBlock b = w.AddFile(entry);                        // every field settable
//   w.DamageByte(b.dataStart);                            // flip a data byte
//   w.WriteFile(path);
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/rar_format.h"

namespace rartest {

using Bytes = std::vector<uint8_t>;

// Bytes of a text (no terminator).
Bytes BytesOf(const std::string& text);

// Standard CRC-32 (reflected polynomial 0xEDB88320, start 0xFFFFFFFF, final complement).
uint32_t Crc32(const uint8_t* data, size_t size);
inline uint32_t Crc32(const Bytes& data) { return Crc32(data.data(), data.size()); }

// Packs a local date and time into the format's 32-bit file time (MS-DOS date in the high
// 16 bits, MS-DOS time in the low 16 bits; seconds are stored in units of two).
uint32_t DosFileTime(int year, int month, int day, int hour, int minute, int second);

// Header flags and field values the tests use, under the names the tests know them by; the
// numbers are the format's own (archive/rar_format.h).
constexpr uint16_t kFlagContinuedFromPrevious = ::kEntryContinuedFromPrevious;
constexpr uint16_t kFlagContinuedInNext = ::kEntryContinuedInNext;
constexpr uint16_t kFlagEncrypted = ::kEntryEncrypted;
constexpr uint16_t kFlagSolid = ::kEntrySolid;
constexpr uint16_t kFlagDirectory = ::kEntryDictionaryMask;  // all three dictionary bits
constexpr uint16_t kFlagLongBlock = ::kBlockLong;
constexpr uint8_t kMethodStored = ::kMethodStore;
constexpr uint8_t kMethodNormal = ::kMethodStore + 3;
constexpr uint8_t kHostMsDos = ::kHostMsDos, kHostOs2 = ::kHostOs2, kHostWindows = ::kHostWindows,
                  kHostUnix = 3;  // any other host: attributes derived from the flags
constexpr uint32_t kAttrReadOnly = ::kAttributeReadOnly, kAttrVolumeLabel = ::kAttributeVolumeLabel,
                   kAttrDirectory = ::kAttributeDirectory, kAttrArchive = ::kAttributeArchive;

// Every field of a file header (block type kBlockFile). Fields left unset take the value that a
// well-formed archive would hold for the given name, content and packed data.
struct RarFileEntry {
  std::string name;                  // name bytes as stored ('\' or '/' separated), no terminator
  Bytes content;                     // the entry's unpacked bytes: default size and file CRC
  std::optional<Bytes> packed;       // the data area; default: content (a stored entry)
  uint16_t flags = kFlagLongBlock;   // needed for the data area to be skipped
  uint8_t hostOs = kHostWindows;
  uint32_t attributes = kAttrArchive;
  uint8_t method = kMethodStored;
  uint8_t unpackVersion = 20;
  uint32_t fileTime = 0x3EBB6000;    // 2011-05-27 12:00:00
  Bytes extraHeader;                 // further header fields after the name (not read by the reader)
  std::optional<uint32_t> packedSize;     // default: size of the data area
  std::optional<uint32_t> unpackedSize;   // default: content.size()
  std::optional<uint32_t> fileCrc;        // default: Crc32(content)
  std::optional<uint16_t> nameSize;       // default: name.size()
  std::optional<uint16_t> headerSize;     // default: 32 + name size + extraHeader size
  std::optional<uint16_t> headerCrc;      // default: computed (see AddFile)
};

// Where a block landed in the archive image (offsets from the first byte of the image).
struct RarBlock {
  size_t start = 0;      // first byte of the block (its header checksum)
  size_t dataStart = 0;  // first byte of the data area (= start + bytes of header written)
  size_t end = 0;        // one past the last byte written for the block
};

class RarWriter {
 public:
  // Appends bytes as they are: an executable image before the archive, or trailing garbage.
  RarBlock AddPrefix(const Bytes& bytes);

  // Appends the 7-byte marker block "Rar!" 0x1A 0x07 0x00.
  RarBlock AddMarker();

  // Appends a 13-byte main header (type kBlockMain). headerSize > 13 appends that many bytes in
  // all (zeros after the fixed part); the checksum covers bytes 2 to 12 unless given.
  RarBlock AddMainHeader(uint16_t flags = 0, uint16_t headerSize = 13,
                         std::optional<uint16_t> headerCrc = std::nullopt);

  // Marker followed by a default main header: the start of every well-formed archive.
  RarBlock AddArchiveStart();

  // Appends a file header (type kBlockFile), its name, extra header bytes and the data area.
  // The default header checksum is the low 16 bits of the complemented CRC-32 of bytes 2 to
  // 31 followed by the stored name bytes (the rule the reader checks).
  RarBlock AddFile(const RarFileEntry& entry);

  // Convenience: a stored entry (method 0x30) holding content, with extra flags ORed in.
  RarBlock AddStored(const std::string& name, const Bytes& content, uint16_t flags = 0);

  // Convenience: a compressed entry (method 0x33, unpack version 20) whose data area is
  // packed and whose size and CRC describe content. Add kFlagSolid for solid entries.
  RarBlock AddCompressed(const std::string& name, const Bytes& content, const Bytes& packed,
                         uint16_t flags = 0);

  // Convenience: a directory entry (attributes 0x10, dictionary bits 0xE0, no data).
  RarBlock AddDirectory(const std::string& name);

  // Appends a block of any type laid out like the format's generic blocks: checksum, type,
  // flags, header size; then, when flags has kBlockLong, the 4-byte data size; then
  // extraHeader; then the data area. headerSize defaults to the bytes of header written;
  // a larger or smaller value is stored as given (the bytes written do not change). The
  // checksum defaults to the CRC-32 of the written header bytes from byte 2 on.
  RarBlock AddBlock(uint8_t type, uint16_t flags, const Bytes& data = {},
                    const Bytes& extraHeader = {},
                    std::optional<uint16_t> headerSize = std::nullopt,
                    std::optional<uint32_t> dataSize = std::nullopt);

  // A sub-block (type kBlockSub) with a data area: AddBlock(kBlockSub, kBlockLong | flags, data).
  RarBlock AddSubBlock(const Bytes& data, uint16_t flags = 0);

  // Flips bits of the byte at offset (xor with mask), e.g. a header or data byte.
  void DamageByte(size_t offset, uint8_t mask = 0xFF);

  // Cuts the image to its first size bytes (a truncated download).
  void Truncate(size_t size);

  // The archive image assembled so far.
  const Bytes& bytes() const { return bytes_; }

  // Writes the image to a file; returns false when the file cannot be written.
  bool WriteFile(const std::string& path) const;

 private:
  RarBlock Append(const Bytes& block, size_t headerBytes);
  Bytes bytes_;
};

}  // namespace rartest
