// The stream parsed in slices across entries: the packed bytes must be the same whatever the
// number of threads, at every level, in solid and non-solid streams, and must decode to the
// input. Slices are made small here (and the part of the window in front of a slice walked
// at full depth) so that they hold many short entries and long entries span several, and
// the data makes the slices' first symbols refer to recent distances and to the repeat of
// the latest match, which are coded afresh against the decoder's history.
#include "pack/rar20_encoder.h"

#include <gtest/gtest.h>

#include <memory>

#include "pack_test_data.h"
#include "support/decoder_harness.h"

namespace {

using packtest::Bytes;

constexpr uint32_t kTestSlice = 16 * 1024;

struct Stream {
  std::vector<PackedEntry> entries;
};

int ReadBytes(void* user, uint64_t offset, uint8_t* bytes, size_t count) {
  const Bytes& b = *static_cast<const Bytes*>(user);
  std::copy(b.begin() + ptrdiff_t(offset), b.begin() + ptrdiff_t(offset + count), bytes);
  return 0;
}

int AppendBytes(void* user, const uint8_t* bytes, size_t count) {
  static_cast<std::vector<uint8_t>*>(user)->insert(static_cast<std::vector<uint8_t>*>(user)->end(), bytes, bytes + count);
  return 0;
}

// Packs the entries handed over together, as the archive writer does.
Stream PackStream(const std::vector<Bytes>& contents, int level, bool solid, uint32_t threads,
                  uint32_t warmUp = 4 * 1024, const MatchHistory& startMatches = MatchHistory{}) {
  std::unique_ptr<Rar20Encoder> enc(new Rar20Encoder);
  InitEncoder(*enc, level, solid);
  enc->sliceSize = kTestSlice;
  enc->threads = threads;
  enc->sliceWarmUp = warmUp;
  enc->level.warmUpNear = std::min<uint32_t>(enc->level.warmUpNear, 8 * 1024);  // the trees' shallow part too
  enc->sliceStartMatches = startMatches;
  std::vector<StreamEntry> planned;
  for (const Bytes& c : contents) planned.push_back(StreamEntry{PackSource{ReadBytes, const_cast<Bytes*>(&c)}, c.size(), true});
  PlanEntries(*enc, planned.data(), planned.size());
  Stream out;
  for (size_t i = 0; i < contents.size(); ++i) {
    PackedEntry e;
    EXPECT_EQ(PackNextEntry(*enc, PackSink{AppendBytes, &e.packed}, e), kEncodeOk);
    if (e.stored) e.packed.clear();
    out.entries.push_back(std::move(e));
  }
  return out;
}

void ExpectDecodes(const std::vector<Bytes>& contents, const Stream& s) {
  DecoderHarness h;
  for (size_t i = 0; i < contents.size(); ++i) {
    const PackedEntry& e = s.entries[i];
    if (e.stored) continue;
    ASSERT_TRUE(h.Run(e.packed, int32_t(contents[i].size()), e.solid) == contents[i]) << "entry " << i;
  }
}

void ExpectSameBytes(const Stream& a, const Stream& b) {
  ASSERT_EQ(a.entries.size(), b.entries.size());
  for (size_t i = 0; i < a.entries.size(); ++i) {
    EXPECT_EQ(a.entries[i].stored, b.entries[i].stored) << "entry " << i;
    EXPECT_TRUE(a.entries[i].packed == b.entries[i].packed) << "entry " << i;
  }
}

// Many short entries crossing slice boundaries, an empty one, a long one spanning slices,
// and incompressible ones in between: stored, taken back, and the slices parsed after them
// thrown away and started again from the next entry.
std::vector<Bytes> ManyEntries() {
  std::vector<Bytes> contents;
  for (uint32_t i = 0; i < 30; ++i) {
    const size_t size = 300 + (i * 2731) % 2600;
    contents.push_back(i % 3 ? packtest::LzMixBytes(size, i) : packtest::TextBytes(size, i));
  }
  contents[9] = packtest::RandomBytes(5000, 1);
  contents[14] = Bytes();
  contents[20] = packtest::LzMixBytes(2 * kTestSlice + 777, 2);
  contents[26] = packtest::RandomBytes(kTestSlice + 5, 3);
  return contents;
}

TEST(SliceParse, SameBytesForEveryThreadCountAtEveryLevel) {
  const std::vector<Bytes> contents = ManyEntries();
  for (bool solid : {true, false}) {
    for (int level = kMinPackLevel; level <= kMaxPackLevel; ++level) {
      if (!solid && level != kDefaultPackLevel) continue;  // a non-solid stream differs only in its start
      SCOPED_TRACE(testing::Message() << "level " << level << (solid ? " solid" : " non-solid"));
      const Stream one = PackStream(contents, level, solid, 1);
      ExpectDecodes(contents, one);
      EXPECT_TRUE(one.entries[9].stored && one.entries[26].stored);
      for (uint32_t threads : {2u, 4u}) ExpectSameBytes(one, PackStream(contents, level, solid, threads));
    }
  }
}

// Random streams of many entries, a few of them longer than a slice.
TEST(SliceParse, RandomStreamsDecodeAndDoNotDependOnThreads) {
  for (uint32_t seed = 10; seed < 13; ++seed) {
    std::mt19937 rng(seed);
    std::vector<Bytes> contents;
    for (int i = 0; i < 5; ++i) {
      const size_t size = rng() % 4 == 0 ? kTestSlice * 2 + rng() % kTestSlice : rng() % 20000;
      contents.push_back(rng() % 3 == 0 ? packtest::TextBytes(size, rng()) : packtest::LzMixBytes(size, rng()));
    }
    const int level = int(seed % kMaxPackLevel) + 1;
    SCOPED_TRACE(testing::Message() << "seed " << seed << " level " << level);
    const Stream one = PackStream(contents, level, true, 1);
    ExpectDecodes(contents, one);
    ExpectSameBytes(one, PackStream(contents, level, true, 3));
  }
}

// Slices whose parsers begin with a match history the decoder does not hold (no warm-up,
// recent distances 1 to 4), and a run of one byte at each slice's start, which the parser
// codes through those distances: its first matches must be coded afresh against the
// decoder's history.
TEST(SliceParse, SlicesWhoseHistoryDiffersFromTheDecodersDecode) {
  std::vector<Bytes> contents;
  for (uint32_t seed = 20; seed < 22; ++seed) {
    Bytes b = packtest::LzMixBytes(3 * kTestSlice, seed);
    for (size_t at = kTestSlice; at < b.size(); at += kTestSlice) std::fill(b.begin() + ptrdiff_t(at - 1), b.begin() + ptrdiff_t(at + 40), uint8_t('z'));
    contents.push_back(b);
  }
  const MatchHistory foreign{{1, 2, 3, 4}, 4, 3, 1};
  for (int level : {1, kDefaultPackLevel, kMaxPackLevel}) {
    SCOPED_TRACE(testing::Message() << "level " << level);
    const Stream one = PackStream(contents, level, true, 1, 0, foreign);
    ExpectDecodes(contents, one);
    ExpectSameBytes(one, PackStream(contents, level, true, 2, 0, foreign));
  }
}

}  // namespace
