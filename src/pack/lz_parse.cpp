// Parsing an entry into symbols (see encoder_internals.h): the greedy and lazy parse of
// levels 1 and 2, and the optimal parse of levels 3 to 5.
#include <algorithm>
#include <cstring>
#include <vector>

#include "pack/encoder_internals.h"

namespace rar20pack {
namespace {

struct Parser {
  Rar20Encoder& enc;
  const uint8_t* base;      // address of position enc.historyStart
  uint32_t end;             // one past the entry's last position
  uint32_t lowest;          // lowest position the decoder's window holds
  uint32_t inserted;        // positions below this are in the match finder
  uint32_t blockStart;      // later passes go back to this position


  const uint8_t* At(uint32_t pos) const { return base + (pos - enc.historyStart); }

  // Makes sure the bytes from pos up to `ahead` further on are in the history (as far as
  // the entry goes). Every step of the parse reads at most that far ahead of where it
  // starts, and back at most one window (matches) from it or from the block's start, or to
  // the positions not yet inserted.
  void Load(uint32_t pos, uint32_t ahead) {
    if (enc.loaded >= std::min(end, pos + ahead)) return;
    LoadHistory(enc, std::min({pos, inserted, blockStart}) - kWindowSize, pos + ahead);
    base = enc.history.data();
  }

