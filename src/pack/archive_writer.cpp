// Writing a RAR 2.x archive (see archive_writer.h).
#include "pack/archive_writer.h"

#include <algorithm>
#include <new>
#include <vector>

#include "archive/byte_order.h"
#include "archive/crc32.h"
#include "pack/rar20_encoder.h"

void SetPackThreads(ArchiveWriter& w, uint32_t threads) {
  if (w.encoder) w.encoder->threads = std::min(std::max(threads, 1u), kMaxPackThreads);
}

namespace {


int Emit(ArchiveWriter& w, const uint8_t* bytes, size_t count) {
  if (w.startOffset + w.written + count > kMaxEntrySize) return kPackTooLarge;
  if (count && w.sink.write(w.sink.user, bytes, count) != 0) return kPackWriteFailed;
  w.written += count;
  return kPackOk;
}

// Low 16 bits of the complemented CRC-32 of a header from its byte 2 on.
uint16_t HeaderChecksum(ArchiveWriter& w, const uint8_t* header, size_t size) {
  return uint16_t(~Crc32Update(w.crc, 0xFFFFFFFFu, header + kFieldBlockType, uint32_t(size - kFieldBlockType)));
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
  w.crc = new (std::nothrow) Crc32Table();
  if (!w.crc) return kPackNoMemory;
  BuildCrcTable(w.crc);
  if (w.level > 0) {
    w.encoder = new (std::nothrow) Rar20Encoder();
    if (!w.encoder) return kPackNoMemory;
    InitEncoder(*w.encoder, w.level, w.solid);
  }
  uint8_t head[kMarkerBytes + kMainHeaderBytes] = {0};
  for (int i = 0; i < kMarkerBytes; ++i) head[i] = kRarMarker[i];
  uint8_t* main = head + kMarkerBytes;
  main[kFieldBlockType] = kBlockMain;
  Put16(main + kFieldFlags, w.solid ? kMainFlagSolid : 0);
  Put16(main + kFieldHeaderSize, kMainHeaderBytes);
  Put16(main + kFieldHeaderCrc, HeaderChecksum(w, main, kMainHeaderBytes));
  return Emit(w, head, sizeof head);
}

void SetPackProgress(ArchiveWriter& w, void (*progress)(void* user, uint64_t entryBytesDone), void* user) {
  if (!w.encoder) return;
  w.encoder->progress = progress;
  w.encoder->progressUser = user;
}

namespace {

constexpr size_t kCopyPiece = 1 << 20;  // bytes of a stored entry read and written at a time

// The file header of an entry (without its name), checksum included.
void FillFileHeader(ArchiveWriter& w, const PackEntryInput& entry, uint64_t dataSize, uint32_t crc, bool stored,
                    uint8_t* fixed) {
  uint16_t flags = kBlockLong | kEntryWindow1M;
  if (w.solid && w.entryCount > 0) flags |= kEntrySolid;
  if (entry.attributes & kAttributeDirectory) flags |= kEntryDictionaryMask;  // how a folder is marked
  std::fill(fixed, fixed + kFileHeaderBytes, uint8_t(0));
  fixed[kFieldBlockType] = kBlockFile;
  Put16(fixed + kFieldFlags, flags);
  Put16(fixed + kFieldHeaderSize, uint32_t(kFileHeaderBytes + entry.name.size()));
  Put32(fixed + kFieldPackedSize, uint32_t(dataSize));
  Put32(fixed + kFieldUnpackedSize, uint32_t(entry.size));
  fixed[kFieldHostOs] = kHostWindows;
  Put32(fixed + kFieldFileCrc, crc);
  Put32(fixed + kFieldFileTime, entry.fileTime);
  fixed[kFieldUnpackVersion] = kUnpackVersion20;
  fixed[kFieldMethod] = stored ? kMethodStore : uint8_t(kMethodStore + w.level);
  Put16(fixed + kFieldNameSize, uint32_t(entry.name.size()));
  Put32(fixed + kFieldAttributes, entry.attributes);
  uint32_t h = Crc32Update(w.crc, 0xFFFFFFFFu, fixed + kFieldBlockType, kFileHeaderBytes - kFieldBlockType);
  h = Crc32Update(w.crc, h, reinterpret_cast<const uint8_t*>(entry.name.data()), uint32_t(entry.name.size()));
  Put16(fixed + kFieldHeaderCrc, uint16_t(~h));
}

int EmitHeader(ArchiveWriter& w, const PackEntryInput& entry, const uint8_t* fixed) {
  int result = Emit(w, fixed, kFileHeaderBytes);
  if (result == kPackOk) result = Emit(w, reinterpret_cast<const uint8_t*>(entry.name.data()), entry.name.size());
  return result;
}

int ReadMemory(void* user, uint64_t offset, uint8_t* bytes, size_t count) {
  if (count) std::copy(static_cast<const uint8_t*>(user) + offset, static_cast<const uint8_t*>(user) + offset + count, bytes);
  return 0;
}

// Reads the whole source in pieces; each piece goes to `sink` (when given) and into the CRC.
int CopySource(ArchiveWriter& w, PackSource source, size_t size, bool toSink, uint32_t& crc) {
  std::vector<uint8_t> piece(std::min(size, kCopyPiece));
  uint32_t value = 0xFFFFFFFFu;
  for (size_t done = 0; done < size;) {
    const size_t count = std::min(size - done, kCopyPiece);
    if (source.read(source.user, done, piece.data(), count) != 0) return kPackReadFailed;
    value = Crc32Update(w.crc, value, piece.data(), uint32_t(count));
    if (toSink) {
      int result = Emit(w, piece.data(), count);
      if (result != kPackOk) return result;
    }
    done += count;
  }
  crc = ~value;
  return kPackOk;
}

// The compressor's reads pass through here on their way, in order (an entry after a stored
// one may be read again from its start), so that the CRC-32 of a compressed entry needs no
// second reading.
struct CrcReader {
  PackSource source;
  ArchiveWriter* writer;
  uint64_t next;     // offset the CRC has reached
  uint32_t value;
};

int ReadAndSum(void* user, uint64_t offset, uint8_t* bytes, size_t count) {
  CrcReader& r = *static_cast<CrcReader*>(user);
  if (r.source.read(r.source.user, offset, bytes, count) != 0) return 1;
  if (offset <= r.next && offset + count > r.next) {  // an entry read again sums only what is new
    const size_t skip = size_t(r.next - offset);
    r.value = Crc32Update(r.writer->crc, r.value, bytes + skip, uint32_t(count - skip));
    r.next = offset + count;
  }
  return 0;
}

// The compressor's output on its way to the sink. Bytes that would take the archive to
// 2 GiB are counted but not written: the entry may still end up stored, and smaller.
struct PackedOutput {
  ArchiveWriter* writer;
  bool tooLarge;
};

int EmitPacked(void* user, const uint8_t* bytes, size_t count) {
  PackedOutput& o = *static_cast<PackedOutput*>(user);
  if (o.tooLarge) return 0;
  int result = Emit(*o.writer, bytes, count);
  if (result == kPackTooLarge) o.tooLarge = true;
  return result == kPackWriteFailed ? 1 : 0;
}

int AppendToVector(void* user, const uint8_t* bytes, size_t count) {
  auto& packed = *static_cast<std::vector<uint8_t>*>(user);
  packed.insert(packed.end(), bytes, bytes + count);
  return 0;
}

int EncodeResult(int encoded) {
  return encoded == kEncodeReadFailed ? kPackReadFailed : encoded == kEncodeWriteFailed ? kPackWriteFailed : kPackOk;
}

// To a sink that can go back: header first with the sizes open, then the packed bytes as
// they come, then the header again, complete.
int AddStreamed(ArchiveWriter& w, const PackEntryInput& entry, PackSource source, const CrcReader& reader,
                PackEntryReport& report) {
  const uint64_t headerAt = w.written;
  uint8_t fixed[kFileHeaderBytes];
  FillFileHeader(w, entry, 0, 0, true, fixed);
  int result = EmitHeader(w, entry, fixed);
  if (result != kPackOk) return result;
  const uint64_t dataAt = w.written;
  report.stored = true;
  if (w.encoder) {
    PackedOutput output{&w, false};
    PackedEntry packed;
    result = EncodeResult(PackNextEntry(*w.encoder, PackSink{EmitPacked, &output}, packed));
    if (result != kPackOk) return result;
    report.stored = packed.stored;
    if (!packed.stored && output.tooLarge) return kPackTooLarge;
    if (!packed.stored && reader.next != entry.size) return kPackReadFailed;  // the compressor read out of order
    report.crc = ~reader.value;
  }
  if (report.stored) {
    if (w.written != dataAt) {
      if (w.sink.truncate(w.sink.user, dataAt) != 0) return kPackWriteFailed;
      w.written = dataAt;
    }
    result = CopySource(w, source, entry.size, true, report.crc);
    if (result != kPackOk) return result;
  }
  FillFileHeader(w, entry, w.written - dataAt, report.crc, report.stored, fixed);
  return w.sink.rewrite(w.sink.user, headerAt, fixed, sizeof fixed) == 0 ? kPackOk : kPackWriteFailed;
}

// To any other sink: the CRC-32 and the packed bytes first, then header and data.
int AddCollected(ArchiveWriter& w, const PackEntryInput& entry, PackSource source, const CrcReader& reader,
                 PackEntryReport& report) {
  PackedEntry packed;
  packed.stored = true;
  int result = kPackOk;
  if (w.encoder) {
    result = EncodeResult(PackNextEntry(*w.encoder, PackSink{AppendToVector, &packed.packed}, packed));
    if (result != kPackOk) return result;
    if (!packed.stored && reader.next != entry.size) return kPackReadFailed;
    report.crc = ~reader.value;
  }
  if (packed.stored) {
    result = CopySource(w, source, entry.size, false, report.crc);
    if (result != kPackOk) return result;
  }
  report.stored = packed.stored;
  const uint64_t dataSize = packed.stored ? entry.size : packed.packed.size();
  if (dataSize > kMaxEntrySize) return kPackTooLarge;
  uint8_t fixed[kFileHeaderBytes];
  FillFileHeader(w, entry, dataSize, report.crc, packed.stored, fixed);
  result = EmitHeader(w, entry, fixed);
  if (result != kPackOk) return result;
  if (!packed.stored) return Emit(w, packed.packed.data(), packed.packed.size());
  uint32_t again;
  return CopySource(w, source, entry.size, true, again);
}

}  // namespace

int AddArchiveEntries(ArchiveWriter& w, const PackEntryInput* entries, size_t count, PackEntryDone done,
                      void* user, size_t* failed) {
  for (size_t k = 0; k < count; ++k) {
    const PackEntryInput& entry = entries[k];
    int result = kPackOk;
    if (entry.name.empty() || entry.name.size() > 0xFFFF - kFileHeaderBytes) result = kPackBadName;
    if (entry.size > kMaxEntrySize) result = kPackTooLarge;
    if (result == kPackOk) continue;
    if (failed) *failed = k;
    return result;
  }
  // The encoder reads ahead of the entry being written: every entry's reader is there from
  // the start, summing its CRC-32 as its bytes go by.
  std::vector<PackSource> sources(count);
  std::vector<CrcReader> readers(count);
  std::vector<StreamEntry> planned(count);
  for (size_t k = 0; k < count; ++k) {
    const PackEntryInput& entry = entries[k];
    sources[k] = entry.source.read ? entry.source : PackSource{ReadMemory, const_cast<uint8_t*>(entry.data)};
    readers[k] = CrcReader{sources[k], &w, 0, 0xFFFFFFFFu};
    planned[k] = StreamEntry{PackSource{ReadAndSum, &readers[k]}, entry.size, true};
  }
  if (w.encoder) PlanEntries(*w.encoder, planned.data(), count);
  const bool streamed = w.sink.rewrite && w.sink.truncate;
  for (size_t k = 0; k < count; ++k) {
    const PackEntryInput& entry = entries[k];
    const uint64_t before = w.written;
    PackEntryReport r;
    const int result = streamed ? AddStreamed(w, entry, sources[k], readers[k], r)
                                : AddCollected(w, entry, sources[k], readers[k], r);
    if (result != kPackOk) {
      if (w.encoder) AbandonEntries(*w.encoder);
      if (failed) *failed = k;
      return result;
    }
    r.packedSize = uint32_t(w.written - before - kFileHeaderBytes - entry.name.size());
    r.solid = w.solid && w.entryCount > 0;
    w.entryCount++;
    if (done) done(user, k, r);
  }
  return kPackOk;
}

namespace {

struct SingleReport {
  PackEntryReport* report;
};

void KeepReport(void* user, size_t, const PackEntryReport& report) {
  PackEntryReport* out = static_cast<SingleReport*>(user)->report;
  if (out) *out = report;
}

}  // namespace

int AddArchiveEntry(ArchiveWriter& w, const PackEntryInput& entry, PackEntryReport* report) {
  SingleReport single{report};
  return AddArchiveEntries(w, &entry, 1, KeepReport, &single, nullptr);
}

int AddArchiveFolder(ArchiveWriter& w, const std::string& name, uint32_t fileTime) {
  if (name.empty() || name.size() > 0xFFFF - kFileHeaderBytes) return kPackBadName;
  PackEntryInput entry;
  entry.name = name;
  entry.fileTime = fileTime;
  entry.attributes = kAttributeDirectory;
  uint8_t fixed[kFileHeaderBytes];
  FillFileHeader(w, entry, 0, 0, true, fixed);
  const int result = EmitHeader(w, entry, fixed);
  if (result == kPackOk) w.entryCount++;
  return result;
}

int WriteArchiveEnd(ArchiveWriter& w) {
  uint8_t end[kEndBlockBytes] = {0};
  end[kFieldBlockType] = kBlockEnd;
  Put16(end + kFieldFlags, kBlockSkipIfUnknown);
  Put16(end + kFieldHeaderSize, kEndBlockBytes);
  Put16(end + kFieldHeaderCrc, HeaderChecksum(w, end, kEndBlockBytes));
  return Emit(w, end, sizeof end);
}

void EndArchive(ArchiveWriter& w) {
  delete w.crc;
  w.crc = nullptr;
  delete w.encoder;
  w.encoder = nullptr;
}
