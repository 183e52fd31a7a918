// The memory-entry buffer.
//
// Growth is geometric (the capacity at least doubles), so an entry of n bytes costs O(n)
// copying in all, and growth is never by less than 4096 bytes. The buffer holds at most
// kMemoryEntryLimit bytes: the scan pass decodes every entry it keeps in memory, and a huge
// entry must not take the machine's memory with it. An entry that would pass the limit
// makes Append fail; the driver still checksums every byte, and the entry's second callback
// call then gets no data. Storage past the bytes held is never read, so it is not cleared:
// clearing it would write every byte of a large entry twice.
#include "archive/memory_buffer.h"

#include <cstdlib>
#include <cstring>

#include "archive/extract_context.h"

namespace {

constexpr uint32_t kMinimumGrowth = 4096;

void Fail(MemoryBuffer* buffer) {
  std::free(buffer->data);
  buffer->data = nullptr;
  buffer->capacity = 0;
  buffer->used = 0;
  buffer->failed = 1;
}

}  // namespace

bool Append(MemoryBuffer* buffer, const uint8_t* bytes, uint32_t count) {
  if (buffer->failed) return true;
  if (count > kMemoryEntryLimit - buffer->used) {  // the one limit on a memory entry
    Fail(buffer);
    return true;
  }
  const uint32_t needed = buffer->used + count;
  if (!buffer->data) {
    buffer->capacity = count > kMinimumGrowth ? count : kMinimumGrowth;
    buffer->data = static_cast<uint8_t*>(std::malloc(buffer->capacity));
    if (!buffer->data) {
      buffer->capacity = 0;
      buffer->failed = 1;
      return true;
    }
    buffer->used = 0;
    buffer->count = 0;
  } else if (needed > buffer->capacity) {
    uint32_t grown = buffer->capacity + (buffer->capacity > kMinimumGrowth ? buffer->capacity
                                                                          : kMinimumGrowth);
    if (grown < needed) grown = needed;
    if (grown > kMemoryEntryLimit) grown = kMemoryEntryLimit;
    uint8_t* storage = static_cast<uint8_t*>(std::realloc(buffer->data, grown));
    if (!storage) {
      Fail(buffer);
      return true;
    }
    buffer->data = storage;
    buffer->capacity = grown;
  }
  if (count) std::memcpy(buffer->data + buffer->used, bytes, count);
  buffer->used += count;
  buffer->count += 1;
  return false;
}

void Clear(MemoryBuffer* buffer) {
  buffer->count = 0;
  buffer->used = 0;
  buffer->failed = 0;
}

void Release(MemoryBuffer* buffer) {
  std::free(buffer->data);
  buffer->data = nullptr;
  buffer->count = 0;
  buffer->capacity = 0;
  buffer->used = 0;
  buffer->failed = 0;
}
