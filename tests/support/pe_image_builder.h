// Program images for tests: the smallest sound 32-bit Windows program, which tests of the
// image reader, of pack's stub and of setuptool test change one field at a time, and the
// stub the build makes, for the tests that check the real thing when it has been built.
#pragma once
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace imagetest {

using Bytes = std::vector<uint8_t>;

// The smallest kind of 32-bit Windows program image, `size` bytes (at least 0x400): MS-DOS
// header, "PE\0\0" at 0x40, an x86 COFF header with one section, a PE32 optional header with
// 16 data directories (none set), the section from 0x200 to the end, filled with `fill`,
// loaded at 0x1000 (sections aligned to 0x1000 in memory, 0x200 in the file).
inline Bytes PeImage(size_t size = 0x400, uint8_t fill = 0x90) {
  Bytes b(size < 0x400 ? 0x400 : size, fill);
  auto put16 = [&](size_t at, uint32_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); };
  auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
  std::fill(b.begin(), b.begin() + 0x200, uint8_t(0));
  b[0] = 'M', b[1] = 'Z';
  put32(0x3C, 0x40);
  b[0x40] = 'P', b[0x41] = 'E';
  put16(0x44, 0x014C);    // Machine: x86
  put16(0x46, 1);         // NumberOfSections
  put16(0x54, 224);       // SizeOfOptionalHeader
  put16(0x56, 0x0102);    // Characteristics: executable, 32-bit
  put16(0x58, 0x10B);     // Magic: PE32
  const uint32_t raw = uint32_t(b.size() - 0x200);
  put32(0x58 + 32, 0x1000);  // SectionAlignment
  put32(0x58 + 36, 0x200);   // FileAlignment
  put32(0x58 + 56, 0x1000 + ((raw + 0xFFF) & ~0xFFFu));  // SizeOfImage
  put32(0x58 + 60, 0x200);  // SizeOfHeaders
  put32(0x58 + 92, 16);     // NumberOfRvaAndSizes
  const size_t section = 0x58 + 224;
  std::copy_n(".text", 5, b.begin() + ptrdiff_t(section));
  put32(section + 8, raw);      // VirtualSize
  put32(section + 12, 0x1000);  // VirtualAddress
  put32(section + 16, raw);     // SizeOfRawData
  put32(section + 20, 0x200);   // PointerToRawData
  return b;
}

// The stub the build makes (build/bin/Setup.exe of the source tree this file is in), or ""
// when it has not been built.
inline std::string BuiltStubPath() {
  std::string here = __FILE__;  // <source>/tests/support/pe_image_builder.h
  for (int up = 0; up < 3 && here.find('/') != std::string::npos; ++up) here.erase(here.find_last_of('/'));
  const std::string stub = here + "/build/bin/Setup.exe";
  std::ifstream probe(stub, std::ios::binary);
  return probe ? stub : "";
}

}  // namespace imagetest
