// Reading the removal record from an uninstaller's file (see record_file.h).
#include "uninstall/record_file.h"

#include <cstdlib>
#include <cstring>

#include "payload/record_place.h"
#include "system/file_io.h"

namespace {

bool ReadAt(void* stream, uint32_t offset, uint8_t* bytes, uint32_t count) {
  FileStream* file = static_cast<FileStream*>(stream);
  return offset <= 0x7FFFFFFFu && StreamSeek(file, int32_t(offset), kSeekSet) &&
         StreamRead(file, bytes, int32_t(count)) == int32_t(count);
}

// The file's size; 0 when it cannot be told.
uint32_t StreamSize(FileStream* stream) {
  const int32_t size = StreamSeek(stream, 0, kSeekEnd) ? StreamTell(stream) : -1;
  return size > 0 ? uint32_t(size) : 0;
}

}  // namespace

bool LoadRecordFile(const char16_t* path, RecordFile* file) {
  std::memset(file, 0, sizeof *file);
  FileStream* stream = OpenReadStream(path);
  if (!stream) return false;
  uint8_t trailer[kRemovalTrailerBytes];
  uint32_t at = 0;
  bool sound = LocateRemovalTrailer(ReadAt, stream, StreamSize(stream), &at) &&
               ReadAt(stream, at, trailer, kRemovalTrailerBytes);
  const uint32_t size = sound ? RemovalBodySize(trailer) : 0;
  uint8_t* body = size && size <= at ? static_cast<uint8_t*>(std::calloc(size, 1)) : nullptr;
  sound = body && ReadAt(stream, at - size, body, size) && ReadRemovalRecord(body, size, trailer, &file->record);
  CloseStream(stream);
  if (!sound) {
    std::free(body);
    std::memset(file, 0, sizeof *file);
    return false;
  }
  file->body = body;
  file->size = size;
  return true;
}

void ReleaseRecordFile(RecordFile* file) {
  std::free(file->body);
  std::memset(file, 0, sizeof *file);
}

bool SameRecord(const RecordFile& a, const RecordFile& b) {
  return a.size == b.size && a.body && b.body && std::memcmp(a.body, b.body, a.size) == 0;
}
