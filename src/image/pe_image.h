// The headers of a Windows executable image (PE32 or PE32+) as the setup's tools need them:
// where the checksum field, the data directories and the section table are, and what the
// sections say. Read from the file's first bytes only, so the setup's tools can look at a
// finished setup without reading its archive.
//
// The image comes from outside (a stub the publisher names, a setup to test), so reading it
// is also the check that its layout is sound: every offset read or later written lies within
// the headers, and no section's bytes overlap the headers, another section or the end of
// the file. Code that edits an image relies on that and on nothing else.
//
// The layout, from the PE format:
//   0x00 "MZ"; 0x3C e_lfanew (32 bits): file offset of "PE\0\0"
//   PE+4  the COFF header (20 bytes): Machine, NumberOfSections at +2,
//         PointerToSymbolTable at +8, SizeOfOptionalHeader at +16, Characteristics at +18
//   PE+24 the optional header: Magic 0x10B (PE32) or 0x20B (PE32+); SizeOfInitializedData
//         at +8; SectionAlignment at +32, FileAlignment at +36, SizeOfImage at +56,
//         SizeOfHeaders at +60, CheckSum at +64, DllCharacteristics at +70;
//         NumberOfRvaAndSizes at +92 (PE32) or +108 (PE32+), then the data directories, 8
//         bytes each (an address and a size): the resource table is entry 2, the
//         certificate table entry 4 (its address a file offset, not an RVA), the base
//         relocation table entry 5
//   then the section table: 40 bytes per section: Name (8), VirtualSize at +8,
//         VirtualAddress at +12, SizeOfRawData at +16, PointerToRawData at +20,
//         Characteristics at +36
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint32_t kPeDirectoryResources = 2;
constexpr uint32_t kPeDirectoryCertificates = 4;
constexpr uint32_t kPeDirectoryRelocations = 5;
constexpr size_t kPeSectionHeaderBytes = 40;

constexpr uint32_t kPeMagic32 = 0x10B;      // PE32: a 32-bit image
constexpr uint32_t kPeMagic64 = 0x20B;      // PE32+: a 64-bit image
constexpr uint32_t kPeMachineX86 = 0x014C;
constexpr uint32_t kPeMachineX64 = 0x8664;

struct PeSection {
  size_t headerOffset;      // file offset of its row in the section table
  uint32_t virtualSize;
  uint32_t virtualAddress;
  uint32_t rawSize;         // SizeOfRawData
  uint32_t rawOffset;       // PointerToRawData
  uint32_t characteristics;
};

struct PeLayout {
  uint32_t machine;         // the COFF header's Machine
  uint32_t characteristics; // the COFF header's Characteristics
  uint32_t magic;           // kPeMagic32 or kPeMagic64
  size_t optionalHeader;    // file offset of the optional header
  size_t checksumField;     // file offset of CheckSum (4 bytes)
  size_t directories;       // file offset of the first data directory
  uint32_t directoryCount;
  uint32_t sectionAlignment;
  uint32_t fileAlignment;
  uint32_t imageSize;       // SizeOfImage
  uint32_t headersSize;     // SizeOfHeaders
  uint32_t symbolTable;     // PointerToSymbolTable (0 in a stripped image)
  std::vector<PeSection> sections;
};

// What keeps bytes from being a sound image.
enum class PeProblem {
  kNone = 0,
  kNoMzHeader,         // too short for the MS-DOS header, or no "MZ"
  kNoPeHeader,         // e_lfanew outside the file or inside the MS-DOS header, or no "PE\0\0"
  kNoOptionalHeader,   // neither PE32 nor PE32+, or an optional header too short for its fields
  kTruncated,          // the headers, the section table or a section end beyond the file
  kBadAlignment,       // a section or file alignment that is not a power of two
  kBadSections,        // no sections, too many, or sections that overlap the headers or one
                       // another in the file or in memory, or lie beyond the image's size
};

// Whether bytes begin as every program image does, sound or not: with the MS-DOS header's
// "MZ". What tells a damaged program from bytes that do not claim to be one.
bool BeginsAsPeImage(const uint8_t* bytes, size_t size);
// Reads and checks the headers and the section table from the first `size` bytes of a file.
// This is the one reader of PE headers: whatever else looks at an image takes its layout.
PeProblem ReadPeImage(const uint8_t* image, size_t size, PeLayout* layout);
// The same from the first `headSize` bytes of a file of `fileSize` bytes, for a large file
// whose headers alone are read: the headers and the section table must lie within those
// bytes (kTruncated when they do not), the sections within the file.
PeProblem ReadPeHeaders(const uint8_t* head, size_t headSize, uint64_t fileSize, PeLayout* layout);
// The same, true when the layout is sound.
bool ReadPeLayout(const uint8_t* image, size_t size, PeLayout* layout);
// What to tell the user about a problem, e.g. "its sections overlap its headers or one another".
const char* PeProblemText(PeProblem problem);

// The Windows architectures a setup program is built for, as an image's headers tell them:
// x86 is machine 0x14C with a PE32 optional header, x64 machine 0x8664 with PE32+. Any
// other machine, or a machine with the other kind of optional header, is kOther.
enum class PeArchitecture { kOther = 0, kX86, kX64 };
PeArchitecture PeArchitectureOf(const PeLayout& layout);
// "x86 (32-bit)", "x64 (64-bit)", for messages.
const char* PeArchitectureText(PeArchitecture architecture);

// A data directory's address and size; both 0 when the image has no such entry.
struct PeDirectory {
  uint32_t address;
  uint32_t size;
};
PeDirectory GetPeDirectory(const uint8_t* image, const PeLayout& layout, uint32_t index);
// Sets a data directory entry the image has; false when it has none of that index or the
// entry does not lie within `size` bytes.
bool SetPeDirectory(uint8_t* image, size_t size, const PeLayout& layout, uint32_t index, PeDirectory value);

// Little-endian fields of the headers.
uint32_t PeGet16(const uint8_t* p);
uint32_t PeGet32(const uint8_t* p);
void PePut16(uint8_t* p, uint32_t value);
void PePut32(uint8_t* p, uint32_t value);
// A 32-bit field written into a buffer only when all four bytes lie within it; false (and
// nothing written) otherwise. Every field an image edit writes goes through it.
bool PePutChecked(std::vector<uint8_t>& image, size_t at, uint32_t value);

// Whether a section or file alignment is a power of two, as PeAlign needs.
bool PeAlignmentUsable(uint32_t alignment);
// `value` rounded up to a multiple of `alignment` (a power of two, or 0 for none).
uint32_t PeAlign(uint32_t value, uint32_t alignment);
