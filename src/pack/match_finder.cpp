// Match finder: hash chains (see match_finder.h).
#include "pack/match_finder.h"

#include <algorithm>
#include <cstring>

#include "unpack/rar20_tables.h"

namespace {

inline uint32_t Key2(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }

// Adds a match longer than every one before; once the list is full, the longer match
// replaces the last, so the longest found is always there.
inline void AddCandidate(MatchCandidate* out, uint32_t& count, uint32_t& best, uint32_t length, uint32_t distance) {
  if (length <= best) return;
  if (count == kMaxCandidates) --count;
  out[count++] = {length, distance};
  best = length;
}

// The matches the 2- and 3-byte tables lead to: length 2 (and longer) at the nearest
// position with the same two bytes, if it is near enough for a short-distance slot, and the
// match at the latest position with the same 3-byte hash, if it is near enough for a
// length-3 match to pay.
uint32_t NearCandidates(const MatchFinder& mf, const uint8_t* base, uint32_t baseG, uint32_t pos, uint32_t lowest,
                        uint32_t maxLength, MatchCandidate* out, uint32_t& best) {
  const uint8_t* cur = base + (pos - baseG);
  uint32_t count = 0;
  if (maxLength < 2) return 0;
  uint32_t cand = mf.head2[Key2(cur)];
  if (cand >= lowest && cand < pos && pos - cand <= 256) {
    const uint8_t* src = base + (cand - baseG);
    if (src[0] == cur[0] && src[1] == cur[1]) AddCandidate(out, count, best, 2, pos - cand);
  }
  if (maxLength < 3) return count;
  cand = mf.head3[Hash3(cur)];
  if (cand >= lowest && cand < pos && pos - cand < kBonusDistanceMid) {
    const uint8_t* src = base + (cand - baseG);
    if (src[0] == cur[0] && src[1] == cur[1] && src[2] == cur[2])
      AddCandidate(out, count, best, MatchLength(src, cur, maxLength), pos - cand);
  }
  return count;
}

}  // namespace

void InitMatchFinder(MatchFinder& mf, uint32_t treeDepth, uint32_t treeNice) {
  mf.treeDepth = treeDepth;
  mf.treeNice = treeNice;
  mf.head4.assign(size_t(1) << kHash4Bits, 0);
  mf.head3.assign(size_t(1) << kHash3Bits, 0);
  mf.head2.assign(size_t(1) << 16, 0);
  mf.chain.assign(treeDepth ? 0 : kWindowSize, 0);
  mf.tree.assign(treeDepth ? 2 * kWindowSize : 0, 0);
}

void ClearMatchFinder(MatchFinder& mf) {
  for (std::vector<uint32_t>* table : {&mf.head4, &mf.head3, &mf.head2, &mf.chain, &mf.tree})
    std::fill(table->begin(), table->end(), 0);
}

void RebaseMatchFinder(MatchFinder& mf, uint32_t delta) {
  for (std::vector<uint32_t>* table : {&mf.head4, &mf.head3, &mf.head2, &mf.chain, &mf.tree})
    for (uint32_t& v : *table) v = v > delta ? v - delta : 0;
}

void RestoreMatchFinder(MatchFinder& mf, const uint8_t* bytes, uint32_t first, uint32_t end) {
  for (std::vector<uint32_t>* table : {&mf.head4, &mf.head3, &mf.head2})
    for (uint32_t& v : *table)
      if (v >= end) v = 0;
  for (uint32_t pos = first; pos < end; ++pos) InsertPosition(mf, bytes + (pos - first), pos, end - pos, first);
}

