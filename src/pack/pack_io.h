// Where the compressor and the archive writer take their bytes from and where they put them:
// functions with an opaque value, so that an entry can come from memory or be read from a
// file piece by piece, and the archive can go to memory or to a file.
#pragma once
#include <cstddef>
#include <cstdint>

// Where the archive bytes go. `write` appends and returns 0 when all bytes were taken. A sink
// that can go back (a file) also offers `rewrite` and `truncate`; the writer then streams
// each entry's packed bytes straight through and fills in its header afterwards, so no
// entry is held whole in memory. Offsets count from the sink's first byte.
struct PackSink {
  int (*write)(void* user, const uint8_t* bytes, size_t count);
  void* user;
  // Writes over `count` bytes already written at `offset`; the end stays where it is.
  int (*rewrite)(void* user, uint64_t offset, const uint8_t* bytes, size_t count) = nullptr;
  // Drops every byte from `offset` on; the next write goes there.
  int (*truncate)(void* user, uint64_t offset) = nullptr;
};

// Where an entry's bytes come from: `read` fills `bytes` with the `count` bytes at `offset`
// of the entry and returns 0, or non-zero when they cannot all be read (a read error, or a
// file that has become shorter).
struct PackSource {
  int (*read)(void* user, uint64_t offset, uint8_t* bytes, size_t count);
  void* user;
};
