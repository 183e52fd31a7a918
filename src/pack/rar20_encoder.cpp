// The RAR 2.0 compressor (see rar20_encoder.h).
#include "pack/rar20_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "pack/huffman_encoder.h"

namespace {

// ---- Constants ----------------------------------------------------------------------------

constexpr uint32_t kFirstPosition = 2 * kWindowSize;  // positions start here, so pos - window never wraps
constexpr uint32_t kPositionLimit = 0x70000000u;       // positions are moved down beyond this (an entry may add 2 GiB)
constexpr uint32_t kMaxDistance = kWindowSize - 1;
constexpr uint32_t kDistanceOffset = kLiteralTableSize;                       // distance slots in the lengths array
constexpr uint32_t kRepeatOffset = kLiteralTableSize + kDistanceTableSize;   // repeat-length slots
constexpr uint32_t kPriceUnit = 16;                                           // prices are 1/16 bit
constexpr uint32_t kNoSecond = 0xFF;

// ---- Slot lookup ----------------------------------------------------------------------------

// Length slot of a length value 0..255 (after the minimum length and bonuses are taken off).
uint32_t LengthSlot(uint32_t value) {
  uint32_t slot = 0;
  while (slot + 1 < kLengthSlotCount && kLengthBase[slot + 1] <= value) ++slot;
  return slot;
}

struct LengthSlotTable {
  uint8_t slot[256];
  LengthSlotTable() {
    for (uint32_t v = 0; v < 256; ++v) slot[v] = uint8_t(LengthSlot(v));
  }
};
const LengthSlotTable kLengthSlots;

// Distance slot of a distance value (distance - 1), 0 .. 0xFFFFF.
inline uint32_t DistanceSlot(uint32_t value) {
  if (value < 4) return value;
  if (value >= 0x20000) return 34 + ((value - 0x20000) >> 16);
  uint32_t log = 31 - uint32_t(__builtin_clz(value));
  return 2 * log + ((value >> (log - 1)) & 1);
}

// Short-distance slot of distance - 1 (0..255).
inline uint32_t ShortSlot(uint32_t value) {
  uint32_t slot = 0;
  while (slot + 1 < kShortSlotCount && kShortBase[slot + 1] <= value) ++slot;
  return slot;
}

// Length added by the decoder for the distance of a long match / a recent-distance match.
inline uint32_t LongBonus(uint32_t distance) {
  return (distance >= kBonusDistanceFar) + (distance >= kBonusDistanceMid);
}
inline uint32_t RecentBonus(uint32_t distance) {
  return LongBonus(distance) + (distance >= kBonusDistanceNear);
}

// ---- Parse choices --------------------------------------------------------------------------

enum ChoiceKind : uint8_t { kLiteral, kLong, kRecent, kRepeatLast, kShort };

struct Choice {
  ChoiceKind kind = kLiteral;
  uint32_t length = 1;
  uint32_t distance = 0;
  uint32_t recentIndex = 0;  // k = 1..4 for recent-distance matches
  int32_t gain = 0;          // bits saved against literals, 1/16 bit
};

// ---- Prices -----------------------------------------------------------------------------------

void DerivePrices(Rar20Encoder& enc) {
  for (uint32_t v = 0; v < 256; ++v) {
    const uint32_t slot = kLengthSlots.slot[v];
    enc.longLengthPrice[v] = enc.prices[kSymbolLongFirst + slot] + kLengthBits[slot] * kPriceUnit;
    enc.recentLengthPrice[v] = enc.prices[kRepeatOffset + slot] + kLengthBits[slot] * kPriceUnit;
  }
  for (uint32_t slot = 0; slot < kDistanceSlotCount; ++slot)
    enc.distanceSlotPrice[slot] = enc.prices[kDistanceOffset + slot] + kDistanceBits[slot] * kPriceUnit;
}

void SetDefaultPrices(Rar20Encoder& enc) {
  for (uint32_t s = 0; s < kLzLengthCount; ++s) enc.prices[s] = 6 * kPriceUnit;
  for (uint32_t s = 0; s < kLiteralCount; ++s) enc.prices[s] = 8 * kPriceUnit;
  enc.prices[kSymbolTableBlock] = 15 * kPriceUnit;
  enc.literalPrice = 8 * kPriceUnit;
  DerivePrices(enc);
}

// Prices for the next block from the counts of the block just coded: -log2 of each
// symbol's share within its code, with every symbol counted half a time more so that
// unused symbols stay affordable.
void UpdatePrices(Rar20Encoder& enc, const BlockStats& stats) {
  struct Range { uint32_t first, count; };
  const Range ranges[3] = {{0, kLiteralTableSize}, {kDistanceOffset, kDistanceTableSize},
                           {kRepeatOffset, kRepeatLengthTableSize}};
  for (const Range& r : ranges) {
    double total = 0;
    for (uint32_t i = 0; i < r.count; ++i) total += stats.counts[r.first + i] + 0.5;
    for (uint32_t i = 0; i < r.count; ++i) {
      double bits = std::log2(total / (stats.counts[r.first + i] + 0.5));
      bits = std::min(std::max(bits, 1.0), 15.0);
      enc.prices[r.first + i] = uint32_t(bits * kPriceUnit + 0.5);
    }
  }
  uint64_t literals = 0, cost = 0;
  for (uint32_t s = 0; s < kLiteralCount; ++s) {
    literals += stats.counts[s];
    cost += uint64_t(stats.counts[s]) * enc.prices[s];
  }
  enc.literalPrice = literals ? uint32_t(cost / literals) : 8 * kPriceUnit;
  DerivePrices(enc);
}

inline uint32_t LongPrice(const Rar20Encoder& enc, uint32_t length, uint32_t distance) {
  return enc.longLengthPrice[length - kLongMatchMinLength - LongBonus(distance)] +
         enc.distanceSlotPrice[DistanceSlot(distance - 1)];
}

inline uint32_t RecentPrice(const Rar20Encoder& enc, uint32_t k, uint32_t length, uint32_t distance) {
  return enc.prices[kSymbolRepeatLast + k] + enc.recentLengthPrice[length - kRecentMatchMinLength - RecentBonus(distance)];
}

inline uint32_t ShortPrice(const Rar20Encoder& enc, uint32_t distance) {
  uint32_t slot = ShortSlot(distance - 1);
  return enc.prices[kSymbolShortFirst + slot] + kShortBits[slot] * kPriceUnit;
}

// ---- Tokens ---------------------------------------------------------------------------------

void AddToken(Rar20Encoder& enc, const PackToken& t) {
  enc.tokens.push_back(t);
  enc.blockStats.counts[t.symbol]++;
  if (t.secondTable == 1) enc.blockStats.counts[kDistanceOffset + t.second]++;
  if (t.secondTable == 2) enc.blockStats.counts[kRepeatOffset + t.second]++;
}

void EmitLiteral(Rar20Encoder& enc, uint8_t byte) {
  AddToken(enc, PackToken{byte, 0, kNoSecond, 0, 0, 0, 0});
}

// Records a match in the mirrored history exactly as the decoder's CopyMatch does.
void PushMatch(MatchHistory& h, uint32_t length, uint32_t distance) {
  h.recentDistances[h.recentCount % kRecentDistanceCount] = distance;
  h.recentCount++;
  h.lastDistance = distance;
  h.lastLength = length;
}

void EmitMatch(Rar20Encoder& enc, const Choice& c) {
  PackToken t{0, 0, kNoSecond, 0, 0, 0, 0};
  switch (c.kind) {
    case kLong: {
      uint32_t value = c.length - kLongMatchMinLength - LongBonus(c.distance);
      uint32_t ls = kLengthSlots.slot[value];
      uint32_t dv = c.distance - 1;
      uint32_t ds = DistanceSlot(dv);
      t = PackToken{uint16_t(kSymbolLongFirst + ls), kLengthBits[ls], uint8_t(ds), kDistanceBits[ds], 1,
                    value - kLengthBase[ls], dv - kDistanceBase[ds]};
      break;
    }
    case kRecent: {
      uint32_t value = c.length - kRecentMatchMinLength - RecentBonus(c.distance);
      uint32_t ls = kLengthSlots.slot[value];
      t = PackToken{uint16_t(kSymbolRepeatLast + c.recentIndex), 0, uint8_t(ls), kLengthBits[ls], 2, 0,
                    value - kLengthBase[ls]};
      break;
    }
    case kRepeatLast:
      t.symbol = kSymbolRepeatLast;
      break;
    case kShort: {
      uint32_t slot = ShortSlot(c.distance - 1);
      t = PackToken{uint16_t(kSymbolShortFirst + slot), kShortBits[slot], kNoSecond, 0, 0,
                    c.distance - 1 - kShortBase[slot], 0};
      break;
    }
    case kLiteral:
      return;
  }
  AddToken(enc, t);
  PushMatch(enc.matches, c.length, c.distance);
}

// ---- Blocks -------------------------------------------------------------------------------

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

// Ends the block being parsed. Pending symbols form a segment that will share one set of
// codes; the new block joins it when one set of codes for both costs less than two, and
// otherwise the segment is written and the block starts the next one. `entryEnd` writes
// everything: an entry's stream is complete when the entry ends.
void FinishBlock(Rar20Encoder& enc, BitWriter& w, bool& startOfStream, bool entryEnd) {
  const size_t blockCount = enc.tokens.size() - enc.segmentSymbols;
  if (blockCount > 0) UpdatePrices(enc, enc.blockStats);
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

// ---- Parsing ------------------------------------------------------------------------------

struct Parser {
  Rar20Encoder& enc;
  const uint8_t* base;      // address of position enc.historyStart
  uint32_t end;             // one past the entry's last position
  uint32_t lowest;          // lowest position the decoder's window holds
  uint32_t inserted;        // positions below this are in the match finder

  const uint8_t* At(uint32_t pos) const { return base + (pos - enc.historyStart); }

  void InsertUpTo(uint32_t pos) {
    for (; inserted < pos; ++inserted) InsertPosition(enc.finder, At(inserted), inserted, end - inserted);
  }

  // Valid source of a match at pos with this distance?
  bool Reaches(uint32_t pos, uint32_t distance) const {
    return distance >= 1 && distance <= kMaxDistance && pos - lowest >= distance;
  }

  Choice Best(uint32_t pos) {
    Choice best;
    const uint32_t maxLength = std::min<uint32_t>(end - pos, kMaxMatchLength);
    if (maxLength < 2) return best;
    const uint8_t* cur = At(pos);
    const int32_t lit = int32_t(enc.literalPrice);
    auto offer = [&](ChoiceKind kind, uint32_t length, uint32_t distance, uint32_t k, uint32_t price) {
      int32_t gain = int32_t(length) * lit - int32_t(price);
      if (gain > best.gain) best = Choice{kind, length, distance, k, gain};
    };
    const MatchHistory& h = enc.matches;
    // Repeat of the latest match: exactly its length at its distance.
    if (h.lastLength >= 2 && h.lastLength <= maxLength && Reaches(pos, h.lastDistance) &&
        MatchLength(cur - h.lastDistance, cur, h.lastLength) == h.lastLength)
      offer(kRepeatLast, h.lastLength, h.lastDistance, 0, enc.prices[kSymbolRepeatLast]);
    // The four recent distances.
    for (uint32_t k = 1; k <= kRecentDistanceCount; ++k) {
      uint32_t d = h.recentDistances[(h.recentCount - k) % kRecentDistanceCount];
      if (!Reaches(pos, d)) continue;
      uint32_t minLength = kRecentMatchMinLength + RecentBonus(d);
      uint32_t limit = std::min(maxLength, minLength + 255);
      uint32_t length = MatchLength(cur - d, cur, limit);
      if (length >= minLength) offer(kRecent, length, d, k, RecentPrice(enc, k, length, d));
    }
    // Matches from the finder.
    MatchCandidate found[kMaxCandidates];
    uint32_t lowestSource = std::max(lowest, pos - kMaxDistance);
    uint32_t n = FindMatches(enc.finder, base, enc.historyStart, pos, lowestSource, maxLength,
                             enc.level.chainDepth, enc.level.niceLength, found);
    for (uint32_t i = 0; i < n; ++i) {
      uint32_t d = found[i].distance;
      uint32_t length = found[i].length;
      uint32_t minLength = kLongMatchMinLength + LongBonus(d);
      if (length >= minLength) {
        length = std::min(length, minLength + 255);
        offer(kLong, length, d, 0, LongPrice(enc, length, d));
      } else if (d <= 256) {
        offer(kShort, 2, d, 0, ShortPrice(enc, d));
      }
    }
    return best;
  }
};

void OptimalParse(Rar20Encoder& enc, Parser& p, uint32_t start, uint32_t end, BitWriter& w, bool& firstBlock);

void ParseEntry(Rar20Encoder& enc, uint32_t start, uint32_t end, BitWriter& w, bool startOfStream) {
  Parser p{enc, enc.history.data(), end, enc.streamStart, start};
  if (enc.level.optimal) {
    bool firstBlock = startOfStream;
    OptimalParse(enc, p, start, end, w, firstBlock);
    p.InsertUpTo(end);
    FinishBlock(enc, w, firstBlock, true);
    return;
  }
  const uint32_t lazy = enc.level.lazySteps;
  Choice ahead[3];
  uint32_t aheadPos[3] = {0, 0, 0};
  bool aheadValid[3] = {false, false, false};
  auto bestAt = [&](uint32_t pos, int slot) -> const Choice& {
    if (!aheadValid[slot] || aheadPos[slot] != pos) {
      p.InsertUpTo(pos);
      ahead[slot] = p.Best(pos);
      aheadPos[slot] = pos;
      aheadValid[slot] = true;
    }
    return ahead[slot];
  };
  uint32_t pos = start;
  bool firstBlock = startOfStream;
  while (pos < end) {
    // Candidates live in slots by position mod 3 so that a literal keeps the look-ahead.
    Choice c = bestAt(pos, pos % 3);
    bool takeLiteral = c.kind == kLiteral;
    if (!takeLiteral && lazy && c.length < enc.level.niceLength) {
      for (uint32_t step = 1; step <= lazy && pos + step < end; ++step) {
        const Choice& later = bestAt(pos + step, (pos + step) % 3);
        if (later.gain > c.gain) {
          takeLiteral = true;
          break;
        }
      }
    }
    if (takeLiteral) {
      EmitLiteral(enc, *p.At(pos));
      pos += 1;
    } else {
      EmitMatch(enc, c);
      pos += c.length;
      aheadValid[0] = aheadValid[1] = aheadValid[2] = false;  // the distance ring changed
    }
    if (enc.tokens.size() - enc.segmentSymbols >= enc.level.blockSymbols) {
      FinishBlock(enc, w, firstBlock, false);
      if (enc.progress) enc.progress(enc.progressUser, pos - start);
    }
  }
  p.InsertUpTo(end);
  FinishBlock(enc, w, firstBlock, true);
}

// ---- Optimal parsing ----------------------------------------------------------------------
//
// Within a stretch of up to kOptimalSpan positions, the cheapest way to code every prefix
// is found by dynamic programming over the symbol prices: node i holds the cheapest cost of
// coding the stretch's first i bytes, how the last step got there, and the match history
// (recent distances, latest match) that path leaves, which decides what the recent-distance
// and repeat symbols can reach from there. Every step out of a node is tried: a literal,
// the repeat of the latest match, each recent distance at every length it allows, the
// finder's matches at every length (each length from the nearest candidate that reaches
// it), and the short length-2 match. A match of `niceLength` or more ends the stretch early
// and is taken as it is.

constexpr uint32_t kOptimalSpan = 2048;
constexpr uint32_t kInfiniteCost = 0xFFFFFFFFu;

struct Node {
  uint32_t cost;
  uint32_t from;      // node the step came from
  Choice step;        // the step into this node
  MatchHistory history;
};

void OptimalParse(Rar20Encoder& enc, Parser& p, uint32_t start, uint32_t end, BitWriter& w, bool& firstBlock) {
  std::vector<Node> nodes(kOptimalSpan + kMaxMatchLength + 1);
  std::vector<Choice> path;
  MatchCandidate found[kMaxCandidates];
  uint32_t pos = start;
  while (pos < end) {
    const uint32_t span = std::min<uint32_t>(kOptimalSpan, end - pos);
    for (uint32_t i = 0; i <= span; ++i) nodes[i].cost = kInfiniteCost;
    nodes[0].cost = 0;
    nodes[0].history = enc.matches;
    uint32_t last = span;     // the node the stretch ends at
    Choice tail;              // a long match taken after `last`, if any
    tail.kind = kLiteral;
    tail.length = 0;
    for (uint32_t i = 0; i < span; ++i) {
      Node& node = nodes[i];
      // The match history of the cheapest path to this node, from its predecessor's.
      if (i > 0) {
        node.history = nodes[node.from].history;
        if (node.step.kind != kLiteral) PushMatch(node.history, node.step.length, node.step.distance);
      }
      const uint32_t at = pos + i;
      const uint32_t maxLength = std::min<uint32_t>(end - at, kMaxMatchLength);
      const uint8_t* cur = p.At(at);
      const uint32_t reach = span - i;  // steps may not pass the stretch's end
      auto relax = [&](uint32_t length, uint32_t price, ChoiceKind kind, uint32_t distance, uint32_t k) {
        Node& next = nodes[i + length];
        uint32_t cost = node.cost + price;
        if (cost < next.cost) {
          next.cost = cost;
          next.from = i;
          next.step = Choice{kind, length, distance, k, 0};
        }
      };
      p.InsertUpTo(at);
      uint32_t n = 0;
      if (maxLength >= 2) {
        const uint32_t lowestSource = std::max(p.lowest, at - kMaxDistance);
        n = FindMatches(enc.finder, p.base, enc.historyStart, at, lowestSource, maxLength, enc.level.chainDepth,
                        enc.level.niceLength, found);
      }
      // A long enough match ends the stretch: take it whole.
      if (n > 0 && found[n - 1].length >= enc.level.niceLength) {
        const uint32_t d = found[n - 1].distance;
        const uint32_t minLength = kLongMatchMinLength + LongBonus(d);
        if (found[n - 1].length >= minLength) {
          last = i;
          tail = Choice{kLong, std::min(found[n - 1].length, minLength + 255), d, 0, 0};
          break;
        }
      }
      relax(1, enc.prices[*cur], kLiteral, 0, 0);
      if (maxLength < 2) continue;
      const MatchHistory& h = node.history;
      if (h.lastLength >= 2 && h.lastLength <= std::min(maxLength, reach) && p.Reaches(at, h.lastDistance) &&
          MatchLength(cur - h.lastDistance, cur, h.lastLength) == h.lastLength)
        relax(h.lastLength, enc.prices[kSymbolRepeatLast], kRepeatLast, h.lastDistance, 0);
      for (uint32_t k = 1; k <= kRecentDistanceCount; ++k) {
        const uint32_t d = h.recentDistances[(h.recentCount - k) % kRecentDistanceCount];
        if (!p.Reaches(at, d)) continue;
        const uint32_t minLength = kRecentMatchMinLength + RecentBonus(d);
        const uint32_t length = MatchLength(cur - d, cur, std::min({maxLength, minLength + 255, reach}));
        const uint32_t symbolPrice = enc.prices[kSymbolRepeatLast + k];
        for (uint32_t l = minLength; l <= length; ++l)
          relax(l, symbolPrice + enc.recentLengthPrice[l - minLength], kRecent, d, k);
      }
      uint32_t covered = 1;
      bool shortDone = false;
      for (uint32_t c = 0; c < n; ++c) {
        const uint32_t d = found[c].distance;
        if (!shortDone && d <= 256 && reach >= 2) {
          relax(2, ShortPrice(enc, d), kShort, d, 0);
          shortDone = true;
        }
        const uint32_t minLength = kLongMatchMinLength + LongBonus(d);
        const uint32_t top = std::min({found[c].length, minLength + 255, reach});
        const uint32_t distancePrice = enc.distanceSlotPrice[DistanceSlot(d - 1)];
        for (uint32_t l = std::max(covered + 1, minLength); l <= top; ++l)
          relax(l, distancePrice + enc.longLengthPrice[l - minLength], kLong, d, 0);
        covered = std::max(covered, top);
      }
    }
    // Walk back from the end node and code the steps in order.
    path.clear();
    for (uint32_t i = last; i > 0; i = nodes[i].from) path.push_back(nodes[i].step);
    for (size_t k = path.size(); k-- > 0;) {
      const Choice& c = path[k];
      if (c.kind == kLiteral) {
        EmitLiteral(enc, *p.At(pos));
      } else {
        EmitMatch(enc, c);
      }
      pos += c.length;
    }
    if (tail.kind != kLiteral) {
      EmitMatch(enc, tail);
      pos += tail.length;
    }
    if (enc.tokens.size() - enc.segmentSymbols >= enc.level.blockSymbols) {
      FinishBlock(enc, w, firstBlock, false);
      if (enc.progress) enc.progress(enc.progressUser, pos - start);
    }
  }
}

// Keeps at most one window of history before the next entry, dropping older bytes in
// large steps so the copying stays rare.
void TrimHistory(Rar20Encoder& enc) {
  const size_t keep = kWindowSize;
  if (enc.history.size() < 4 * size_t(kWindowSize)) return;
  size_t drop = enc.history.size() - keep;
  enc.history.erase(enc.history.begin(), enc.history.begin() + ptrdiff_t(drop));
  enc.historyStart += uint32_t(drop);
}

// Starts a fresh stream: nothing before `nextPos` can be referred to.
void ResetStream(Rar20Encoder& enc) {
  if (enc.nextPos >= kPositionLimit || enc.nextPos < kFirstPosition) {
    ClearMatchFinder(enc.finder);
    enc.nextPos = kFirstPosition;
  } else {
    enc.nextPos += 2 * kWindowSize;  // every old position is now out of reach
  }
  enc.history.clear();
  enc.historyStart = enc.nextPos;
  enc.streamStart = enc.nextPos;
  std::memset(&enc.matches, 0, sizeof enc.matches);
  enc.haveCodes = false;
  enc.tableHistory = TableHistory();
  SetDefaultPrices(enc);
}

// Moves all positions down so that they stay far from the 32-bit limit in a long solid stream.
void RebasePositions(Rar20Encoder& enc) {
  const uint32_t delta = enc.historyStart - kFirstPosition;
  RebaseMatchFinder(enc.finder, delta);
  enc.historyStart -= delta;
  enc.nextPos -= delta;
  enc.streamStart = enc.streamStart > delta + kFirstPosition ? enc.streamStart - delta : kFirstPosition;
}

}  // namespace

PackLevel PackLevelParameters(int level) {
  switch (level) {
    case 1: return PackLevel{4, 24, 0, 4096, false};
    case 2: return PackLevel{16, 48, 1, 4096, false};
    case 4: return PackLevel{24, 96, 0, 2048, true};
    case 5: return PackLevel{96, 192, 0, 2048, true};
    default: return PackLevel{64, 96, 1, 4096, false};
  }
}

void InitEncoder(Rar20Encoder& enc, int level, bool solid) {
  enc.level = PackLevelParameters(level);
  enc.solid = solid;
  InitMatchFinder(enc.finder);
  enc.nextPos = 0;
  ResetStream(enc);
  enc.tokens.clear();
  enc.segmentSymbols = 0;
  std::memset(&enc.stats, 0, sizeof enc.stats);
  std::memset(&enc.blockStats, 0, sizeof enc.blockStats);
  std::memset(enc.symbolUse, 0, sizeof enc.symbolUse);
}

void PackEntry(Rar20Encoder& enc, const uint8_t* data, size_t size, bool allowStore, PackedEntry& out) {
  out.packed.clear();
  out.stored = false;
  // In a solid stream every entry after the first continues it; the first is always
  // compressed so that the decoder holds codes for the entries after it.
  const bool continues = enc.solid && enc.haveCodes;
  out.solid = continues;
  if (!continues) allowStore = allowStore && !enc.solid;
  if (size == 0 && allowStore) {
    out.stored = true;
    return;
  }
  if (!continues) ResetStream(enc);
  if (enc.nextPos >= kPositionLimit) RebasePositions(enc);

  // Everything an entry that ends up stored must leave as it was.
  const MatchHistory savedMatches = enc.matches;
  const EncoderCodes savedCodes = enc.codes;
  const bool savedHaveCodes = enc.haveCodes;
  const TableHistory savedTables = enc.tableHistory;
  uint32_t savedPrices[kLzLengthCount];
  std::memcpy(savedPrices, enc.prices, sizeof savedPrices);
  const uint32_t savedLiteralPrice = enc.literalPrice;
  uint64_t savedUse[kLiteralTableSize];
  std::memcpy(savedUse, enc.symbolUse, sizeof savedUse);

  TrimHistory(enc);
  const size_t historySize = enc.history.size();
  const uint32_t start = enc.nextPos;
  enc.history.insert(enc.history.end(), data, data + size);
  enc.nextPos += uint32_t(size);

  BitWriter w;
  ParseEntry(enc, start, enc.nextPos, w, !continues);
  FlushBits(w);

  if (allowStore && w.bytes.size() >= size) {
    out.stored = true;
    enc.history.resize(historySize);
    enc.nextPos = start;
    enc.matches = savedMatches;
    enc.codes = savedCodes;
    enc.haveCodes = savedHaveCodes;
    enc.tableHistory = savedTables;
    std::memcpy(enc.prices, savedPrices, sizeof savedPrices);
    enc.literalPrice = savedLiteralPrice;
    DerivePrices(enc);
    std::memcpy(enc.symbolUse, savedUse, sizeof savedUse);
    return;
  }
  out.packed = std::move(w.bytes);
}