namespace {

// Tree mode: walks the tree of cur's 4-byte hash from its root and makes pos (whose bytes
// are cur, maxLength of them usable) the new root. Each position met is compared with cur
// and hung, with the subtree on its far side, under the growing subtree of positions
// smaller or larger than cur; the common length of cur with the nearest smaller and larger
// position met so far is known, so each comparison starts at the lesser of the two. The
// walk ends at a position below `lowest`, after treeDepth positions, or at a match of
// treeNice bytes, whose position pos replaces. With `out`, each match longer than every
// one before (and than `best`) is added after the `count` there; returns the count.
uint32_t TreeInsert(MatchFinder& mf, const uint8_t* cur, uint32_t pos, uint32_t lowest, uint32_t maxLength,
                    uint32_t maxDepth, MatchCandidate* out, uint32_t count, uint32_t best) {
  uint32_t* smallerSlot = &mf.tree[2 * (pos & kWindowMask)];
  uint32_t* largerSlot = smallerSlot + 1;
  const uint32_t h = Hash4(cur);
  uint32_t cand = mf.head4[h];
  mf.head4[h] = pos;
  uint32_t smallerLength = 0, largerLength = 0;
  uint32_t previous = pos;
  const uint32_t nice = std::min(mf.treeNice, maxLength);
  for (uint32_t depth = maxDepth;; --depth) {
    // Positions only grow older down the tree; anything else is a stale link.
    if (depth == 0 || cand >= previous || cand < lowest) {
      *smallerSlot = *largerSlot = 0;
      break;
    }
    const uint8_t* src = cur - (pos - cand);
    const uint32_t known = std::min(smallerLength, largerLength);  // taken from the tree, unchecked
    const uint32_t length = known + MatchLength(src + known, cur + known, maxLength - known);
    if (out && length > best && MatchLength(src, cur, known) == known) AddCandidate(out, count, best, length, pos - cand);
    if (length >= nice) {
      // cand's bytes equal cur's as far as the tree tells them apart: pos takes its place.
      *smallerSlot = mf.tree[2 * (cand & kWindowMask)];
      *largerSlot = mf.tree[2 * (cand & kWindowMask) + 1];
      break;
    }
    previous = cand;
    if (src[length] < cur[length]) {
      *smallerSlot = cand;
      smallerSlot = &mf.tree[2 * (cand & kWindowMask) + 1];
      cand = *smallerSlot;
      smallerLength = length;
    } else {
      *largerSlot = cand;
      largerSlot = &mf.tree[2 * (cand & kWindowMask)];
      cand = *largerSlot;
      largerLength = length;
    }
  }
  return count;
}

}  // namespace

void InsertPosition(MatchFinder& mf, const uint8_t* bytes, uint32_t pos, uint32_t avail, uint32_t lowest) {
  if (avail >= 2) mf.head2[Key2(bytes)] = pos;
  if (avail >= 3) mf.head3[Hash3(bytes)] = pos;
  if (mf.treeDepth) {
    if (avail >= 4) {
      TreeInsert(mf, bytes, pos, std::max(lowest, pos - std::min(pos, kWindowSize - 1)),
                 std::min<uint32_t>(avail, kMaxMatchLength), mf.treeDepth, nullptr, 0, 0);
    } else {
      mf.tree[2 * (pos & kWindowMask)] = mf.tree[2 * (pos & kWindowMask) + 1] = 0;
    }
    return;
  }
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
  uint32_t best = 1;
  uint32_t count = NearCandidates(mf, base, baseG, pos, lowest, maxLength, out, best);
  if (maxLength < 4 || best >= nice || best >= maxLength) return count;
  uint32_t cand = mf.head4[Hash4(cur)];
  uint32_t previous = pos;
  const uint32_t* chain = mf.chain.data();
  const uint32_t head = Read32(cur);
  while (depth-- > 0) {
    if (cand >= previous || cand < lowest) break;
    // The next link is read before this candidate's bytes are compared, so that the two
    // fetches overlap.
    const uint32_t next = chain[cand & kWindowMask];
    const uint8_t* src = base + (cand - baseG);
    if (src[best] == cur[best] && Read32(src) == head) {
      uint32_t length = MatchLength(src, cur, maxLength);
      if (length > best) {
        AddCandidate(out, count, best, length, pos - cand);
        if (length >= nice || length >= maxLength) break;
      }
    }
    previous = cand;
    cand = next;
  }
  return count;
}

uint32_t SearchAndInsert(MatchFinder& mf, const uint8_t* base, uint32_t baseG, uint32_t pos, uint32_t lowest,
                         uint32_t maxLength, MatchCandidate* out) {
  const uint8_t* cur = base + (pos - baseG);
  uint32_t best = 1;
  const uint32_t count = NearCandidates(mf, base, baseG, pos, lowest, maxLength, out, best);
  if (maxLength >= 2) mf.head2[Key2(cur)] = pos;
  if (maxLength >= 3) mf.head3[Hash3(cur)] = pos;
  if (maxLength >= 4) return TreeInsert(mf, cur, pos, lowest, maxLength, mf.treeDepth, out, count, best);
  mf.tree[2 * (pos & kWindowMask)] = mf.tree[2 * (pos & kWindowMask) + 1] = 0;
  return count;
}
