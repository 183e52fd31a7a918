// Archives with one huge, highly repetitive entry (see run_archive.h).
#include "support/run_archive.h"

#include <vector>

#include "support/rar_writer.h"
#include "support/stream_builder.h"

namespace rartest {

namespace {

// CRC-32 of count copies of one byte.
uint32_t CrcOfRun(uint8_t byte, uint64_t count) {
  uint32_t table[256];
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t x = i;
    for (int k = 0; k < 8; ++k) x = (x & 1) ? (x >> 1) ^ 0xEDB88320u : x >> 1;
    table[i] = x;
  }
  uint32_t crc = 0xFFFFFFFFu;
  for (uint64_t i = 0; i < count; ++i) crc = (crc >> 8) ^ table[(crc ^ byte) & 0xFF];
  return ~crc;
}

}  // namespace

// An archive with one compressed entry of size bytes 'x': a literal, a match of 258 at
// distance 1, then repeats of it (one bit each), and a last short match.
bool WriteRunArchive(const std::string& path, const std::string& name, uint32_t size) {
  std::vector<uint8_t> lengths(374, 0);
  lengths[256] = 1;  // repeat the latest match: the whole entry, one bit per 258 bytes
  lengths['x'] = 3;
  for (int slot = 270; slot <= 297; ++slot) lengths[size_t(slot)] = 8;  // long matches
  lengths[298] = 1;  // distance slot 0
  lengths[346] = 1;
  StreamBuilder b(false);
  b.TableBlock(lengths);
  b.Literal('x');
  b.Long(258, 1);
  while (b.produced() + 258 <= size - 3) b.Repeat();
  const uint32_t rest = size - uint32_t(b.produced());
  if (rest >= 3) b.Long(rest, 1);
  while (b.produced() < size) b.Literal('x');
  RarWriter w;
  w.AddArchiveStart();
  RarFileEntry e;
  e.name = name;
  e.packed = b.Finish();
  e.method = kMethodNormal;
  e.unpackedSize = size;
  e.fileCrc = CrcOfRun('x', size);
  w.AddFile(e);
  return w.WriteFile(path);
}

}  // namespace rartest
