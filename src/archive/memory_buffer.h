// The growable buffer that holds memory entries (see MemoryBuffer in extract_context.h).
#pragma once
#include <cstdint>

struct MemoryBuffer;

// Adds count bytes at the end. Returns true when it failed (no memory, the entry outgrew
// kMemoryEntryLimit, or an earlier Append of this entry failed); the storage is then gone
// and the buffer stays failed until Clear.
bool Append(MemoryBuffer* buffer, const uint8_t* bytes, uint32_t count);
// Empties the buffer and keeps its storage for the next entry.
void Clear(MemoryBuffer* buffer);
// Frees the storage and sets every field to 0.
void Release(MemoryBuffer* buffer);
