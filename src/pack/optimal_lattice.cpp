// The lattice of the optimal parse (see optimal_lattice.h): the steps out of a node and
// coding the cheapest path.
#include "pack/optimal_lattice.h"

#include <algorithm>
#include <cstring>

namespace rar20pack {

uint32_t RecentMatchLengths(const Parser& p, const MatchHistory& h, uint32_t at, const uint8_t* cur,
                            uint32_t maxLength, uint32_t* recentLength) {
  if (maxLength < 2) return 0;
  // A distance d reaches a source when 1 <= d <= reachable (one unsigned comparison).
  const uint32_t reachable = std::min(kMaxDistance, at - p.lowest);
  uint16_t head;
  std::memcpy(&head, cur, 2);
  uint32_t longestRecent = 0;
  uint32_t distances[kRecentDistanceCount + 1];
  for (uint32_t k = 1; k <= kRecentDistanceCount; ++k) {
    const uint32_t d = h.recentDistances[(h.recentCount - k) % kRecentDistanceCount];
    distances[k] = d;
    if (d - 1 >= reachable) continue;
    // Every recent match is at least two bytes long: most distances fail on those.
    uint16_t source;
    std::memcpy(&source, cur - d, 2);
    if (source != head) continue;
    // The ring often holds a distance twice (a match repeated at its own distance); it is
    // measured once.
    uint32_t same = 1;
    while (same < k && distances[same] != d) ++same;
    if (same < k) {
      recentLength[k] = recentLength[same];
      continue;
    }
    const uint32_t minLength = kRecentMatchMinLength + RecentBonus(d);
    const uint32_t length = MatchLength(cur - d, cur, std::min(maxLength, minLength + 255));
    if (length < minLength) continue;
    recentLength[k] = length;
    if (length > recentLength[longestRecent]) longestRecent = k;
  }
  return longestRecent;
}

void RelaxMatches(const Rar20Encoder& enc, const Parser& p, Lattice& nodes, uint32_t i, uint32_t at,
                  uint32_t maxLength, uint32_t reach, const MatchCandidate* found, uint32_t n,
                  const uint32_t* recentLength) {
  const MatchHistory& h = nodes.history[i];
  const uint8_t* cur = p.At(at);
  if (h.lastLength >= 2 && h.lastLength <= std::min(maxLength, reach) && p.Reaches(at, h.lastDistance) &&
      MatchLength(cur - h.lastDistance, cur, h.lastLength) == h.lastLength)
    Relax(nodes, i, h.lastLength, enc.prices[kSymbolRepeatLast], kRepeatLast, h.lastDistance, 0);
  // About half the nodes have no match at a recent distance.
  const bool anyRecent = (recentLength[1] | recentLength[2] | recentLength[3] | recentLength[4]) != 0;
  for (uint32_t k = 1; anyRecent && k <= kRecentDistanceCount; ++k) {
    if (!recentLength[k]) continue;
    const uint32_t d = h.recentDistances[(h.recentCount - k) % kRecentDistanceCount];
    // A distance the ring holds twice offers the same steps under both symbols: the dearer
    // one, or the later at equal price, never wins a node.
    uint32_t same = 1;
    while (same < k && (!recentLength[same] || h.recentDistances[(h.recentCount - same) % kRecentDistanceCount] != d ||
                        enc.prices[kSymbolRepeatLast + same] > enc.prices[kSymbolRepeatLast + k]))
      ++same;
    if (same < k) continue;
    const uint32_t minLength = kRecentMatchMinLength + RecentBonus(d);
    const uint32_t length = std::min(recentLength[k], reach);
    const uint32_t symbolPrice = enc.prices[kSymbolRepeatLast + k];
    RelaxRun(nodes, i, minLength, length, symbolPrice, enc.recentLengthPrice, minLength, kRecent, d, k);
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
    RelaxRun(nodes, i, std::max(covered + 1, minLength), top, distancePrice, enc.longLengthPrice, minLength, kLong,
             d, 0);
    covered = std::max(covered, top);
  }
}

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

}  // namespace rar20pack
