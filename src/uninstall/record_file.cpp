// Reading the removal record from the end of a file (see record_file.h).
#include "uninstall/record_file.h"

#include <cstdlib>
#include <cstring>

#include "system/file_io.h"

namespace {

bool ReadAt(FileStream* stream, int32_t offset, int origin, uint8_t* bytes, uint32_t count) {
  return StreamSeek(stream, offset, origin) && StreamRead(stream, bytes, int32_t(count)) == int32_t(count);
}

}  // namespace

bool LoadRecordFile(const char16_t* path, RecordFile* file) {
  std::memset(file, 0, sizeof *file);
  FileStream* stream = OpenReadStream(path);
  if (!stream) return false;
  uint8_t trailer[kRemovalTrailerBytes];
  bool sound = ReadAt(stream, -kRemovalTrailerBytes, kSeekEnd, trailer, kRemovalTrailerBytes);
  const uint32_t size = sound ? RemovalBodySize(trailer) : 0;
  uint8_t* body = size ? static_cast<uint8_t*>(std::calloc(size, 1)) : nullptr;
  sound = body && ReadAt(stream, -int32_t(size + kRemovalTrailerBytes), kSeekEnd, body, size) &&
          ReadRemovalRecord(body, size, trailer, &file->record);
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
