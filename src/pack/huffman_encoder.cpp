// Code lengths and canonical codes (see huffman_encoder.h).
//
// Lengths come from the classic two-queue Huffman construction over the used symbols,
// sorted by frequency. When the deepest leaf is deeper than the limit, the counts of leaves
// per depth are repaired (see below) and the lengths handed out again, shortest to the
// most frequent symbols.
#include "pack/huffman_encoder.h"

#include <algorithm>
#include <vector>

namespace {

// Depth of every leaf of a Huffman tree over the leaves' weights, in increasing order of
// weight: nodes 0..n-1 are the leaves, n..2n-2 the internal nodes in creation order.
std::vector<uint32_t> LeafDepths(const std::vector<uint64_t>& leafWeights) {
  const size_t n = leafWeights.size();
  std::vector<uint64_t> weight(leafWeights);
  weight.resize(2 * n - 1);
  std::vector<uint32_t> parent(2 * n - 1, 0);
  size_t leaf = 0, inner = n, next = n;
  auto takeSmallest = [&]() -> size_t {
    if (leaf < n && (inner >= next || weight[leaf] <= weight[inner])) return leaf++;
    return inner++;
  };
  for (; next < 2 * n - 1; ++next) {
    size_t a = takeSmallest();
    size_t b = takeSmallest();
    weight[next] = weight[a] + weight[b];
    parent[a] = parent[b] = uint32_t(next);
  }
  // Depths: the root is the last node; a parent always comes after its children.
  std::vector<uint32_t> depth(2 * n - 1, 0);
  for (size_t i = 2 * n - 2; i-- > 0;) depth[i] = depth[parent[i]] + 1;
  depth.resize(n);
  return depth;
}

// Makes the counts of leaves per length (clamped to the limit) a complete code again.
// Clamping over-long leaves to the limit overfills the code (Kraft sum above 1). Each step
// pushes one leaf from the deepest level that has one (below the limit) a level down, which
// frees the least room and costs the least; at the level right above the limit it frees
// exactly one slot of the limit level, so the sum ends at exactly 1.
void RepairLengthCounts(std::vector<uint32_t>& lengthCount, uint32_t maxLength) {
  uint64_t kraft = 0;  // in units of 2^-maxLength
  for (uint32_t len = 1; len <= maxLength; ++len) kraft += uint64_t(lengthCount[len]) << (maxLength - len);
  const uint64_t full = uint64_t(1) << maxLength;
  while (kraft > full) {
    uint32_t bits = maxLength - 1;
    while (lengthCount[bits] == 0) --bits;
    --lengthCount[bits];
    ++lengthCount[bits + 1];
    kraft -= uint64_t(1) << (maxLength - bits - 1);
  }
  // A push from a level well above the limit may have freed more room than needed; give
  // it back by moving leaves up, deepest first, until the code is complete again.
  for (uint32_t len = maxLength; len >= 2 && kraft < full; --len) {
    while (lengthCount[len] > 0 && kraft + (uint64_t(1) << (maxLength - len)) <= full) {
      --lengthCount[len];
      ++lengthCount[len - 1];
      kraft += uint64_t(1) << (maxLength - len);
    }
  }
}

}  // namespace

void BuildCodeLengths(const uint32_t* freqs, uint32_t count, uint32_t maxLength, uint8_t* lengths) {
  std::vector<uint32_t> used;
  for (uint32_t i = 0; i < count; ++i) {
    lengths[i] = 0;
    if (freqs[i]) used.push_back(i);
  }
  if (used.empty()) return;
  if (used.size() == 1) {
    // One symbol: a one-bit code, completed by a neighbour that is never sent, so that
    // every code the stream carries is a complete prefix code.
    lengths[used[0]] = 1;
    lengths[used[0] + 1 < count ? used[0] + 1 : used[0] - 1] = 1;
    return;
  }
  // Leaves in increasing frequency; ties broken by symbol number so the result is stable.
  std::sort(used.begin(), used.end(), [&](uint32_t a, uint32_t b) {
    return freqs[a] != freqs[b] ? freqs[a] < freqs[b] : a < b;
  });
  std::vector<uint64_t> weights;
  for (uint32_t symbol : used) weights.push_back(freqs[symbol]);
  const std::vector<uint32_t> depth = LeafDepths(weights);
  std::vector<uint32_t> lengthCount(maxLength + 1, 0);
  for (uint32_t d : depth) ++lengthCount[std::min(d, maxLength)];
  RepairLengthCounts(lengthCount, maxLength);
  // Hand the lengths out again: longest codes to the least frequent leaves.
  size_t k = 0;
  for (uint32_t len = maxLength; len >= 1; --len)
    for (uint32_t c = 0; c < lengthCount[len]; ++c) lengths[used[k++]] = uint8_t(len);
}

void AssignCanonicalCodes(const uint8_t* lengths, uint32_t count, uint16_t* codes) {
  uint32_t lengthCount[16] = {0};
  for (uint32_t i = 0; i < count; ++i) lengthCount[lengths[i] & 15]++;
  lengthCount[0] = 0;
  uint32_t next[16] = {0};
  uint32_t code = 0;
  for (uint32_t len = 1; len < 16; ++len) {
    code = (code + lengthCount[len - 1]) << 1;
    next[len] = code;
  }
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t len = lengths[i] & 15;
    codes[i] = len ? uint16_t(next[len]++) : 0;
  }
}
