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
// length-3 match to pay. Inlined by force: with three callers the compiler keeps it as a
// call, which made the default level's packing about 15% slower (one thread, Python sources).
inline __attribute__((always_inline)) uint32_t NearCandidates(const MatchFinder& mf, const uint8_t* base,
                                                             uint32_t baseG, uint32_t pos, uint32_t lowest,
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

// Tree mode: a walk of the tree of cur's 4-byte hash from its root that makes pos (whose
// bytes are cur, maxLength of them usable) the new root. Each position met is compared with
// cur and hung, with the subtree on its far side, under the growing subtree of positions
// smaller or larger than cur; the common length of cur with the nearest smaller and larger
// position met so far is known, so each comparison starts at the lesser of the two. The
// walk ends at a position below `lowest`, after treeDepth positions, or at a match of
// treeNice bytes, whose position pos replaces. With `out`, each match longer than every
// one before (and than `best`) is added after the `count` there.
//
// A walk is taken one position at a time (StepWalk), so that the walks of two positions
// whose hashes differ can be interleaved: their trees share no position, and the memory
// latency of one walk's next position is spent on the other's.
struct TreeWalk {
  uint32_t* smallerSlot;  // where the next position smaller than cur is hung
  uint32_t* largerSlot;
  const uint8_t* cur;
  uint32_t pos, cand, previous, lowest, maxLength, nice, depth;
  uint32_t smallerLength, largerLength;
  MatchCandidate* out;
  uint32_t count, best;
  // pos's own links, when the walk must not write them in place until it is over (see
  // WalkTogether); else smallerSlot and largerSlot start at pos's place in the tree.
  uint32_t ownLinks[2];
};

inline void BeginWalk(MatchFinder& mf, TreeWalk& w, uint32_t hash, const uint8_t* cur, uint32_t pos, uint32_t lowest,
                      uint32_t maxLength, MatchCandidate* out, uint32_t count, uint32_t best, bool ownLinksAside) {
  w.smallerSlot = ownLinksAside ? w.ownLinks : &mf.tree[2 * (pos & kWindowMask)];
  w.largerSlot = w.smallerSlot + 1;
  w.cur = cur;
  w.pos = pos;
  w.cand = mf.head4[hash];
  mf.head4[hash] = pos;
  w.previous = pos;
  w.lowest = lowest;
  w.maxLength = maxLength;
  w.nice = std::min(mf.treeNice, maxLength);
  w.depth = mf.treeDepth;
  w.smallerLength = w.largerLength = 0;
  w.out = out;
  w.count = count;
  w.best = best;
}

// Takes the walk one position further; false once it is over.
inline __attribute__((always_inline)) bool StepWalk(MatchFinder& mf, TreeWalk& w) {
  const uint32_t cand = w.cand;
  // Positions only grow older down the tree; anything else is a stale link.
  if (w.depth == 0 || cand >= w.previous || cand < w.lowest) {
    *w.smallerSlot = *w.largerSlot = 0;
    return false;
  }
  --w.depth;
  const uint8_t* cur = w.cur;
  const uint8_t* src = cur - (w.pos - cand);
  const uint32_t known = std::min(w.smallerLength, w.largerLength);  // taken from the tree, unchecked
  // The walk goes on to one of cand's two subtrees: both roots' links and bytes are fetched
  // now, while cand's bytes are compared.
  uint32_t* links = &mf.tree[2 * (cand & kWindowMask)];
  const uint32_t left = links[0], right = links[1];
  __builtin_prefetch(&mf.tree[2 * (left & kWindowMask)]);
  __builtin_prefetch(&mf.tree[2 * (right & kWindowMask)]);
  __builtin_prefetch(reinterpret_cast<const void*>(uintptr_t(cur) - (w.pos - left) + known));
  __builtin_prefetch(reinterpret_cast<const void*>(uintptr_t(cur) - (w.pos - right) + known));
  const uint32_t length = known + MatchLength(src + known, cur + known, w.maxLength - known);
  if (w.out && length > w.best && MatchLength(src, cur, known) == known)
    AddCandidate(w.out, w.count, w.best, length, w.pos - cand);
  if (length >= w.nice) {
    // cand's bytes equal cur's as far as the tree tells them apart: pos takes its place.
    *w.smallerSlot = left;
    *w.largerSlot = right;
    return false;
  }
  w.previous = cand;
  if (src[length] < cur[length]) {
    *w.smallerSlot = cand;
    w.smallerSlot = links + 1;
    w.cand = right;
    w.smallerLength = length;
  } else {
    *w.largerSlot = cand;
    w.largerSlot = links;
    w.cand = left;
    w.largerLength = length;
  }
  return true;
}

uint32_t TreeInsert(MatchFinder& mf, const uint8_t* cur, uint32_t pos, uint32_t lowest, uint32_t maxLength,
                    MatchCandidate* out, uint32_t count, uint32_t best) {
  TreeWalk w;
  BeginWalk(mf, w, Hash4(cur), cur, pos, lowest, maxLength, out, count, best, false);
  while (StepWalk(mf, w)) {
  }
  return w.count;
}

// The walks of positions pos, pos + 1, ... (walks[0], walks[1], ...) interleaved, with the
// same result as one after the other when their hashes differ. A walk may still meet the
// oldest positions in its window, whose places in the tree the positions after it take, so
// the links of every position but the first are written in place only once all walks are
// over (their walks begun with their own links aside).
void WalkTogether(MatchFinder& mf, TreeWalk* walks, uint32_t count) {
  bool goes[kWalksTogether];
  for (uint32_t k = 0; k < count; ++k) goes[k] = true;
  for (uint32_t left = count; left > 0;) {
    for (uint32_t k = 0; k < count; ++k) {
      if (goes[k] && !StepWalk(mf, walks[k])) {
        goes[k] = false;
        --left;
      }
    }
  }
  for (uint32_t k = 1; k < count; ++k) {
    uint32_t* own = &mf.tree[2 * (walks[k].pos & kWindowMask)];
    own[0] = walks[k].ownLinks[0];
    own[1] = walks[k].ownLinks[1];
  }
}

}  // namespace

