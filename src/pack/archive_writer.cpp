// Writing a RAR 2.x archive (see archive_writer.h).
#include "pack/archive_writer.h"

#include <new>

#include "archive/crc32.h"
#include "archive/extract_context.h"
#include "pack/rar20_encoder.h"

namespace {

const uint8_t kMarker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p + 2, v >> 16);
}

int Emit(ArchiveWriter& w, const uint8_t* bytes, size_t count) {
  if (w.startOffset + w.written + count > kMaxEntrySize) return kPackTooLarge;
  if (count && w.sink.write(w.sink.user, bytes, count) != 0) return kPackWriteFailed;
  w.written += count;
  return kPackOk;
}

// Low 16 bits of the complemented CRC-32 of a header from its byte 2 on.
uint16_t HeaderChecksum(ArchiveWriter& w, const uint8_t* header, size_t size) {
  return uint16_t(~Crc32Update(w.crc, 0xFFFFFFFFu, header + 2, uint32_t(size - 2)));
}

}  // namespace

uint32_t ArchiveCrc32(ArchiveWriter& writer, const uint8_t* data, size_t size) {
  uint32_t value = 0xFFFFFFFFu;
  while (size > 0) {
    uint32_t piece = size > 0x40000000 ? 0x40000000u : uint32_t(size);
    value = Crc32Update(writer.crc, value, data, piece);
    data += piece;
    size -= piece;
  }
  return ~value;
}

uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1980) return (1u << 5 | 1u) << 16;  // 1980-01-01 00:00:00
  if (year > 2107) year = 2107, month = 12, day = 31, hour = 23, minute = 59, second = 58;
  uint32_t date = uint32_t((year - 1980) << 9 | month << 5 | day);
  uint32_t time = uint32_t(hour << 11 | minute << 5 | second / 2);
  return date << 16 | time;
}

int BeginArchive(ArchiveWriter& w, PackSink sink, int level, bool solid, uint64_t startOffset) {
  w.sink = sink;
  w.startOffset = startOffset;
  w.level = level < 0 ? 0 : level > kMaxPackLevel ? kMaxPackLevel : level;
  w.solid = solid && w.level > 0;
  w.written = 0;
  w.entryCount = 0;
  w.crc = new (std::nothrow) ExtractContext();
  if (!w.crc) return kPackNoMemory;
  BuildCrcTable(w.crc);
  if (w.level > 0) {
    w.encoder = new (std::nothrow) Rar20Encoder();
    if (!w.encoder) return kPackNoMemory;
    InitEncoder(*w.encoder, w.level, w.solid);
  }
  uint8_t head[7 + 13] = {0};
  for (int i = 0; i < 7; ++i) head[i] = kMarker[i];
  uint8_t* main = head + 7;
  main[2] = 0x73;
  Put16(main + 3, w.solid ? kMainFlagSolid : 0);
  Put16(main + 5, 13);
  Put16(main, HeaderChecksum(w, main, 13));
  return Emit(w, head, sizeof head);
}

void SetPackProgress(ArchiveWriter& w, void (*progress)(void* user, uint64_t entryBytesDone), void* user) {
  if (!w.encoder) return;
  w.encoder->progress = progress;
  w.encoder->progressUser = user;
}

int AddArchiveEntry(ArchiveWriter& w, const PackEntryInput& entry, PackEntryReport* report) {
  if (entry.name.empty() || entry.name.size() > 0xFFFF - 32) return kPackBadName;
  if (entry.size > kMaxEntrySize) return kPackTooLarge;
  const uint32_t crc = ArchiveCrc32(w, entry.data, entry.size);

  PackedEntry packed;
  if (w.encoder) {
    PackEntry(*w.encoder, entry.data, entry.size, true, packed);
  } else {
    packed.stored = true;
  }
  const uint8_t* data = packed.stored ? entry.data : packed.packed.data();
  const size_t dataSize = packed.stored ? entry.size : packed.packed.size();
  if (dataSize > kMaxEntrySize) return kPackTooLarge;

  const size_t headerSize = 32 + entry.name.size();
  uint8_t fixed[32] = {0};
  uint16_t flags = kFileFlagLongBlock | kFileFlagWindow1M;
  if (w.solid && w.entryCount > 0) flags |= kFileFlagSolid;
  fixed[2] = 0x74;
  Put16(fixed + 3, flags);
  Put16(fixed + 5, uint32_t(headerSize));
  Put32(fixed + 7, uint32_t(dataSize));
  Put32(fixed + 11, uint32_t(entry.size));
  fixed[15] = kHostWindows;
  Put32(fixed + 16, crc);
  Put32(fixed + 20, entry.fileTime);
  fixed[24] = kUnpackVersion20;
  fixed[25] = packed.stored ? kMethodStored : uint8_t(kMethodStored + w.level);
  Put16(fixed + 26, uint32_t(entry.name.size()));
  Put32(fixed + 28, entry.attributes);
  uint32_t h = Crc32Update(w.crc, 0xFFFFFFFFu, fixed + 2, 30);
  h = Crc32Update(w.crc, h, reinterpret_cast<const uint8_t*>(entry.name.data()), uint32_t(entry.name.size()));
  Put16(fixed, uint16_t(~h));

  int result = Emit(w, fixed, sizeof fixed);
  if (result == kPackOk)
    result = Emit(w, reinterpret_cast<const uint8_t*>(entry.name.data()), entry.name.size());
  if (result == kPackOk) result = Emit(w, data, dataSize);
  if (result != kPackOk) return result;
  w.entryCount++;
  if (report) {
    report->packedSize = uint32_t(dataSize);
    report->crc = crc;
    report->stored = packed.stored;
    report->solid = (flags & kFileFlagSolid) != 0;
  }
  return kPackOk;
}

void EndArchive(ArchiveWriter& w) {
  delete w.crc;
  w.crc = nullptr;
  delete w.encoder;
  w.encoder = nullptr;
}
