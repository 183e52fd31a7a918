// Table blocks: what the writer emits is read back by the decoder's own ReadTableBlock into
// exactly the intended lengths, with the keep flag and runs chosen to make the block small.
#include "pack/table_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "support/decoder_harness.h"
#include "unpack/huffman.h"

namespace {

using Lengths = std::vector<uint8_t>;

// Reads one block with the decoder, starting from `previous` as its previous lengths;
// returns the lengths it holds afterwards and the bits it consumed.
Lengths ReadBack(const BitWriter& w, const uint8_t* previous, uint32_t* bitsRead) {
  DecoderHarness h;
  DecoderState* context = h.decoder();
  DecoderState& d = *context;
  EXPECT_LT(w.bytes.size(), 8000u);
  std::memset(d.inputBuffer, 0, sizeof d.inputBuffer);
  std::memcpy(d.inputBuffer, w.bytes.data(), w.bytes.size());
  d.inputPos = 0;
  d.inputBitPos = 0;
  d.inputEnd = int32_t(w.bytes.size());
  std::memcpy(d.previousLengths, previous, kAllLengthsSize);
  ReadTableBlock(context);
  *bitsRead = d.inputPos * 8 + d.inputBitPos;
  return Lengths(d.previousLengths, d.previousLengths + kLzLengthCount);
}

struct TableCase {
  const char* name;
  Lengths lengths;
  Lengths history;
};

std::vector<TableCase> Cases() {
  std::mt19937 rng(99);
  std::vector<TableCase> cases;
  Lengths zeros(kLzLengthCount, 0);
  Lengths random(kLzLengthCount);
  for (auto& l : random) l = uint8_t(rng() % 16);
  Lengths sparse(kLzLengthCount, 0);
  for (size_t i = 0; i < kLzLengthCount; i += 1 + rng() % 40) sparse[i] = uint8_t(1 + rng() % 15);
  Lengths runs(kLzLengthCount);
  for (size_t i = 0; i < kLzLengthCount; ++i) runs[i] = uint8_t((i / 9) % 3 == 0 ? 0 : 8);
  Lengths nudged = random;
  for (size_t i = 0; i < kLzLengthCount; i += 5) nudged[i] = uint8_t((nudged[i] + 1) % 16);
  // Zero runs of the lengths around the limits of the short (3..10) and long (11..138)
  // zero symbols, each after a non-zero length.
  Lengths zeroRuns;
  for (uint32_t run : {138u, 2u, 139u, 10u, 11u, 140u, 3u, 12u, 137u, 4u}) {
    zeroRuns.push_back(uint8_t(1 + zeroRuns.size() % 15));
    zeroRuns.insert(zeroRuns.end(), run, 0);
  }
  zeroRuns.resize(kLzLengthCount, 0);
  cases.push_back({"all zero", zeros, zeros});
  cases.push_back({"all fifteen", Lengths(kLzLengthCount, 15), zeros});
  cases.push_back({"random", random, zeros});
  cases.push_back({"random over random", random, nudged});
  cases.push_back({"sparse (long zero runs)", sparse, zeros});
  cases.push_back({"runs of equal values", runs, zeros});
  cases.push_back({"unchanged", random, random});
  cases.push_back({"zeros over random", zeros, random});
  cases.push_back({"zero runs about the symbols' limits", zeroRuns, zeros});
  return cases;
}

TEST(TableBlock, DecoderReadsBackExactlyTheLengthsAndTheBitsAnnounced) {
  for (const TableCase& c : Cases()) {
    TableHistory history;
    std::memcpy(history.lengths, c.history.data(), kLzLengthCount);
    const uint32_t announced = TableBlockBits(c.lengths.data(), history);
    uint8_t previous[kAllLengthsSize];
    std::memcpy(previous, history.lengths, kAllLengthsSize);
    BitWriter w;
    WriteTableBlock(w, c.lengths.data(), history);
    EXPECT_EQ(BitCount(w), announced) << c.name;
    FlushBits(w);
    uint32_t bitsRead = 0;
    EXPECT_EQ(ReadBack(w, previous, &bitsRead), c.lengths) << c.name;
    EXPECT_EQ(bitsRead, announced) << c.name;
    EXPECT_EQ(Lengths(history.lengths, history.lengths + kLzLengthCount), c.lengths) << c.name;
  }
}

TEST(TableBlock, KeepFlagAndRunsMakeTheBlockSmall) {
  std::vector<TableCase> cases = Cases();
  TableHistory none;
  // Unchanged lengths cost far less as deltas (keep flag 1) than absolutely.
  const TableCase& unchanged = cases[6];
  TableHistory same;
  std::memcpy(same.lengths, unchanged.history.data(), kLzLengthCount);
  EXPECT_LT(TableBlockBits(unchanged.lengths.data(), same), TableBlockBits(unchanged.lengths.data(), none) / 2);
  BitWriter w;
  WriteTableBlock(w, unchanged.lengths.data(), same);
  FlushBits(w);
  EXPECT_EQ(w.bytes[0] & 0xC0, 0x40);  // LZ block, keep flag set
  // Zero runs (17, 18) and repeats (16): 374 zeros fit in a few symbols.
  EXPECT_LE(TableBlockBits(cases[0].lengths.data(), none), 2u + 76 + 3 * (1 + 7));  // three 18s
  EXPECT_LT(TableBlockBits(cases[5].lengths.data(), none), 2u + 76 + 374);
  BitWriter fresh;
  WriteTableBlock(fresh, cases[2].lengths.data(), none);
  FlushBits(fresh);
  EXPECT_EQ(fresh.bytes[0] & 0xC0, 0x00);  // nothing to keep: absolute lengths
}

}  // namespace
