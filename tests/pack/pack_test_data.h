// Test contents for the compressor: deterministic generators of data with known structure.
#pragma once
#include <algorithm>
#include <cstdint>
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

}  // namespace packtest
