// Blocks of symbols and their codes (see encoder_internals.h).
//
// Parsed symbols wait in `enc.tokens` until their codes are chosen. They are grouped in
// blocks of a fixed number of symbols; consecutive blocks form a segment that shares one
// set of codes for as long as that is cheaper than starting new codes. A segment is coded
// either with the codes in force (no table block) or with codes fitted to it, announced by
// symbol 269 and a table block.
#include <cstring>

#include "pack/encoder_internals.h"
#include "pack/huffman_encoder.h"

namespace rar20pack {
namespace {

void WriteToken(BitWriter& w, const EncoderCodes& codes, const PackToken& t) {
  PutBits(w, codes.codes[t.symbol], codes.lengths[t.symbol]);
  PutBits(w, t.extra, t.extraBits);
  if (t.secondTable) {
    uint32_t s = (t.secondTable == 1 ? kDistanceOffset : kRepeatOffset) + t.second;
    PutBits(w, codes.codes[s], codes.lengths[s]);
    PutBits(w, t.secondExtra, t.secondBits);
  }
}

// Bits of the block's symbols under the given code lengths; UINT64_MAX when a symbol it
// uses has no code.
uint64_t BlockCost(const BlockStats& stats, const uint8_t* lengths) {
  uint64_t bits = 0;
  for (uint32_t s = 0; s < kLzLengthCount; ++s) {
    if (!stats.counts[s]) continue;
    if (!lengths[s]) return UINT64_MAX;
    bits += uint64_t(stats.counts[s]) * lengths[s];
  }
  return bits;
}

void FitCodes(const BlockStats& stats, EncoderCodes& out) {
  uint32_t counts[kLzLengthCount];
  std::memcpy(counts, stats.counts, sizeof counts);
  // Every code can announce a table block, so the codes can change after any block.
  counts[kSymbolTableBlock] = std::max<uint32_t>(counts[kSymbolTableBlock], 1);
  BuildCodeLengths(counts, kLiteralTableSize, kMaxCodeLength, out.lengths);
  BuildCodeLengths(counts + kDistanceOffset, kDistanceTableSize, kMaxCodeLength, out.lengths + kDistanceOffset);
  BuildCodeLengths(counts + kRepeatOffset, kRepeatLengthTableSize, kMaxCodeLength, out.lengths + kRepeatOffset);
  AssignCanonicalCodes(out.lengths, kLiteralTableSize, out.codes);
  AssignCanonicalCodes(out.lengths + kDistanceOffset, kDistanceTableSize, out.codes + kDistanceOffset);
  AssignCanonicalCodes(out.lengths + kRepeatOffset, kRepeatLengthTableSize, out.codes + kRepeatOffset);
}

// Writes the first `count` pending symbols, whose counts are `stats`, with the codes in
// force or with codes fitted to them, whichever is smaller. `startOfStream`: they open a
// non-solid entry, whose table block the decoder reads without a 269 in front of it.
void WriteSegment(Rar20Encoder& enc, BitWriter& w, size_t count, const BlockStats& stats, bool& startOfStream) {
  if (count == 0 && !startOfStream) return;
  EncoderCodes fitted;
  FitCodes(stats, fitted);
  if (startOfStream) {
    WriteTableBlock(w, fitted.lengths, enc.tableHistory);
    enc.codes = fitted;
    enc.haveCodes = true;
    startOfStream = false;
  } else {
    uint64_t keepCost = BlockCost(stats, enc.codes.lengths);
    uint64_t switchCost = BlockCost(stats, fitted.lengths) + TableBlockBits(fitted.lengths, enc.tableHistory) +
                          enc.codes.lengths[kSymbolTableBlock];
    if (switchCost < keepCost) {
      PutBits(w, enc.codes.codes[kSymbolTableBlock], enc.codes.lengths[kSymbolTableBlock]);
      enc.symbolUse[kSymbolTableBlock]++;
      WriteTableBlock(w, fitted.lengths, enc.tableHistory);
      enc.codes = fitted;
    }
  }
  for (size_t i = 0; i < count; ++i) {
    WriteToken(w, enc.codes, enc.tokens[i]);
    enc.symbolUse[enc.tokens[i].symbol]++;
  }
  enc.tokens.erase(enc.tokens.begin(), enc.tokens.begin() + ptrdiff_t(count));
}

// Bits of a run of symbols coded with codes fitted to them, their table block included.
uint64_t FittedCost(const BlockStats& stats, const TableHistory& history, EncoderCodes& fitted) {
  FitCodes(stats, fitted);
  return BlockCost(stats, fitted.lengths) + TableBlockBits(fitted.lengths, history);
}

constexpr size_t kMaxSegmentSymbols = 1 << 18;  // bounds the memory of pending symbols

}  // namespace

uint64_t FittedSymbolBits(const BlockStats& stats) {
  EncoderCodes fitted;
  FitCodes(stats, fitted);
  return BlockCost(stats, fitted.lengths);
}

// Ends the block being parsed. Pending symbols form a segment that will share one set of
// codes; the new block joins it when one set of codes for both costs less than two, and
// otherwise the segment is written and the block starts the next one. `entryEnd` writes
// everything: an entry's stream is complete when the entry ends.
void FinishBlock(Rar20Encoder& enc, BitWriter& w, bool& startOfStream, bool entryEnd) {
  const size_t blockCount = enc.tokens.size() - enc.segmentSymbols;
  if (blockCount > 0) UpdatePrices(enc, enc.blockStats);
  if (enc.slice) {  // a slice's parser: the block is kept for the coder of the whole entry
    enc.slice->tokens.insert(enc.slice->tokens.end(), enc.tokens.begin(), enc.tokens.end());
    enc.slice->blockEnds.push_back(enc.slice->tokens.size());
    enc.tokens.clear();
    enc.segmentSymbols = 0;
    std::memset(&enc.blockStats, 0, sizeof enc.blockStats);
    return;
  }
  if (enc.segmentSymbols > 0 && blockCount > 0) {
    BlockStats merged;
    for (uint32_t s = 0; s < kLzLengthCount; ++s) merged.counts[s] = enc.stats.counts[s] + enc.blockStats.counts[s];
    EncoderCodes both, first, second;
    const uint64_t mergedCost = FittedCost(merged, enc.tableHistory, both);
    uint64_t splitCost = FittedCost(enc.stats, enc.tableHistory, first);
    TableHistory afterFirst;
    std::memcpy(afterFirst.lengths, first.lengths, kLzLengthCount);
    splitCost += FittedCost(enc.blockStats, afterFirst, second) + first.lengths[kSymbolTableBlock];
    if (splitCost < mergedCost || enc.tokens.size() > kMaxSegmentSymbols) {
      WriteSegment(enc, w, enc.segmentSymbols, enc.stats, startOfStream);
      enc.stats = enc.blockStats;
    } else {
      enc.stats = merged;
    }
  } else {
    for (uint32_t s = 0; s < kLzLengthCount; ++s) enc.stats.counts[s] += enc.blockStats.counts[s];
  }
  std::memset(&enc.blockStats, 0, sizeof enc.blockStats);
  enc.segmentSymbols = enc.tokens.size();
  if (entryEnd) {
    WriteSegment(enc, w, enc.tokens.size(), enc.stats, startOfStream);
    std::memset(&enc.stats, 0, sizeof enc.stats);
    enc.segmentSymbols = 0;
  }
}

}  // namespace rar20pack
