// The search for the archive over bytes in memory, as pack's stub check runs it: the same
// first candidate as the reader (archive_reader_test.cpp), however many bytes it is handed.
#include "archive/archive_locator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// `size` bytes of 0x90 with an archive's marker and main header type at each of `archives`
// and the older format's marker at each of `olderMarkers` (its tag at offset 28 when given).
std::vector<uint8_t> Image(size_t size, std::vector<size_t> archives, std::vector<size_t> olderMarkers, bool tag) {
  std::vector<uint8_t> bytes(size, 0x90);
  for (size_t at : archives) {
    std::memcpy(bytes.data() + at, kRarMarker, kMarkerBytes);
    bytes[at + kMarkerBytes + kFieldBlockType] = kBlockMain;
  }
  for (size_t at : olderMarkers) std::memcpy(bytes.data() + at, "RE~^", 4);
  if (tag) std::memcpy(bytes.data() + kOldSfxTagOffset, "RSFX", 4);
  return bytes;
}

TEST(ArchiveLocator, TheFirstCandidateWithinTheSearchedBytesDecides) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    ArchiveCandidate kind;
    int32_t offset;
  };
  const Case cases[] = {
      {"the last offset searched, in more bytes than are searched", Image(300000, {249996}, {}, false),
       ArchiveCandidate::kArchive, 249996},
      {"one past it, where only the bytes beyond the search would show it", Image(300000, {249997}, {}, false),
       ArchiveCandidate::kNone, 0},
      {"the older format before an archive", Image(5000, {4000}, {1000}, true), ArchiveCandidate::kOlderFormat,
       1000},
      {"the older format behind the archive", Image(5000, {1000}, {4000}, true), ArchiveCandidate::kArchive,
       1000},
      {"the older marker without its tag", Image(5000, {4000}, {1000}, false), ArchiveCandidate::kArchive, 4000},
  };
  for (const Case& c : cases) {
    const ArchiveLocation found = LocateArchiveIn(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(found.kind, c.kind) << c.what;
    EXPECT_EQ(found.offset, c.offset) << c.what;
  }
  // A marker whose main header type lies beyond the bytes given is no candidate yet.
  const std::vector<uint8_t> cut = Image(2000, {1000}, {}, false);
  EXPECT_EQ(LocateArchiveIn(cut.data(), 1009).kind, ArchiveCandidate::kNone);
  EXPECT_EQ(LocateArchiveIn(cut.data(), 1010).kind, ArchiveCandidate::kArchive);
}

}  // namespace
