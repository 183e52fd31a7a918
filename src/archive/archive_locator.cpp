// Where the setup program finds its archive (see archive_locator.h).
#include "archive/archive_locator.h"

#include <cstring>

namespace {

// What the file holds at offset `at` (a byte 'R' from offset 7 on), of its first `size` bytes.
ArchiveCandidate CandidateAt(const uint8_t* bytes, int32_t size, int32_t at) {
  const int32_t type = at + kMarkerBytes + kFieldBlockType;
  if (type < size && std::memcmp(bytes + at + 1, kRarMarker + 1, kMarkerBytes - 1) == 0 &&
      bytes[type] == kBlockMain)
    return ArchiveCandidate::kArchive;
  if (at + 3 < size && std::memcmp(bytes + at + 1, kOldMarkerTail, 3) == 0 && kOldSfxTagOffset + 4 <= size &&
      std::memcmp(bytes + kOldSfxTagOffset, kOldSfxTag, 4) == 0)
    return ArchiveCandidate::kOlderFormat;
  return ArchiveCandidate::kNone;
}

}  // namespace

ArchiveLocation LocateArchiveIn(const uint8_t* bytes, size_t size) {
  const int32_t n = size < size_t(kLocateBytes) ? int32_t(size) : kLocateBytes;
  if (n < kMarkerBytes) return ArchiveLocation{ArchiveCandidate::kNone, 0};
  if (std::memcmp(bytes, kRarMarker, kMarkerBytes) == 0) return ArchiveLocation{ArchiveCandidate::kArchive, 0};
  for (int32_t at = kFirstScanOffset; at < n; ++at) {
    if (bytes[at] != kRarMarker[0]) continue;
    const ArchiveCandidate found = CandidateAt(bytes, n, at);
    if (found != ArchiveCandidate::kNone) return ArchiveLocation{found, at};
  }
  return ArchiveLocation{ArchiveCandidate::kNone, 0};
}