  void InsertUpTo(uint32_t pos) {
    for (; inserted < pos; ++inserted) InsertPosition(enc.finder, At(inserted), inserted, end - inserted, lowest);
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

// An entry that after its first megabyte still has matches for less than one byte in 20
// and literals near eight bits is data that does not compress (packed media, random
// bytes): it will be stored, so the rest need not be parsed.
bool ShouldGiveUp(const Rar20Encoder& enc, uint32_t parsed) {
  return enc.mayGiveUp && parsed >= (1u << 20) && enc.entryMatchedBytes * 20 < parsed &&
         enc.literalPrice >= 125;  // 7.8 bits
}

constexpr size_t kPassBytes = 1 << 16;  // packed bytes are passed on in pieces of this size

// Reach of one step of the lazy parse beyond its position: the look-ahead positions, a
// match from each, and the four bytes a hash reads.
constexpr uint32_t kLazyReach = 2 + kMaxMatchLength + 4;

// Ends the block once it is full, reports progress, and gives the entry up (returning
// true) when it shows no sign of compressing.
bool EndBlock(Rar20Encoder& enc, BitWriter& w, bool& firstBlock, uint32_t parsed) {
  FinishBlock(enc, w, firstBlock, false);
  if (w.bytes.size() >= kPassBytes) PassPackedBytes(enc, w);
  if (enc.progress) enc.progress(enc.progressUser, parsed);
  enc.gaveUp = ShouldGiveUp(enc, parsed);
  return enc.gaveUp || enc.readFailed || enc.writeFailed;
}

bool AtBlockEnd(Rar20Encoder& enc, BitWriter& w, bool& firstBlock, uint32_t parsed) {
  if (enc.tokens.size() - enc.segmentSymbols < enc.level.blockSymbols) return false;
  return EndBlock(enc, w, firstBlock, parsed);
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
// and is taken whole.

constexpr uint32_t kOptimalSpan = 2048;
constexpr uint32_t kInfiniteCost = 0xFFFFFFFFu;
constexpr uint32_t kOptimalReach = kOptimalSpan + kMaxMatchLength + 4;  // bytes a stretch reads from its start

// The lattice of a stretch: for node i (the stretch's first i bytes coded), its cheapest
// cost, the step into it and the match history that path leaves. The costs, which every
// step compares, are kept apart from the rest so that they lie close together.
struct Step {
  uint32_t from;      // node the step came from
  uint32_t distance;
  uint16_t length;
  uint8_t kind;       // ChoiceKind
  uint8_t recentIndex;
};

struct Lattice {
  std::vector<uint32_t> cost;
  std::vector<Step> step;
  std::vector<MatchHistory> history;

  explicit Lattice(size_t n) : cost(n), step(n), history(n) {}

  // The match history of the cheapest path to node i (i > 0), from its predecessor's.
  void Follow(uint32_t i) {
    const Step& s = step[i];
    history[i] = history[s.from];
    if (s.kind != kLiteral) PushMatch(history[i], s.length, s.distance);
  }
};

// Offers the step of `length` bytes from node i at `price`: it wins when it reaches its node
// more cheaply than any step before.
inline void Relax(Lattice& g, uint32_t i, uint32_t length, uint32_t price, ChoiceKind kind, uint32_t distance,
                  uint32_t k) {
  const uint32_t cost = g.cost[i] + price;
  if (cost < g.cost[i + length]) {
    g.cost[i + length] = cost;
    g.step[i + length] = Step{i, distance, uint16_t(length), uint8_t(kind), uint8_t(k)};
  }
}

// The lengths of the matches at the four recent distances of history h (0 where there is
// none, as long as they go); returns the slot of the longest (0 when there is none).
uint32_t RecentMatchLengths(const Parser& p, const MatchHistory& h, uint32_t at, const uint8_t* cur,
                            uint32_t maxLength, uint32_t* recentLength) {
  uint32_t longestRecent = 0;
  for (uint32_t k = 1; k <= kRecentDistanceCount && maxLength >= 2; ++k) {
    const uint32_t d = h.recentDistances[(h.recentCount - k) % kRecentDistanceCount];
    if (!p.Reaches(at, d)) continue;
    const uint32_t minLength = kRecentMatchMinLength + RecentBonus(d);
    const uint32_t length = MatchLength(cur - d, cur, std::min(maxLength, minLength + 255));
    if (length < minLength) continue;
    recentLength[k] = length;
    if (length > recentLength[longestRecent]) longestRecent = k;
  }
  return longestRecent;
}

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

// Every step out of node i that is a match: the repeat of the latest match, each recent
// distance at every length it allows, the short match and the finder's matches at every
// length (each length from the nearest candidate that reaches it). `reach`: bytes to the
// stretch's end, which no step may pass.
void RelaxMatches(const Rar20Encoder& enc, const Parser& p, Lattice& nodes, uint32_t i, uint32_t at,
                  uint32_t maxLength, uint32_t reach, const MatchCandidate* found, uint32_t n,
                  const uint32_t* recentLength) {
  const MatchHistory& h = nodes.history[i];
  const uint8_t* cur = p.At(at);
  if (h.lastLength >= 2 && h.lastLength <= std::min(maxLength, reach) && p.Reaches(at, h.lastDistance) &&
      MatchLength(cur - h.lastDistance, cur, h.lastLength) == h.lastLength)
    Relax(nodes, i, h.lastLength, enc.prices[kSymbolRepeatLast], kRepeatLast, h.lastDistance, 0);
  for (uint32_t k = 1; k <= kRecentDistanceCount; ++k) {
    if (!recentLength[k]) continue;
    const uint32_t d = h.recentDistances[(h.recentCount - k) % kRecentDistanceCount];
    const uint32_t minLength = kRecentMatchMinLength + RecentBonus(d);
    const uint32_t length = std::min(recentLength[k], reach);
    const uint32_t symbolPrice = enc.prices[kSymbolRepeatLast + k];
    for (uint32_t l = minLength; l <= length; ++l)
      Relax(nodes, i, l, symbolPrice + enc.recentLengthPrice[l - minLength], kRecent, d, k);
  }
  uint32_t covered = 1;
  bool shortDone = false;
  for (uint32_t c = 0; c < n; ++c) {
    const uint32_t d = found[c].distance;
    if (!shortDone && d <= 256 && reach >= 2) {
      Relax(nodes, i, 2, ShortPrice(enc, d), kShort, d, 0);
      shortDone = true;
    }
    const uint32_t minLength = kLongMatchMinLength + LongBonus(d);
    const uint32_t top = std::min({found[c].length, minLength + 255, reach});
    const uint32_t distancePrice = enc.distanceSlotPrice[DistanceSlot(d - 1)];
    for (uint32_t l = std::max(covered + 1, minLength); l <= top; ++l)
      Relax(nodes, i, l, distancePrice + enc.longLengthPrice[l - minLength], kLong, d, 0);
    covered = std::max(covered, top);
  }
}

// Codes the cheapest path to node `last`, then the closing match if there is one; returns
// the position after them.
uint32_t EmitStretch(Rar20Encoder& enc, const Parser& p, const Lattice& nodes, std::vector<Choice>& path,
                     uint32_t pos, uint32_t last, const Choice& tail) {
  path.clear();
  for (uint32_t i = last; i > 0; i = nodes.step[i].from) {
    const Step& s = nodes.step[i];
    path.push_back(Choice{ChoiceKind(s.kind), s.length, s.distance, s.recentIndex, 0});
  }
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
  return pos;
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
    if (first.size() <= i) {
      first.resize(i + 1, 0);
      count.resize(i + 1, 0);
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

struct OptimalState {
  Lattice nodes = Lattice(kOptimalSpan + kMaxMatchLength + 1);
  std::vector<Choice> path;
  MatchCache cache;
};

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

// The first pass over a stretch from pos: searches the finder at every position it does not
// pass over, records what it found in the cache, and codes the cheapest path. Returns the
// position after the stretch.
uint32_t SearchStretch(Rar20Encoder& enc, Parser& p, OptimalState& o, uint32_t pos, uint32_t end) {
  Lattice& nodes = o.nodes;
  MatchCandidate found[kMaxCandidates];
  p.Load(pos, kOptimalReach);
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
    for (const uint32_t far = i + maxLength; cleared < far;) nodes.cost[++cleared] = kInfiniteCost;
    p.InsertUpTo(at);
    if (maxLength > 8) PrefetchPosition(enc.finder, cur + 1);  // the next position's turn comes soon
    uint32_t n = 0;
    const uint32_t lowestSource = std::max(p.lowest, at - kMaxDistance);
    if (enc.finder.treeDepth) {
      n = SearchAndInsert(enc.finder, p.base, enc.historyStart, at, lowestSource, maxLength, found);
      p.inserted = at + 1;
    } else if (maxLength >= 2) {
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

void OptimalParse(Rar20Encoder& enc, Parser& p, uint32_t start, uint32_t end, BitWriter& w, bool& firstBlock) {
  OptimalState o;
  uint32_t pos = start;
  while (pos < end) {
    pos = OptimalBlock(enc, p, o, pos, end);
    if (EndBlock(enc, w, firstBlock, pos - start)) return;
  }
}

}  // namespace

void ParseEntry(Rar20Encoder& enc, uint32_t start, uint32_t end, BitWriter& w, bool startOfStream) {
  Parser p{enc, enc.history.data(), end, enc.streamStart, start, start};
  if (enc.level.optimal) {
    bool firstBlock = startOfStream;
    OptimalParse(enc, p, start, end, w, firstBlock);
    if (enc.gaveUp || enc.readFailed || enc.writeFailed) return;
    p.Load(end, 0);
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
      if (end - pos > 8) PrefetchPosition(enc.finder, p.At(pos + 1));
      ahead[slot] = p.Best(pos);
      aheadPos[slot] = pos;
      aheadValid[slot] = true;
    }
    return ahead[slot];
  };
  uint32_t pos = start;
  bool firstBlock = startOfStream;
  while (pos < end) {
    p.Load(pos, kLazyReach);
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
    if (AtBlockEnd(enc, w, firstBlock, pos - start)) return;
  }
  p.Load(end, 0);
  p.InsertUpTo(end);
  FinishBlock(enc, w, firstBlock, true);
}

}  // namespace rar20pack
