// The lattice of the optimal parse (levels 3 to 5; see lz_parse.h): the nodes of a stretch,
// the steps out of each and coding the cheapest path through them. optimal_parse.cpp walks
// the stretches of a block, where each ends, and the passes over the block.
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
#pragma once
#include <cstdint>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "pack/lz_parse.h"

namespace rar20pack {

constexpr uint32_t kOptimalSpan = 2048;
constexpr uint32_t kInfiniteCost = 0xFFFFFFFFu;

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

// Offers the steps of every length l from `first` to `last` out of node i, each priced at
// `price` + lengthPrice[l - minLength]: the same as one Relax per length, in that order.
// Most of these steps lose (a node is usually reached more cheaply already), so the costs are
// compared four lengths at a time and only the winners are written one by one.
inline void RelaxRun(Lattice& g, uint32_t i, uint32_t first, uint32_t last, uint32_t price,
                     const uint32_t* lengthPrice, uint32_t minLength, ChoiceKind kind, uint32_t distance,
                     uint32_t k) {
  uint32_t l = first;
#if defined(__SSE2__)
  const uint32_t from = g.cost[i] + price;
  uint32_t* cost = g.cost.data() + i;
  // Unsigned comparison through the signed one: both sides with the top bit flipped.
  const __m128i flip = _mm_set1_epi32(int32_t(0x80000000u));
  const __m128i fromFlipped = _mm_xor_si128(_mm_set1_epi32(int32_t(from)), flip);
  for (; l + 3 <= last; l += 4) {
    const __m128i prices = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lengthPrice + (l - minLength)));
    const __m128i offered = _mm_add_epi32(fromFlipped, prices);  // flipping commutes with the sum
    const __m128i held = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cost + l)), flip);
    uint32_t wins = uint32_t(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmplt_epi32(offered, held))));
    while (wins) {
      const uint32_t lane = uint32_t(__builtin_ctz(wins));
      wins &= wins - 1;
      const uint32_t length = l + lane;
      cost[length] = from + lengthPrice[length - minLength];
      g.step[i + length] = Step{i, distance, uint16_t(length), uint8_t(kind), uint8_t(k)};
    }
  }
#endif
  for (; l <= last; ++l) Relax(g, i, l, price + lengthPrice[l - minLength], kind, distance, k);
}

// The lengths of the matches at the four recent distances of history h (0 where there is
// none, as long as they go); returns the slot of the longest (0 when there is none).
uint32_t RecentMatchLengths(const Parser& p, const MatchHistory& h, uint32_t at, const uint8_t* cur,
                            uint32_t maxLength, uint32_t* recentLength);

// Every step out of node i that is a match: the repeat of the latest match, each recent
// distance at every length it allows, the short match and the finder's matches at every
// length (each length from the nearest candidate that reaches it). `reach`: bytes to the
// stretch's end, which no step may pass.
void RelaxMatches(const Rar20Encoder& enc, const Parser& p, Lattice& nodes, uint32_t i, uint32_t at,
                  uint32_t maxLength, uint32_t reach, const MatchCandidate* found, uint32_t n,
                  const uint32_t* recentLength);

// Codes the cheapest path to node `last`, then the closing match if there is one; returns
// the position after them.
uint32_t EmitStretch(Rar20Encoder& enc, const Parser& p, const Lattice& nodes, std::vector<Choice>& path,
                     uint32_t pos, uint32_t last, const Choice& tail);

}  // namespace rar20pack