void InsertPosition(MatchFinder& mf, const uint8_t* bytes, uint32_t pos, uint32_t avail, uint32_t lowest) {
  if (avail >= 2) mf.head2[Key2(bytes)] = pos;
  if (avail >= 3) mf.head3[Hash3(bytes)] = pos;
  if (mf.treeDepth) {
    if (avail >= 4) {
      TreeInsert(mf, bytes, pos, std::max(lowest, pos - std::min(pos, kWindowSize - 1)),
                 std::min<uint32_t>(avail, kMaxMatchLength), nullptr, 0, 0);
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

namespace {

// How many of the positions at cur, cur + 1, ... (at most `most`) can be walked together:
// each has four bytes to hash (maxLength[k] >= 4) and a hash no position before it in the
// group has; their hashes go to `hash`.
uint32_t WalkGroup(const uint8_t* cur, uint32_t most, const uint32_t* maxLength, uint32_t* hash) {
  uint32_t count = 0;
  for (; count < most && maxLength[count] >= 4; ++count) {
    hash[count] = Hash4(cur + count);
    for (uint32_t k = 0; k < count; ++k)
      if (hash[k] == hash[count]) return count;
  }
  return count;
}

// Chain mode: records positions first..last-1, each with at least four readable bytes, in
// one tight loop (the tables' entries for a position a little ahead are fetched meanwhile).
void InsertChainPositions(MatchFinder& mf, const uint8_t* bytes, uint32_t first, uint32_t last) {
  constexpr uint32_t kAhead = 8;
  uint32_t* head2 = mf.head2.data();
  uint32_t* head3 = mf.head3.data();
  uint32_t* head4 = mf.head4.data();
  uint32_t* chain = mf.chain.data();
  const uint8_t* cur = bytes;
  for (uint32_t pos = first; pos < last; ++pos, ++cur) {
    if (last - pos > kAhead) PrefetchPosition(mf, cur + kAhead);
    head2[Key2(cur)] = pos;
    head3[Hash3(cur)] = pos;
    const uint32_t h = Hash4(cur);
    chain[pos & kWindowMask] = head4[h];
    head4[h] = pos;
  }
}

}  // namespace

void InsertPositions(MatchFinder& mf, const uint8_t* bytes, uint32_t first, uint32_t last, uint32_t end,
                     uint32_t lowest) {
  if (!mf.treeDepth) {
    // The last three positions before `end` lack the bytes of a 4-byte hash.
    const uint32_t bulkEnd = std::max(first, std::min(last, end - std::min(end, 3u)));
    InsertChainPositions(mf, bytes, first, bulkEnd);
    for (uint32_t pos = bulkEnd; pos < last; ++pos) InsertPosition(mf, bytes + (pos - first), pos, end - pos, lowest);
    return;
  }
  for (uint32_t pos = first; pos < last;) {
    const uint8_t* cur = bytes + (pos - first);
    uint32_t maxLength[kWalksTogether], hash[kWalksTogether];
    const uint32_t most = std::min(kWalksTogether, last - pos);
    for (uint32_t k = 0; k < most; ++k) maxLength[k] = std::min<uint32_t>(end - (pos + k), kMaxMatchLength);
    const uint32_t count = mf.treeDepth ? WalkGroup(cur, most, maxLength, hash) : 0;
    if (count < 2) {
      InsertPosition(mf, cur, pos, end - pos, lowest);
      ++pos;
      continue;
    }
    if (maxLength[count - 1] >= count + 4)
      for (uint32_t k = count; k < 2 * count; ++k) PrefetchPosition(mf, cur + k);
    TreeWalk walks[kWalksTogether];
    for (uint32_t k = 0; k < count; ++k) {
      const uint32_t at = pos + k;
      mf.head2[Key2(cur + k)] = at;
      mf.head3[Hash3(cur + k)] = at;
      BeginWalk(mf, walks[k], hash[k], cur + k, at, std::max(lowest, at - std::min(at, kWindowSize - 1)),
                maxLength[k], nullptr, 0, 0, k > 0);
    }
    WalkTogether(mf, walks, count);
    pos += count;
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
  // A candidate beats the best match only if its bytes equal cur's up to the best length:
  // the four that end there are compared first (the first four when the best is shorter).
  uint32_t edge = std::max(best, 3u) - 3;
  uint32_t tail = Read32(cur + edge);
  while (depth-- > 0) {
    if (cand >= previous || cand < lowest) break;
    // The next link is read before this candidate's bytes are compared, so that the two
    // fetches overlap.
    const uint32_t next = chain[cand & kWindowMask];
    const uint8_t* src = base + (cand - baseG);
    if (Read32(src + edge) == tail && Read32(src) == head) {
      uint32_t length = MatchLength(src, cur, maxLength);
      if (length > best) {
        AddCandidate(out, count, best, length, pos - cand);
        if (length >= nice || length >= maxLength) break;
        edge = best - 3;
        tail = Read32(cur + edge);
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
  if (maxLength >= 4) return TreeInsert(mf, cur, pos, lowest, maxLength, out, count, best);
  mf.tree[2 * (pos & kWindowMask)] = mf.tree[2 * (pos & kWindowMask) + 1] = 0;
  return count;
}

uint32_t SearchAndInsertTogether(MatchFinder& mf, const uint8_t* base, uint32_t baseG, uint32_t pos, uint32_t most,
                                 const uint32_t* lowest, const uint32_t* maxLength,
                                 MatchCandidate (*out)[kMaxCandidates], uint32_t* found) {
  const uint8_t* cur = base + (pos - baseG);
  uint32_t hash[kWalksTogether];
  const uint32_t count = WalkGroup(cur, std::min(most, kWalksTogether), maxLength, hash);
  if (count < 2) {
    found[0] = SearchAndInsert(mf, base, baseG, pos, lowest[0], maxLength[0], out[0]);
    return 1;
  }
  if (maxLength[count - 1] >= count + 4)
    for (uint32_t k = count; k < 2 * count; ++k) PrefetchPosition(mf, cur + k);
  TreeWalk walks[kWalksTogether];
  for (uint32_t k = 0; k < count; ++k) {
    uint32_t best = 1;
    const uint32_t near = NearCandidates(mf, base, baseG, pos + k, lowest[k], maxLength[k], out[k], best);
    mf.head2[Key2(cur + k)] = pos + k;
    mf.head3[Hash3(cur + k)] = pos + k;
    BeginWalk(mf, walks[k], hash[k], cur + k, pos + k, lowest[k], maxLength[k], out[k], near, best, k > 0);
  }
  WalkTogether(mf, walks, count);
  for (uint32_t k = 0; k < count; ++k) found[k] = walks[k].count;
  return count;
}
