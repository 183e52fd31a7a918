// Match finder of the compressor: hash chains or binary trees over the 1 MB window.
//
// Positions are "global" 32-bit numbers that grow with every byte the compressor has seen
// (the caller maps them to its history buffer). Three tables lead into the history:
//   - chains of 4-byte hashes, one link per position (ring of kWindowSize links), walked up
//     to a depth limit for long matches; or, in tree mode, a binary tree per 4-byte hash
//     (two links per position);
//   - the latest position of each 3-byte hash, for length-3 matches, which only pay at
//     distances below 0x2000 (beyond that the shortest long match is 4 bytes);
//   - the latest position of each 2-byte value, for the length-2 matches of the short
//     distance slots (distances up to 256).
// Links are never cleared: a stale link (from data the caller has since thrown away) is
// harmless because every candidate is checked against the bytes themselves and must lie
// strictly below the previous one, inside the allowed distance. A stale tree may lead a
// search astray (fewer or shorter matches), never to a match that is not one.
#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

struct MatchCandidate {
  uint32_t length;
  uint32_t distance;
};

constexpr uint32_t kMaxCandidates = 32;

struct MatchFinder {
  std::vector<uint32_t> head4;  // latest position per 4-byte hash (0 = none)
  std::vector<uint32_t> head3;  // latest position per 3-byte hash
  std::vector<uint32_t> head2;  // latest position per 2-byte value
  std::vector<uint32_t> chain;  // previous position with the same 4-byte hash, by position mod window
  // Tree mode: the positions of each 4-byte hash form a binary search tree ordered by the
  // bytes that follow them, rooted at the latest (head4) and with older positions below;
  // `tree` holds the two subtrees of each position, smaller then larger, side by side (a
  // walk reads one and later writes the other), by position mod window.
  // A search walks from the root towards the bytes searched for, meets the longest matches
  // on the way, and makes the searched position the new root.
  uint32_t treeDepth = 0;       // 0: hash chains; else the nodes a tree search visits at most
  uint32_t treeNice = 0;        // a tree search stops at a match this long
  std::vector<uint32_t> tree;
};

// Allocates and clears the tables; `treeDepth` 0 chooses hash chains.
void InitMatchFinder(MatchFinder& mf, uint32_t treeDepth = 0, uint32_t treeNice = 0);

// Forgets every position (all tables zero).
void ClearMatchFinder(MatchFinder& mf);

// Moves every recorded position down by `delta`; positions below `delta` are forgotten.
void RebaseMatchFinder(MatchFinder& mf, uint32_t delta);

// Rebuilds the tables for positions first..end-1 (bytes at `bytes`) after positions from
// `end` on were recorded and then taken back: heads that lead to taken-back positions are
// dropped, and the kept positions are recorded again in order.
void RestoreMatchFinder(MatchFinder& mf, const uint8_t* bytes, uint32_t first, uint32_t end);

// Records position `pos`, whose bytes start at `bytes`; `avail` bytes are readable there,
// and the bytes of every position from `lowest` up to it.
void InsertPosition(MatchFinder& mf, const uint8_t* bytes, uint32_t pos, uint32_t avail, uint32_t lowest);

// Records positions first..last-1, whose bytes start at `bytes`, as InsertPosition does for
// each in turn, with `end` - pos bytes readable at pos.
void InsertPositions(MatchFinder& mf, const uint8_t* bytes, uint32_t first, uint32_t last, uint32_t end,
                     uint32_t lowest);

// Tree mode: finds matches for position `pos` as FindMatches does (the tree's own depth and
// nice length apply) and records the position, which must be the next one not recorded.
uint32_t SearchAndInsert(MatchFinder& mf, const uint8_t* base, uint32_t baseG, uint32_t pos, uint32_t lowest,
                         uint32_t maxLength, MatchCandidate* out);

// Tree mode: SearchAndInsert for positions pos, pos + 1, ..., at most `most` (at most
// kWalksTogether) of them, with the same results: position pos + k takes its sources from
// lowest[k], matches up to maxLength[k] bytes and writes found[k] candidates to out[k].
// Their tree walks are interleaved, so that each waits less on memory. Returns how many
// positions were searched (at least one: a run of them stops before a position whose tree
// one of them walks already, or that has fewer than four bytes).
constexpr uint32_t kWalksTogether = 2;
uint32_t SearchAndInsertTogether(MatchFinder& mf, const uint8_t* base, uint32_t baseG, uint32_t pos, uint32_t most,
                                 const uint32_t* lowest, const uint32_t* maxLength,
                                 MatchCandidate (*out)[kMaxCandidates], uint32_t* found);

// Finds matches for position `pos` (bytes at `bytes`, of which `maxLength` may be matched)
// with sources at positions >= `lowest`; `base` is the address of position `baseG`'s byte.
// Writes candidates of strictly increasing length (each the nearest found of its length)
// and returns their number; beyond kMaxCandidates a longer match replaces the last, so the
// longest found is always there. Stops after `depth` chain links or at a match of `nice`
// bytes.
uint32_t FindMatches(const MatchFinder& mf, const uint8_t* base, uint32_t baseG, uint32_t pos,
                     uint32_t lowest, uint32_t maxLength, uint32_t depth, uint32_t nice,
                     MatchCandidate* out);

// ---- Inline helpers: called at every position, by the finder and the parse alike -------

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

// Asks the processor to fetch the table entries position `bytes` will need (at least 4
// readable bytes), so that they are at hand when it is searched a little later.
inline void PrefetchPosition(const MatchFinder& mf, const uint8_t* bytes) {
  __builtin_prefetch(&mf.head4[Hash4(bytes)]);
  __builtin_prefetch(&mf.head3[Hash3(bytes)]);
}

// Number of equal bytes at a and b, at most limit: eight bytes at a time, the first
// difference found by counting the equal low bytes of their exclusive or (little-endian).
inline uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
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
