// The optimal parse of levels 3 to 5, block by block (see lz_parse.h): the first pass over
// a block searches the match finder and codes the block stretch by stretch, each by the
// cheapest path through its lattice (optimal_lattice.h); each further pass codes the same
// stretches again from the matches the first pass found, priced by the symbols of the pass
// before; the pass that costs least is kept.
#include <algorithm>
#include <cstring>
#include <vector>

#include "pack/lz_parse.h"
#include "pack/optimal_lattice.h"

namespace rar20pack {
namespace {

// The match that ends a stretch at once, taken whole: the longest at a recent distance (as
// the repeat of the latest match when it is exactly that), else the finder's longest, coded
// at a recent distance when its distance is one. Kind kLiteral when it cannot be coded.
Choice ClosingMatch(const MatchHistory& h, const MatchCandidate* found, uint32_t n, const uint32_t* recentLength,
                    uint32_t longestRecent) {
  const uint32_t finderLength = n > 0 ? found[n - 1].length : 0;
  Choice tail;
  if (longestRecent && recentLength[longestRecent] >= finderLength) {
    const uint32_t d = h.recentDistances[(h.recentCount - longestRecent) % kRecentDistanceCount];
    tail = Choice{kRecent, recentLength[longestRecent], d, longestRecent, 0};
  } else {
    const uint32_t d = found[n - 1].distance;
    const uint32_t minLength = kLongMatchMinLength + LongBonus(d);
    tail = Choice{kLong, std::min(finderLength, minLength + 255), d, 0, 0};
    for (uint32_t k = 1; k <= kRecentDistanceCount; ++k) {
      if (recentLength[k] && h.recentDistances[(h.recentCount - k) % kRecentDistanceCount] == d) {
        tail = Choice{kRecent, recentLength[k], d, k, 0};
        break;
      }
    }
    if (tail.kind == kLong && tail.length < minLength) tail.kind = kLiteral;  // not codable
  }
  if (tail.kind == kRecent && h.lastDistance == tail.distance && h.lastLength == tail.length)
    tail.kind = kRepeatLast;
  return tail;
}

// Where a stretch of `span` positions ends: steps from its last positions may go on past
// it (up to node `cleared`), so that no match is cut short at the boundary. Of the nodes
// from span on, the one that is cheapest once the bytes it covers beyond span are credited
// at the stretch's average cost per byte.
uint32_t StretchEnd(const Lattice& g, uint32_t span, uint32_t cleared) {
  const int64_t rate = g.cost[span] / span;
  uint32_t best = span;
  int64_t bestScore = g.cost[span];
  for (uint32_t e = span + 1; e <= cleared; ++e) {
    if (g.cost[e] == kInfiniteCost) continue;
    const int64_t score = int64_t(g.cost[e]) - int64_t(e - span) * rate;
    if (score < bestScore) {
      bestScore = score;
      best = e;
    }
  }
  return best;
}

// The finder's matches at each position a block's first pass searched, so that later passes
// over the block see the same matches without the finder (which by then holds the whole
// block).
struct MatchCache {
  uint32_t start = 0;                  // the block's first position
  std::vector<uint32_t> first;         // per position from start: index into found + 1 (0: not searched)
  std::vector<uint8_t> count;          // candidates found there
  std::vector<MatchCandidate> found;

