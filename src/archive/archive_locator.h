// Where the setup program finds its archive in a file: the one rule, used by the reader
// (archive_reader.cpp) and by setuptool pack, which makes sure that the stub it puts in front
// of an archive does not hide it.
//
// The archive either starts the file (the 7-byte marker at offset 0) or is appended to an
// executable image. Then the first candidate from offset 7 on decides: the marker followed by
// the main header's block type (kBlockMain, 9 bytes after the marker's start), taken up to
// offset 249,996; or the older archive format's marker ('R' and kOldMarkerTail, with
// kOldSfxTag at offset 28), which this system does not read: a file whose first candidate is
// the older format holds no archive for it, rather than one it would misread. The search
// looks no further than the main header type of a marker at 249,996, so a file's first
// 250,006 bytes decide.
#pragma once
#include <cstddef>
#include <cstdint>

#include "archive/rar_format.h"

constexpr int32_t kFirstScanOffset = 7;         // offsets 1..6 are never an archive's start
constexpr uint32_t kLastArchiveOffset = 249996;  // the last offset of a marker the search takes
// Bytes the search reads from offset 7: up to the block type of a marker at the last offset.
constexpr int32_t kScanReadBytes =
    int32_t(kLastArchiveOffset) + kMarkerBytes + kFieldBlockType + 1 - kFirstScanOffset;
static_assert(kScanReadBytes == 249999, "offsets 7..250,005");
// A file's bytes the rule looks at: offsets 0..250,005.
constexpr int32_t kLocateBytes = kFirstScanOffset + kScanReadBytes;

enum class ArchiveCandidate { kNone, kArchive, kOlderFormat };

struct ArchiveLocation {
  ArchiveCandidate kind;  // kArchive: the archive's marker is at `offset`; kOlderFormat: the
                          // search stopped at the older format's marker there (no archive)
  int32_t offset;         // 0 with kNone
};

// Where the reader finds the archive in a file that begins with `size` bytes at `bytes` (all
// of it, when it is shorter than kLocateBytes; bytes beyond kLocateBytes are not looked at).
ArchiveLocation LocateArchiveIn(const uint8_t* bytes, size_t size);
