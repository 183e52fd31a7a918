// Long entries parsed in slices: the packed bytes must be the same whatever the number of
// threads, at every level, in solid and non-solid streams, and must decode to the input.
// Slices are made small here so that entries of a few hundred kilobytes span several, and
// the data makes the slices' first symbols refer to recent distances and to the repeat of
// the latest match, which are coded afresh against the decoder's history.
#include "pack/rar20_encoder.h"

#include <gtest/gtest.h>

#include <memory>

#include "pack_test_data.h"
#include "support/decoder_harness.h"

namespace {

using packtest::Bytes;

constexpr uint32_t kTestSlice = 64 * 1024;

struct Stream {
  std::vector<PackedEntry> entries;
};

Stream PackStream(const std::vector<Bytes>& contents, int level, bool solid, uint32_t threads,
                  uint32_t warmUp = 16 * 1024) {
  std::unique_ptr<Rar20Encoder> enc(new Rar20Encoder);
  InitEncoder(*enc, level, solid);
  enc->sliceSize = kTestSlice;
  enc->threads = threads;
  enc->sliceWarmUp = warmUp;
  Stream out;
  for (const Bytes& c : contents) {
    PackedEntry e;
    PackEntry(*enc, c.data(), c.size(), true, e);
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

// A stream of long and short entries: LZ-made data (every kind of symbol), text, random
// bytes (stored, and taken back from the middle of the stream), and short entries between.
std::vector<Bytes> MixedStream() {
  return {packtest::LzMixBytes(200000, 1), packtest::TextBytes(5000, 2), packtest::RandomBytes(80000, 3),
          packtest::TextBytes(140000, 5), packtest::LzMixBytes(kTestSlice + 1, 6)};
}

TEST(SliceParse, SameBytesForEveryThreadCountAtEveryLevel) {
  const std::vector<Bytes> contents = MixedStream();
  for (bool solid : {true, false}) {
    for (int level = kMinPackLevel; level <= kMaxPackLevel; ++level) {
      if (!solid && level != kDefaultPackLevel) continue;  // a non-solid stream differs only in its start
      SCOPED_TRACE(testing::Message() << "level " << level << (solid ? " solid" : " non-solid"));
      const Stream one = PackStream(contents, level, solid, 1);
      ExpectDecodes(contents, one);
      EXPECT_TRUE(one.entries[2].stored);
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

// A warm-up too short to agree with the stream: the slices begin with match histories
// other than the decoder's, and their first matches must be coded afresh.
TEST(SliceParse, SlicesWhoseHistoryDiffersFromTheDecodersDecode) {
  std::vector<Bytes> contents;
  for (uint32_t seed = 20; seed < 23; ++seed) contents.push_back(packtest::LzMixBytes(3 * kTestSlice + 999, seed));
  for (int level : {1, kDefaultPackLevel, kMaxPackLevel}) {
    SCOPED_TRACE(testing::Message() << "level " << level);
    const Stream one = PackStream(contents, level, true, 1, 24);
    ExpectDecodes(contents, one);
    ExpectSameBytes(one, PackStream(contents, level, true, 2, 24));
  }
}

}  // namespace
