// Fuzz target: the uninstaller's search for its removal record (payload/record_place.h) in an
// arbitrary file, as a crafted or damaged UnInst.exe would give it: its PE headers and
// certificate entry may name anything. Nothing may be read outside the file or the search's
// own buffers, a trailer found lies within the file and reads as one, and the record behind
// it passes the same check the uninstaller applies or is refused, never read past.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "payload/record_place.h"
#include "payload/removal_record.h"

namespace {

struct File {
  const uint8_t* bytes;
  size_t size;
};

bool ReadFile(void* user, uint32_t offset, uint8_t* bytes, uint32_t count) {
  const File& file = *static_cast<const File*>(user);
  if (offset > file.size || file.size - offset < count) return false;
  std::memcpy(bytes, file.bytes + offset, count);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  File file = {data, size};
  uint32_t at = 0;
  if (!LocateRemovalTrailer(ReadFile, &file, uint32_t(size), &at)) return 0;
  if (uint64_t(at) + kRemovalTrailerBytes > size) std::abort();
  const uint32_t body = RemovalBodySize(data + at);
  if (body == 0) std::abort();
  if (body > at) return 0;  // the uninstaller refuses a body longer than what precedes it
  RemovalRecord record;
  ReadRemovalRecord(data + at - body, body, data + at, &record);
  return 0;
}
