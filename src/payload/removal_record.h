// The removal record: what an installation made, as the uninstaller needs to know it. The
// packer writes it from the product folder by the setup program's own rules and appends it
// to the uninstaller it puts into the payload; the uninstaller reads it back from the end of
// its own file. Functions over bytes: no platform calls, no allocation.
//
// Layout, all numbers little-endian:
//   body     the product id, the group name, the window class and the main program, each a
//            16-bit length and that many bytes; a 16-bit count of names and each name the
//            same way. Texts are 8-bit in the archive's code page, without terminator.
//   trailer  "KVRM", the layout version (16 bits), 16 bits 0, the body's size (32 bits)
//            and the CRC-32 of the body (32 bits): 16 bytes that end the file.
// Version 1: each name is a base name in the installation folder (a flat installation).
// Version 2: each name is a path relative to the installation folder, components separated
// by '\' (a product that keeps its folders); written only for such a product, so that a
// flat product's record stays what it always was. Both are read.
//
// The record comes from a file the user may have altered, so ReadRemovalRecord checks it
// whole before anything is removed: the trailer and checksum, every length within the body
// and within its field's width, every name a plain file name the setup could have written
// (version 1: no folder part; version 2: every component a plain name; nothing Windows would
// resolve elsewhere), and the group, main program and
// window class by the rule the setup applies to them (payload/product_facts.h).
#pragma once
#include <cstdint>

constexpr int kRemovalTrailerBytes = 16;
constexpr uint16_t kRemovalRecordVersion = 1;
constexpr uint16_t kRemovalTreeRecordVersion = 2;
// The body's size is bounded so that a damaged trailer cannot ask for a huge read.
constexpr uint32_t kRemovalBodyLimit = 4u << 20;
constexpr int kRemovalNameLimit = 65535;

// Widths of the fields, as the setup program keeps them (terminator not counted).
constexpr int kRemovalIdWidth = 3;
constexpr int kRemovalGroupWidth = 31;
constexpr int kRemovalClassWidth = 31;
constexpr int kRemovalProgramWidth = 31;
constexpr int kRemovalFileNameWidth = 259;

// A record read back: the short fields copied out, the names left in the body.
struct RemovalRecord {
  uint16_t version;      // kRemovalRecordVersion (base names) or kRemovalTreeRecordVersion (paths)
  char productId[kRemovalIdWidth + 1];
  char group[kRemovalGroupWidth + 1];
  char windowClass[kRemovalClassWidth + 1];
  char mainProgram[kRemovalProgramWidth + 1];
  int nameCount;
  const uint8_t* names;  // inside the body given to ReadRemovalRecord
  uint32_t namesSize;
};

// The body's size from a trailer; 0 when the 16 bytes are not a trailer of this layout.
uint32_t RemovalBodySize(const uint8_t* trailer);

// Checks body and trailer and fills the record; false when anything is out of place.
bool ReadRemovalRecord(const uint8_t* body, uint32_t size, const uint8_t* trailer, RemovalRecord* record);

// The name at *offset within record.names, as 8-bit text with a terminator in a buffer of
// kRemovalFileNameWidth + 1 bytes; advances *offset. False after the last name.
bool NextRemovalName(const RemovalRecord& record, uint32_t* offset, char* name);

// Writing: the caller gives the texts (at most their widths) and the names; the function
// appends body and trailer to `out` of `capacity` bytes and returns the bytes written, or 0
// when they do not fit or a text is too long.
struct RemovalRecordFields {
  const char* productId;
  const char* group;
  const char* windowClass;
  const char* mainProgram;
  const char* const* names;
  int nameCount;
  uint16_t version;  // kRemovalRecordVersion, or kRemovalTreeRecordVersion for relative paths
};
uint32_t RemovalRecordSize(const RemovalRecordFields& fields);
uint32_t WriteRemovalRecord(const RemovalRecordFields& fields, uint8_t* out, uint32_t capacity);
