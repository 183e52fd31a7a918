// Match finder: hash chains (see match_finder.h).
#include "pack/match_finder.h"

#include <algorithm>
#include <cstring>

#include "unpack/rar20_tables.h"

namespace {

constexpr uint32_t kHash4Bits = 20;
constexpr uint32_t kHash3Bits = 16;

inline uint32_t Read32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline uint32_t Hash4(const uint8_t* p) { return (Read32(p) * 2654435761u) >> (32 - kHash4Bits); }
inline uint32_t Hash3(const uint8_t* p) {
  uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
  return (v * 2654435761u) >> (32 - kHash3Bits);
}
inline uint32_t Key2(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }

}  // namespace

void InitMatchFinder(MatchFinder& mf) {
  mf.head4.assign(size_t(1) << kHash4Bits, 0);
  mf.head3.assign(size_t(1) << kHash3Bits, 0);
  mf.head2.assign(size_t(1) << 16, 0);
  mf.chain.assign(kWindowSize, 0);
}

void ClearMatchFinder(MatchFinder& mf) {
  std::fill(mf.head4.begin(), mf.head4.end(), 0);
  std::fill(mf.head3.begin(), mf.head3.end(), 0);
  std::fill(mf.head2.begin(), mf.head2.end(), 0);
  std::fill(mf.chain.begin(), mf.chain.end(), 0);
}

void RebaseMatchFinder(MatchFinder& mf, uint32_t delta) {
  for (std::vector<uint32_t>* table : {&mf.head4, &mf.head3, &mf.head2, &mf.chain})
    for (uint32_t& v : *table) v = v > delta ? v - delta : 0;
}

void PrefetchPosition(const MatchFinder& mf, const uint8_t* bytes) {
  __builtin_prefetch(&mf.head4[Hash4(bytes)]);
  __builtin_prefetch(&mf.head3[Hash3(bytes)]);
}

void RestoreMatchFinder(MatchFinder& mf, const uint8_t* bytes, uint32_t first, uint32_t end) {
  for (std::vector<uint32_t>* table : {&mf.head4, &mf.head3, &mf.head2})
    for (uint32_t& v : *table)
      if (v >= end) v = 0;
  for (uint32_t pos = first; pos < end; ++pos) InsertPosition(mf, bytes + (pos - first), pos, end - pos);
}

uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
  uint32_t n = 0;
  while (n + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) return n + uint32_t(__builtin_ctzll(x ^ y) >> 3);
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

void InsertPosition(MatchFinder& mf, const uint8_t* bytes, uint32_t pos, uint32_t avail) {
  if (avail >= 2) mf.head2[Key2(bytes)] = pos;
  if (avail >= 3) mf.head3[Hash3(bytes)] = pos;
  if (avail >= 4) {
    uint32_t h = Hash4(bytes);
    mf.chain[pos & kWindowMask] = mf.head4[h];
    mf.head4[h] = pos;
  }
}

uint32_t FindMatches(const MatchFinder& mf, const uint8_t* base, uint32_t baseG, uint32_t pos,
                     uint32_t lowest, uint32_t maxLength, uint32_t depth, uint32_t nice,
                     MatchCandidate* out) {
  const uint8_t* cur = base + (pos - baseG);
  uint32_t count = 0;
  uint32_t best = 1;
  if (maxLength < 2) return 0;
  auto consider = [&](uint32_t cand, uint32_t length) {
    if (length > best && count < kMaxCandidates) {
      out[count++] = {length, pos - cand};
      best = length;
    }
  };
  // Length 2 (and longer) at the nearest position with the same two bytes, if it is near
  // enough for a short-distance slot.
  uint32_t cand = mf.head2[Key2(cur)];
  if (cand >= lowest && cand < pos && pos - cand <= 256) {
    const uint8_t* src = base + (cand - baseG);
    if (src[0] == cur[0] && src[1] == cur[1]) consider(cand, 2);
  }
  if (maxLength < 3) return count;
  cand = mf.head3[Hash3(cur)];
  if (cand >= lowest && cand < pos && pos - cand < kBonusDistanceMid) {
    const uint8_t* src = base + (cand - baseG);
    if (src[0] == cur[0] && src[1] == cur[1] && src[2] == cur[2])
      consider(cand, MatchLength(src, cur, maxLength));
  }
  if (maxLength < 4 || best >= nice || best >= maxLength) return count;
  cand = mf.head4[Hash4(cur)];
  uint32_t previous = pos;
  while (depth-- > 0) {
    if (cand >= previous || cand < lowest) break;
    const uint8_t* src = base + (cand - baseG);
    if (src[best] == cur[best] && Read32(src) == Read32(cur)) {
      uint32_t length = MatchLength(src, cur, maxLength);
      if (length > best) {
        consider(cand, length);
        if (length >= nice || length >= maxLength) break;
      }
    }
    previous = cand;
    cand = mf.chain[cand & kWindowMask];
  }
  return count;
}
