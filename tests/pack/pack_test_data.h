// Test contents for the compressor: deterministic generators of data with known structure.
#pragma once
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace packtest {

using Bytes = std::vector<uint8_t>;

inline Bytes RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(size);
  for (auto& x : b) x = uint8_t(rng());
  return b;
}

// Text-like bytes: words from a small vocabulary with spaces and line ends.
inline Bytes TextBytes(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"the", "setup", "program", "installs", "files", "into", "a",
                                       "folder", "and", "creates", "shortcuts", "for", "user", "of",
                                       "Windows", "archive", "entry", "window", "match", "table"};
  std::mt19937 rng(seed);
  Bytes b;
  while (b.size() < size) {
    const char* w = kWords[rng() % 20];
    b.insert(b.end(), w, w + std::char_traits<char>::length(w));
    b.push_back(rng() % 12 == 0 ? '\n' : ' ');
  }
  b.resize(size);
  return b;
}

// Data made by a random LZ process: literals, copies at random distances (up to the whole
// history), copies at one of the four latest distances, repeats of the latest copy, and
// short copies of two bytes. Compressing it exercises every kind of symbol.
inline Bytes LzMixBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b;
  uint32_t recent[4] = {1, 2, 3, 4};
  uint32_t count = 0, lastLength = 3, lastDistance = 1;
  auto copy = [&](uint32_t length, uint32_t distance) {
    if (distance == 0 || distance > b.size()) return;
    for (uint32_t i = 0; i < length; ++i) b.push_back(b[b.size() - distance]);
    recent[count++ % 4] = distance;
    lastLength = length;
    lastDistance = distance;
  };
  while (b.size() < size) {
    uint32_t r = rng() % 100;
    if (b.size() < 64 || r < 40) {
      b.push_back(uint8_t(rng() % 64 + (r & 1) * 128));
    } else if (r < 60) {
      uint32_t length = rng() % 8 == 0 ? 3 + rng() % 258 : 3 + rng() % 20;
      uint32_t distance = rng() % 4 == 0 ? 1 + rng() % uint32_t(b.size()) : 1 + rng() % std::min<uint32_t>(uint32_t(b.size()), 4096);
      copy(length, std::min<uint32_t>(distance, 0xFFFFF));
    } else if (r < 80) {
      copy(2 + rng() % 30, recent[(count - 1 - rng() % 4) % 4]);
    } else if (r < 90) {
      copy(lastLength, lastDistance);
    } else {
      copy(2, 1 + rng() % std::min<uint32_t>(uint32_t(b.size()), 256));
    }
  }
  b.resize(size);
  return b;
}

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
  std::string here = __FILE__;  // <source>/tests/pack/pack_test_data.h
  for (int up = 0; up < 3 && here.find('/') != std::string::npos; ++up) here.erase(here.find_last_of('/'));
  const std::string stub = here + "/build/bin/Setup.exe";
  std::ifstream probe(stub, std::ios::binary);
  return probe ? stub : "";
}

}  // namespace packtest
