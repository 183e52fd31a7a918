// The binary-tree match finder: every candidate is a real match inside the window, lengths
// grow, and with no depth limit the longest candidate is the longest match there is (as a
// search of every earlier position finds it). Bytes changed under a tree (history the
// caller replaced) may cost matches but never yield a false one.
#include "pack/match_finder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "unpack/rar20_tables.h"

namespace {

constexpr uint32_t kFirst = 1u << 21;  // global position of the buffer's first byte

std::vector<uint8_t> MakeData(const std::string& kind, size_t size) {
  std::mt19937 rng(7);
  std::vector<uint8_t> d;
  if (kind == "words") {
    const char* words[] = {"alpha ", "beta ", "gamma ", "alphabet ", "bet ", "\n", "gamma-ray "};
    while (d.size() < size) {
      const char* w = words[rng() % 7];
      d.insert(d.end(), w, w + std::char_traits<char>::length(w));
    }
    d.resize(size);
  } else if (kind == "runs") {
    while (d.size() < size) d.insert(d.end(), 1 + rng() % 300, uint8_t(rng() % 3));
    d.resize(size);
  } else {
    const uint32_t alphabet = kind == "binary" ? 2 : 4;
    for (size_t i = 0; i < size; ++i) d.push_back(uint8_t('a' + rng() % alphabet));
  }
  return d;
}

uint32_t LongestEarlierMatch(const std::vector<uint8_t>& d, size_t pos, uint32_t maxLength) {
  uint32_t best = 0;
  for (size_t src = 0; src < pos; ++src) best = std::max(best, MatchLength(&d[src], &d[pos], maxLength));
  return best;
}

// Searches every position from `from` on, in order, and checks each candidate against the
// bytes; with `checkLongest`, also that the longest is the longest match there is.
void SearchAll(MatchFinder& mf, const std::vector<uint8_t>& d, size_t from, bool checkLongest) {
  MatchCandidate out[kMaxCandidates];
  for (size_t i = from; i < d.size(); ++i) {
    const uint32_t pos = kFirst + uint32_t(i);
    const uint32_t maxLength = uint32_t(std::min<size_t>(d.size() - i, kMaxMatchLength));
    const uint32_t n = SearchAndInsert(mf, d.data(), kFirst, pos, kFirst, maxLength, out);
    uint32_t previous = 0;
    for (uint32_t c = 0; c < n; ++c) {
      ASSERT_GT(out[c].length, previous) << "at " << i;
      ASSERT_GE(out[c].distance, 1u);
      ASSERT_LE(out[c].distance, i) << "at " << i;
      ASSERT_GE(MatchLength(&d[i - out[c].distance], &d[i], maxLength), out[c].length) << "at " << i;
      previous = out[c].length;
    }
    if (checkLongest) {
      const uint32_t longest = LongestEarlierMatch(d, i, maxLength);
      if (longest >= 4) {
        ASSERT_EQ(previous, longest) << "at " << i;
      }
    }
  }
}

class TreeFinder : public ::testing::TestWithParam<const char*> {};

TEST_P(TreeFinder, FindsTheLongestMatchWhenNotLimited) {
  const std::vector<uint8_t> d = MakeData(GetParam(), 5000);
  MatchFinder mf;
  InitMatchFinder(mf, 1u << 30, kMaxMatchLength);
  SearchAll(mf, d, 0, true);
}

TEST_P(TreeFinder, ReplacedBytesNeverYieldFalseMatches) {
  std::vector<uint8_t> d = MakeData(GetParam(), 20000);
  for (uint32_t depth : {4u, 64u}) {
    MatchFinder mf;
    InitMatchFinder(mf, depth, 48);
    SearchAll(mf, std::vector<uint8_t>(d.begin(), d.begin() + 10000), 0, false);
    // The bytes under the tree change, as when the caller drops history and reads other
    // data into it; the search goes on from there.
    std::mt19937 rng(depth);
    for (size_t i = 0; i < 10000; i += 1 + rng() % 7) d[i] = uint8_t(rng());
    SearchAll(mf, d, 10000, false);
  }
}

// Positions searched a few at a time (their tree walks interleaved) or recorded a range at a
// time leave the finder as positions taken one at a time do, with the same candidates, also
// once positions take the places of those leaving the window.
TEST_P(TreeFinder, PositionsTakenTogetherLeaveTheSameFinder) {
  const std::vector<uint8_t> d = MakeData(GetParam(), kWindowSize + 40000);
  const uint32_t size = uint32_t(d.size());
  MatchFinder one, together;
  InitMatchFinder(one, 16, 48);
  InitMatchFinder(together, 16, 48);
  MatchCandidate single[kMaxCandidates], out[kWalksTogether][kMaxCandidates];
  std::mt19937 rng(3);
  for (uint32_t i = 0; i < size;) {
    const uint32_t most = std::min(size - i, 1 + uint32_t(rng() % kWalksTogether));
    if (rng() % 2) {
      InsertPositions(together, &d[i], kFirst + i, kFirst + i + most, kFirst + size, kFirst);
      for (const uint32_t last = i + most; i < last; ++i) InsertPosition(one, &d[i], kFirst + i, size - i, kFirst);
      continue;
    }
    uint32_t lowest[kWalksTogether], maxLength[kWalksTogether], found[kWalksTogether];
    for (uint32_t k = 0; k < most; ++k) {
      lowest[k] = kFirst + (i + k > kWindowSize - 1 ? i + k - (kWindowSize - 1) : 0);
      maxLength[k] = std::min(size - (i + k), kMaxMatchLength);
    }
    const uint32_t count = SearchAndInsertTogether(together, d.data(), kFirst, kFirst + i, most, lowest, maxLength,
                                                   out, found);
    ASSERT_GE(count, 1u);
    ASSERT_LE(count, most);
    for (uint32_t k = 0; k < count; ++k, ++i) {
      const uint32_t n = SearchAndInsert(one, d.data(), kFirst, kFirst + i, lowest[k], maxLength[k], single);
      ASSERT_EQ(found[k], n) << "at " << i;
      for (uint32_t c = 0; c < n; ++c) {
        ASSERT_EQ(out[k][c].length, single[c].length) << "at " << i;
        ASSERT_EQ(out[k][c].distance, single[c].distance) << "at " << i;
      }
    }
  }
  EXPECT_TRUE(one.tree == together.tree);
  EXPECT_TRUE(one.head4 == together.head4);
  EXPECT_TRUE(one.head3 == together.head3);
  EXPECT_TRUE(one.head2 == together.head2);
}

// The case the interleaved walks must get right: the first walk ends at the oldest position in
// the window, whose place in the tree the second position takes. Sequentially, the second
// position's links are written after the first walk is over.
TEST(TreeFinderPair, FirstWalkEndingAtThePlaceOfTheSecondLeavesTheSameTree) {
  for (uint32_t seed = 0; seed < 8; ++seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> d(kWindowSize + 64);
    for (uint8_t& b : d) b = uint8_t('a' + rng() % 16);
    // Position 0 (the oldest when the pair is at kWindowSize - 1) shares the first walk's
    // bytes; position 500 shares the second's, so both walks hang a position.
    const uint32_t a = kWindowSize - 1;
    std::memcpy(&d[0], "WXYZ", 4);
    std::memcpy(&d[a], "WXYZ", 4);
    std::memcpy(&d[500], &d[a + 1], 6);
    MatchFinder one, together;
    InitMatchFinder(one, 16, 48);
    InitMatchFinder(together, 16, 48);
    for (uint32_t i = 0; i < 600; ++i) {  // the positions in between play no part
      InsertPosition(one, &d[i], kFirst + i, uint32_t(d.size()) - i, kFirst);
      InsertPosition(together, &d[i], kFirst + i, uint32_t(d.size()) - i, kFirst);
    }
    InsertPosition(one, &d[a], kFirst + a, uint32_t(d.size()) - a, kFirst);
    InsertPosition(one, &d[a + 1], kFirst + a + 1, uint32_t(d.size()) - a - 1, kFirst);
    InsertPositions(together, &d[a], kFirst + a, kFirst + a + 2, kFirst + uint32_t(d.size()), kFirst);
    EXPECT_TRUE(one.tree == together.tree) << "seed " << seed;
  }
}

// Hash chains recorded a range at a time (a tight loop up to the last positions that have four
// bytes to hash) leave the tables as positions recorded one at a time, up to the data's end.
TEST(ChainFinder, RangesLeaveTheSameTablesAsOnePositionAtATime) {
  const std::vector<uint8_t> d = MakeData("words", 30000);
  const uint32_t size = uint32_t(d.size());
  MatchFinder one, ranges;
  InitMatchFinder(one);
  InitMatchFinder(ranges);
  std::mt19937 rng(5);
  for (uint32_t i = 0; i < size;) {
    const uint32_t last = std::min(size, i + 1 + uint32_t(rng() % 40));
    InsertPositions(ranges, &d[i], kFirst + i, kFirst + last, kFirst + size, kFirst);
    for (; i < last; ++i) InsertPosition(one, &d[i], kFirst + i, size - i, kFirst);
  }
  EXPECT_TRUE(one.chain == ranges.chain);
  EXPECT_TRUE(one.head4 == ranges.head4);
  EXPECT_TRUE(one.head3 == ranges.head3);
  EXPECT_TRUE(one.head2 == ranges.head2);
}

INSTANTIATE_TEST_SUITE_P(Data, TreeFinder, ::testing::Values("binary", "quaternary", "words", "runs"));

}  // namespace
