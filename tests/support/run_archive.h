// Archives with one huge entry that are themselves small: the entry is a single byte value
// repeated, coded as one literal, one long match and repeats of it (one bit per 258 bytes).
// For tests of large entries (memory, time, interrupts) without large files to read.
#pragma once
#include <cstdint>
#include <string>

namespace rartest {

// Writes an archive holding one compressed entry `name` of `size` bytes 'x' (size >= 3).
bool WriteRunArchive(const std::string& path, const std::string& name, uint32_t size);

}  // namespace rartest