  void Reset(uint32_t blockStart) {
    start = blockStart;
    first.clear();
    count.clear();
    found.clear();
  }
  void Record(uint32_t at, const MatchCandidate* candidates, uint32_t n) {
    const uint32_t i = at - start;
    if (first.size() <= i) {  // grown in steps: positions not searched stay 0
      first.resize(std::max<size_t>(i + 1, first.size() + 4096), 0);
      count.resize(first.size(), 0);
    }
    first[i] = uint32_t(found.size()) + 1;
    count[i] = uint8_t(n);
    found.insert(found.end(), candidates, candidates + n);
  }
  // The candidates recorded at `at` (n = 0 and false when it was not searched).
  bool Lookup(uint32_t at, const MatchCandidate*& candidates, uint32_t& n) const {
    const uint32_t i = at - start;
    n = 0;
    if (i >= first.size() || first[i] == 0) return false;
    candidates = found.data() + (first[i] - 1);
    n = count[i];
    return true;
  }
};

// What the optimal parse keeps from stretch to stretch: the lattice, the path being coded,
// the matches of the block's first pass, and the tree finder's matches at the positions
// searched together with the one searched last, ahead of their turn.
struct OptimalState {
  Lattice nodes = Lattice(kOptimalSpan + kMaxMatchLength + 1);
  std::vector<Choice> path;
  MatchCache cache;
  uint32_t aheadFrom = 0, aheadEnd = 0;  // the positions searched together last
  uint32_t aheadCount[kWalksTogether];
  MatchCandidate ahead[kWalksTogether][kMaxCandidates];
};

// The tree finder's matches at `at`, which must be the next position not recorded unless it
// was searched ahead. Positions are searched a few at a time, those after `at` kept for their
// turn; a position the parse passes over is recorded all the same, and the finder ends up as
// if each had been searched in turn.
uint32_t TreeMatches(Rar20Encoder& enc, Parser& p, OptimalState& o, uint32_t at, MatchCandidate* found) {
  if (at < o.aheadFrom || at >= o.aheadEnd) {
    const uint32_t most = std::min(kWalksTogether, p.end - at);
    uint32_t lowest[kWalksTogether], maxLength[kWalksTogether];
    for (uint32_t k = 0; k < most; ++k) {
      lowest[k] = std::max(p.lowest, at + k - kMaxDistance);
      maxLength[k] = std::min<uint32_t>(p.end - (at + k), kMaxMatchLength);
    }
    const uint32_t count = SearchAndInsertTogether(enc.finder, p.base, enc.historyStart, at, most, lowest,
                                                   maxLength, o.ahead, o.aheadCount);
    o.aheadFrom = at;
    o.aheadEnd = p.inserted = at + count;
  }
  const uint32_t k = at - o.aheadFrom;
  std::copy(o.ahead[k], o.ahead[k] + o.aheadCount[k], found);
  return o.aheadCount[k];
}

// The first pass over a stretch from pos: searches the finder at every position it does not
// pass over, records what it found in the cache, and codes the cheapest path. Returns the
// position after the stretch.
uint32_t SearchStretch(Rar20Encoder& enc, Parser& p, OptimalState& o, uint32_t pos, uint32_t end) {
  Lattice& nodes = o.nodes;
  MatchCandidate found[kMaxCandidates];
  const uint32_t span = std::min<uint32_t>(kOptimalSpan, end - pos);
  // Nodes are cleared only as far as steps can reach: a stretch that a long match ends
  // early costs no more than the positions it covered.
  uint32_t cleared = 0;
  nodes.cost[0] = 0;
  nodes.history[0] = enc.matches;
  uint32_t last = span;     // the node the stretch ends at
  Choice tail;              // a long match taken after `last`, if any
  tail.kind = kLiteral;
  tail.length = 0;
  // Positions inside a long match (two thirds of `niceLength` or more) are passed over:
  // paths through them rarely win, and skipping them saves most of the work there.
  const uint32_t skipLength = enc.level.niceLength * 2 / 3;
  uint32_t skipTo = 0;
  for (uint32_t i = 0; i < span; ++i) {
    if (i < skipTo) continue;
    if (i > 0) nodes.Follow(i);
    const MatchHistory& history = nodes.history[i];
    const uint32_t at = pos + i;
    const uint32_t maxLength = std::min<uint32_t>(end - at, kMaxMatchLength);
    const uint8_t* cur = p.At(at);
    if (cleared < i + maxLength) {
      // Cleared a little further than needed, so that it happens once every few positions.
      const uint32_t to = std::min<uint32_t>(i + maxLength + 64, uint32_t(nodes.cost.size()) - 1);
      std::fill(nodes.cost.begin() + cleared + 1, nodes.cost.begin() + to + 1, kInfiniteCost);
      cleared = to;
    }
    p.InsertUpTo(at);
    uint32_t n = 0;
    const uint32_t lowestSource = std::max(p.lowest, at - kMaxDistance);
    if (enc.finder.treeDepth) {
      n = TreeMatches(enc, p, o, at, found);
    } else if (maxLength >= 2) {
      if (maxLength > 8) PrefetchPosition(enc.finder, cur + 1);  // the next position's turn comes soon
      n = FindMatches(enc.finder, p.base, enc.historyStart, at, lowestSource, maxLength, enc.level.chainDepth,
                      enc.level.niceLength, found);
    }
    if (enc.level.passes > 1) o.cache.Record(at, found, n);
    uint32_t recentLength[kRecentDistanceCount + 1] = {0};
    const uint32_t longestRecent = RecentMatchLengths(p, history, at, cur, maxLength, recentLength);
    const uint32_t finderLength = n > 0 ? found[n - 1].length : 0;
    if (std::max(finderLength, recentLength[longestRecent]) >= enc.level.niceLength) {
      tail = ClosingMatch(history, found, n, recentLength, longestRecent);
      if (tail.kind != kLiteral) {
        last = i;
        break;
      }
      tail.length = 0;
    }
    if (finderLength >= skipLength && i + finderLength < span) skipTo = i + finderLength - 1;
    Relax(nodes, i, 1, enc.prices[*cur], kLiteral, 0, 0);
    if (maxLength >= 2) RelaxMatches(enc, p, nodes, i, at, maxLength, maxLength, found, n, recentLength);
  }
  if (tail.kind == kLiteral) last = StretchEnd(nodes, span, cleared);
  return EmitStretch(enc, p, nodes, o.path, pos, last, tail);
}

// A later pass over the stretch pos..stretchEnd-1 that the first pass coded: the cheapest
// path under the prices in force, from the matches in the cache. A position the first pass
// did not search offers only a literal and the repeat of the latest match, so every node
// stays reachable.
void ReplayStretch(Rar20Encoder& enc, Parser& p, OptimalState& o, uint32_t pos, uint32_t stretchEnd, uint32_t end) {
  Lattice& nodes = o.nodes;
  const uint32_t span = stretchEnd - pos;
  uint32_t cleared = 0;
  nodes.cost[0] = 0;
  nodes.history[0] = enc.matches;
  for (uint32_t i = 0; i < span; ++i) {
    if (i > 0) nodes.Follow(i);
    const uint32_t at = pos + i;
    const uint32_t maxLength = std::min<uint32_t>(end - at, kMaxMatchLength);
    const uint8_t* cur = p.At(at);
    for (const uint32_t far = std::min(span, i + maxLength); cleared < far;) nodes.cost[++cleared] = kInfiniteCost;
    const MatchCandidate* found = nullptr;
    uint32_t n = 0;
    uint32_t recentLength[kRecentDistanceCount + 1] = {0};
    if (o.cache.Lookup(at, found, n)) RecentMatchLengths(p, nodes.history[i], at, cur, maxLength, recentLength);
    Relax(nodes, i, 1, enc.prices[*cur], kLiteral, 0, 0);
    if (maxLength >= 2) RelaxMatches(enc, p, nodes, i, at, maxLength, span - i, found, n, recentLength);
  }
  EmitStretch(enc, p, nodes, o.path, pos, span, Choice{});
}

// What a pass over a block leaves: its symbols, their counts and the match history after it.
struct PassResult {
  std::vector<PackToken> tokens;
  BlockStats stats;
  MatchHistory matches;
  uint64_t matchedBytes;
};

// Bits of the block's symbols from blockFirst on under codes fitted to them, extra bits
// included.
uint64_t PassBits(const Rar20Encoder& enc, size_t blockFirst) {
  uint64_t bits = FittedSymbolBits(enc.blockStats);
  for (size_t i = blockFirst; i < enc.tokens.size(); ++i) bits += enc.tokens[i].extraBits + enc.tokens[i].secondBits;
  return bits;
}

void KeepPass(const Rar20Encoder& enc, size_t blockFirst, PassResult& r) {
  r.tokens.assign(enc.tokens.begin() + ptrdiff_t(blockFirst), enc.tokens.end());
  r.stats = enc.blockStats;
  r.matches = enc.matches;
  r.matchedBytes = enc.entryMatchedBytes;
}

void RestorePass(Rar20Encoder& enc, size_t blockFirst, const PassResult& r) {
  enc.tokens.resize(blockFirst);
  enc.tokens.insert(enc.tokens.end(), r.tokens.begin(), r.tokens.end());
  enc.blockStats = r.stats;
  enc.matches = r.matches;
  enc.entryMatchedBytes = r.matchedBytes;
}

// Parses one block from pos: a first pass of stretches until the block holds its symbols,
// then each further pass over the same stretches priced by the symbols of the pass before;
// the pass whose symbols cost least under codes fitted to them is kept. Returns the
// position after the block.
uint32_t OptimalBlock(Rar20Encoder& enc, Parser& p, OptimalState& o, uint32_t pos, uint32_t end) {
  const uint32_t blockStart = pos;
  p.blockStart = pos;
  const size_t blockFirst = enc.tokens.size();
  const MatchHistory startMatches = enc.matches;
  const uint64_t startMatched = enc.entryMatchedBytes;
  std::vector<uint32_t> stretchEnds;
  if (enc.level.passes > 1) o.cache.Reset(blockStart);
  while (pos < end) {
    pos = SearchStretch(enc, p, o, pos, end);
    stretchEnds.push_back(pos);
    if (enc.tokens.size() - enc.segmentSymbols >= enc.level.blockSymbols) break;
  }
  if (enc.level.passes <= 1) return pos;
  PassResult best;
  KeepPass(enc, blockFirst, best);
  uint64_t bestCost = PassBits(enc, blockFirst);
  for (uint32_t pass = 1; pass < enc.level.passes; ++pass) {
    UpdatePrices(enc, enc.blockStats);
    enc.tokens.resize(blockFirst);
    std::memset(&enc.blockStats, 0, sizeof enc.blockStats);
    enc.matches = startMatches;
    enc.entryMatchedBytes = startMatched;
    uint32_t at = blockStart;
    for (uint32_t stretchEnd : stretchEnds) {
      ReplayStretch(enc, p, o, at, stretchEnd, end);
      at = stretchEnd;
    }
    const uint64_t cost = PassBits(enc, blockFirst);
    if (cost < bestCost) {
      bestCost = cost;
      KeepPass(enc, blockFirst, best);
    }
  }
  RestorePass(enc, blockFirst, best);
  return pos;
}

}  // namespace

void OptimalParse(Rar20Encoder& enc, uint32_t start, uint32_t end, BitWriter& w, bool startOfStream) {
  Parser p{enc, enc.history.data(), end, enc.streamStart, start, start};
  OptimalState o;
  bool firstBlock = startOfStream;
  uint32_t pos = start;
  while (pos < end) {
    pos = OptimalBlock(enc, p, o, pos, end);
    if (EndBlock(enc, w, firstBlock, pos - start)) return;
  }
  FinishEntry(p, w, firstBlock);
}

}  // namespace rar20pack
