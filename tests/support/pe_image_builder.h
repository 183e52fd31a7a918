// Program images for tests: the smallest sound Windows programs, 32-bit (PE32, x86) and
// 64-bit (PE32+, x86-64), which tests of the image reader, of pack's stub and of setuptool
// test change one field at a time, and the stub the build makes, for the tests that check the
// real thing when it has been built.
#pragma once
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace imagetest {

using Bytes = std::vector<uint8_t>;

// Where the fields of the two kinds of image differ: the optional header's size and the
// offset of NumberOfRvaAndSizes in it (the data directories follow it).
constexpr size_t kOptionalHeader = 0x58;                 // file offset of the optional header
constexpr size_t kOptionalBytes32 = 224, kOptionalBytes64 = 240;
constexpr size_t kDirectoryCount32 = 92, kDirectoryCount64 = 108;

// The smallest kind of Windows program image, `size` bytes (at least 0x400): MS-DOS header,
// "PE\0\0" at 0x40, a COFF header with one section, an optional header with 16 data
// directories (none set), the section from 0x200 to the end, filled with `fill`, loaded at
// 0x1000 (sections aligned to 0x1000 in memory, 0x200 in the file). 32-bit: machine x86,
// PE32; 64-bit: machine x86-64, PE32+, large-address aware.
inline Bytes PeImageOf(bool is64, size_t size, uint8_t fill) {
  Bytes b(size < 0x400 ? 0x400 : size, fill);
  auto put16 = [&](size_t at, uint32_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); };
  auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
  const size_t optional = kOptionalHeader, optionalBytes = is64 ? kOptionalBytes64 : kOptionalBytes32;
  std::fill(b.begin(), b.begin() + 0x200, uint8_t(0));
  b[0] = 'M', b[1] = 'Z';
  put32(0x3C, 0x40);
  b[0x40] = 'P', b[0x41] = 'E';
  put16(0x44, is64 ? 0x8664 : 0x014C);    // Machine
  put16(0x46, 1);                         // NumberOfSections
  put16(0x54, uint32_t(optionalBytes));   // SizeOfOptionalHeader
  put16(0x56, is64 ? 0x0022 : 0x0102);    // Characteristics: executable; 32-bit, or large-address aware
  put16(optional, is64 ? 0x20B : 0x10B);  // Magic: PE32+ or PE32
  const uint32_t raw = uint32_t(b.size() - 0x200);
  put32(optional + 32, 0x1000);  // SectionAlignment
  put32(optional + 36, 0x200);   // FileAlignment
  put32(optional + 56, 0x1000 + ((raw + 0xFFF) & ~0xFFFu));  // SizeOfImage
  put32(optional + 60, 0x200);  // SizeOfHeaders
  put32(optional + (is64 ? kDirectoryCount64 : kDirectoryCount32), 16);  // NumberOfRvaAndSizes
  const size_t section = optional + optionalBytes;
  std::copy_n(".text", 5, b.begin() + ptrdiff_t(section));
  put32(section + 8, raw);      // VirtualSize
  put32(section + 12, 0x1000);  // VirtualAddress
  put32(section + 16, raw);     // SizeOfRawData
  put32(section + 20, 0x200);   // PointerToRawData
  return b;
}

// The 32-bit program (x86, PE32).
inline Bytes PeImage(size_t size = 0x400, uint8_t fill = 0x90) { return PeImageOf(false, size, fill); }
// The 64-bit program (x86-64, PE32+).
inline Bytes PeImage64(size_t size = 0x400, uint8_t fill = 0x90) { return PeImageOf(true, size, fill); }

// A program the build makes for a setup (build/bin/<name> of the source tree this file is
// in: "Setup.exe", "x64/Setup.exe", ...), or "" when it has not been built.
inline std::string BuiltStubPath(const std::string& name = "Setup.exe") {
  std::string here = __FILE__;  // <source>/tests/support/pe_image_builder.h
  for (int up = 0; up < 3 && here.find('/') != std::string::npos; ++up) here.erase(here.find_last_of('/'));
  const std::string stub = here + "/build/bin/" + name;
  std::ifstream probe(stub, std::ios::binary);
  return probe ? stub : "";
}

}  // namespace imagetest
