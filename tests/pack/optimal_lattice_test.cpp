// The lattice's run of match lengths (RelaxRun), which compares several lengths at once,
// leaves every node exactly as one Relax per length does: the same costs, the same steps,
// ties kept by the earlier step, unreached nodes and costs near the top of the range alike.
#include "pack/optimal_lattice.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace rar20pack {
namespace {

struct RunCase {
  const char* name;
  uint32_t first, last;  // lengths offered (first > last: none)
  uint32_t minLength;    // lengthPrice[l - minLength] prices length l
  uint32_t fromCost;     // cost of the node the steps leave
};

constexpr uint32_t kFrom = 5;  // the node the steps leave

void ExpectSameLattice(const Lattice& a, const Lattice& b, const char* name) {
  for (size_t n = 0; n < a.cost.size(); ++n) {
    ASSERT_EQ(a.cost[n], b.cost[n]) << name << ", node " << n;
    const Step& x = a.step[n];
    const Step& y = b.step[n];
    ASSERT_TRUE(x.from == y.from && x.distance == y.distance && x.length == y.length && x.kind == y.kind &&
                x.recentIndex == y.recentIndex)
        << name << ", step into node " << n;
  }
}

TEST(RelaxRun, LeavesTheNodesAsOneRelaxPerLength) {
  const RunCase cases[] = {
      {"no lengths", 3, 2, 2, 100},
      {"one length", 2, 2, 2, 100},
      {"three lengths", 2, 4, 2, 100},
      {"four lengths", 3, 6, 3, 100},
      {"five lengths", 2, 6, 2, 100},
      {"a whole length table", 2, 257, 2, 100},
      {"the table's last lengths", 250, 258, 3, 100},
      {"from an expensive node", 4, 40, 4, 0xFFFFF000u},
  };
  std::mt19937 rng(11);
  for (const RunCase& c : cases) {
    for (int round = 0; round < 40; ++round) {
      Lattice plain(kFrom + 300), fast(kFrom + 300);
      uint32_t lengthPrice[256];
      for (uint32_t& p : lengthPrice) p = 16 + rng() % 200;
      const uint32_t price = rng() % 300;
      plain.cost[kFrom] = c.fromCost;
      for (size_t n = kFrom + 1; n < plain.cost.size(); ++n) {
        // Unreached nodes, nodes just as cheap as the offer (a tie keeps the old step), and
        // cheaper and dearer ones.
        const uint32_t l = uint32_t(n - kFrom);
        const uint32_t offer =
            l >= c.minLength && l - c.minLength < 256 ? c.fromCost + price + lengthPrice[l - c.minLength] : 1000;
        switch (rng() % 4) {
          case 0: plain.cost[n] = kInfiniteCost; break;
          case 1: plain.cost[n] = offer; break;
          default: plain.cost[n] = offer + uint32_t(rng() % 64) - 32; break;
        }
        plain.step[n] = Step{uint32_t(n - 1), 7, 1, kLiteral, 0};
      }
      fast.cost = plain.cost;
      fast.step = plain.step;
      for (uint32_t l = c.first; l <= c.last; ++l)
        Relax(plain, kFrom, l, price + lengthPrice[l - c.minLength], kLong, 1234, 0);
      RelaxRun(fast, kFrom, c.first, c.last, price, lengthPrice, c.minLength, kLong, 1234, 0);
      ExpectSameLattice(plain, fast, c.name);
    }
  }
}

// The lengths at the recent distances are those a byte-by-byte comparison gives, for rings
// that hold a distance twice or more, distances beyond the window's start, and matches cut
// by the bytes left.
TEST(RecentMatchLengths, MeasuresEveryDistanceOfTheRing) {
  std::mt19937 rng(4);
  std::vector<uint8_t> bytes(4000);
  for (uint8_t& b : bytes) b = uint8_t('a' + rng() % 3);
  Rar20Encoder enc;
  enc.historyStart = 1000;
  const uint32_t lowest = 1000 + 100;  // the first 100 bytes lie before the window
  Parser p{enc, bytes.data(), 1000 + 4000, lowest, 0, 0};
  const uint32_t choices[] = {1, 2, 3, 5, 300, 9000};
  for (int round = 0; round < 3000; ++round) {
    const uint32_t at = 1000 + 100 + rng() % 3800;
    const uint32_t maxLength = std::min<uint32_t>(1000 + 4000 - at, 1 + rng() % kMaxMatchLength);
    MatchHistory h{};
    for (uint32_t& d : h.recentDistances) d = choices[rng() % 6];
    h.recentCount = rng() % 8;
    uint32_t got[kRecentDistanceCount + 1] = {0};
    const uint32_t longest = RecentMatchLengths(p, h, at, p.At(at), maxLength, got);
    uint32_t want[kRecentDistanceCount + 1] = {0};
    uint32_t wantLongest = 0;
    for (uint32_t k = 1; k <= kRecentDistanceCount; ++k) {
      const uint32_t d = h.recentDistances[(h.recentCount - k) % kRecentDistanceCount];
      if (d > at - lowest) continue;
      const uint32_t minLength = kRecentMatchMinLength + RecentBonus(d);
      uint32_t n = 0;
      while (n < std::min(maxLength, minLength + 255) && *p.At(at - d + n) == *p.At(at + n)) ++n;
      if (n >= minLength) want[k] = n;
      if (want[k] > want[wantLongest]) wantLongest = k;
    }
    for (uint32_t k = 1; k <= kRecentDistanceCount; ++k) ASSERT_EQ(got[k], want[k]) << "round " << round << ", k " << k;
    ASSERT_EQ(longest, wantLongest) << "round " << round;
  }
}

}  // namespace
}  // namespace rar20pack
