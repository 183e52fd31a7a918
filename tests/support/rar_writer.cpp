// A small writer of RAR 2.x archives for tests (see rar_writer.h).
#include "support/rar_writer.h"

#include <cstdio>

namespace rartest {
namespace {

void Put16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void Set16(Bytes& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
// Low 16 bits of the complemented CRC-32 of the header bytes from offset 2 to end.
uint16_t HeaderCrc(const Bytes& header, size_t end) {
  return uint16_t(Crc32(header.data() + 2, end - 2));
}

}  // namespace

Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

uint32_t Crc32(const uint8_t* data, size_t size) {
  static uint32_t table[256];
  static bool built = false;
  if (!built) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t x = i;
      for (int k = 0; k < 8; ++k) x = (x & 1) ? (x >> 1) ^ 0xEDB88320u : x >> 1;
      table[i] = x;
    }
    built = true;
  }
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) crc = (crc >> 8) ^ table[(crc ^ data[i]) & 0xFF];
  return ~crc;
}

uint32_t DosFileTime(int year, int month, int day, int hour, int minute, int second) {
  uint32_t date = uint32_t(((year - 1980) << 9) | (month << 5) | day);
  uint32_t time = uint32_t((hour << 11) | (minute << 5) | (second / 2));
  return (date << 16) | time;
}

RarBlock RarWriter::Append(const Bytes& block, size_t headerBytes) {
  RarBlock where;
  where.start = bytes_.size();
  where.dataStart = where.start + headerBytes;
  bytes_.insert(bytes_.end(), block.begin(), block.end());
  where.end = bytes_.size();
  return where;
}

RarBlock RarWriter::AddPrefix(const Bytes& bytes) { return Append(bytes, bytes.size()); }

RarBlock RarWriter::AddMarker() {
  const Bytes marker(kRarMarker, kRarMarker + kMarkerBytes);
  return Append(marker, marker.size());
}

RarBlock RarWriter::AddMainHeader(uint16_t flags, uint16_t headerSize,
                                  std::optional<uint16_t> headerCrc) {
  Bytes h;
  Put16(h, 0);
  h.push_back(kBlockMain);
  Put16(h, flags);
  Put16(h, headerSize);
  Put16(h, 0);  // reserved
  Put32(h, 0);  // reserved
  Set16(h, 0, headerCrc ? *headerCrc : HeaderCrc(h, 13));
  if (headerSize > 13) h.resize(headerSize, 0);
  return Append(h, h.size());
}

RarBlock RarWriter::AddArchiveStart() {
  RarBlock first = AddMarker();
  RarBlock main = AddMainHeader();
  first.dataStart = first.end = main.end;
  return first;
}

RarBlock RarWriter::AddFile(const RarFileEntry& e) {
  const Bytes& data = e.packed ? *e.packed : e.content;
  const uint16_t nameSize = e.nameSize ? *e.nameSize : uint16_t(e.name.size());
  Bytes h;
  Put16(h, 0);
  h.push_back(kBlockFile);
  Put16(h, e.flags);
  const size_t written = 32 + e.name.size() + e.extraHeader.size();
  Put16(h, e.headerSize ? *e.headerSize : uint32_t(32 + nameSize + e.extraHeader.size()));
  Put32(h, e.packedSize ? *e.packedSize : uint32_t(data.size()));
  Put32(h, e.unpackedSize ? *e.unpackedSize : uint32_t(e.content.size()));
  h.push_back(e.hostOs);
  Put32(h, e.fileCrc ? *e.fileCrc : Crc32(e.content));
  Put32(h, e.fileTime);
  h.push_back(e.unpackVersion);
  h.push_back(e.method);
  Put16(h, nameSize);
  Put32(h, e.attributes);
  h.insert(h.end(), e.name.begin(), e.name.end());
  Set16(h, 0, e.headerCrc ? *e.headerCrc : HeaderCrc(h, h.size()));
  h.insert(h.end(), e.extraHeader.begin(), e.extraHeader.end());
  h.insert(h.end(), data.begin(), data.end());
  return Append(h, written);
}

RarBlock RarWriter::AddStored(const std::string& name, const Bytes& content, uint16_t flags) {
  RarFileEntry e;
  e.name = name;
  e.content = content;
  e.flags = uint16_t(kFlagLongBlock | flags);
  return AddFile(e);
}

RarBlock RarWriter::AddCompressed(const std::string& name, const Bytes& content,
                                  const Bytes& packed, uint16_t flags) {
  RarFileEntry e;
  e.name = name;
  e.content = content;
  e.packed = packed;
  e.method = kMethodNormal;
  e.flags = uint16_t(kFlagLongBlock | flags);
  return AddFile(e);
}

RarBlock RarWriter::AddDirectory(const std::string& name) {
  RarFileEntry e;
  e.name = name;
  e.flags = uint16_t(kFlagLongBlock | kFlagDirectory);
  e.attributes = kAttrDirectory;
  return AddFile(e);
}

RarBlock RarWriter::AddBlock(uint8_t type, uint16_t flags, const Bytes& data,
                             const Bytes& extraHeader, std::optional<uint16_t> headerSize,
                             std::optional<uint32_t> dataSize) {
  Bytes h;
  Put16(h, 0);
  h.push_back(type);
  Put16(h, flags);
  Put16(h, 0);
  if (flags & kFlagLongBlock) Put32(h, dataSize ? *dataSize : uint32_t(data.size()));
  h.insert(h.end(), extraHeader.begin(), extraHeader.end());
  const size_t written = h.size();
  Set16(h, 5, headerSize ? *headerSize : uint32_t(written));
  Set16(h, 0, HeaderCrc(h, written));
  h.insert(h.end(), data.begin(), data.end());
  return Append(h, written);
}

RarBlock RarWriter::AddSubBlock(const Bytes& data, uint16_t flags) {
  return AddBlock(kBlockSub, uint16_t(kFlagLongBlock | flags), data);
}

void RarWriter::DamageByte(size_t offset, uint8_t mask) {
  if (offset < bytes_.size()) bytes_[offset] ^= mask;
}

void RarWriter::Truncate(size_t size) {
  if (size < bytes_.size()) bytes_.resize(size);
}

bool RarWriter::WriteFile(const std::string& path) const {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = bytes_.empty() || std::fwrite(bytes_.data(), 1, bytes_.size(), f) == bytes_.size();
  ok = (std::fclose(f) == 0) && ok;
  return ok;
}

}  // namespace rartest
